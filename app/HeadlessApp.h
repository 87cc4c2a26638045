#pragma once

#include <QObject>
#include <QTimer>
#include <cstdio>

#include "app/AdapterWatch.h"
#include "app/ApplicationCore.h"

namespace corvane {

// `corvane --headless`: the 50 ms duties of the main window without a window, and the device
// list printed to a stream every second, with the active faults in words under it. Nobody is
// there to press "USB": a serial, FT-series or SocketCAN adapter that goes away is connected
// again by itself when it comes back, with a line on the stream for each lost and each
// regained link. Like the window, it stores DebugPortEnabled 0 when created: --debug-port
// opens the port for one run. Ends when requestStop() is called (Ctrl-C).
//
// With --record it records the bus into rotating files (see RotatingRecorder); frames the
// disk could not take are reported on the error stream at most every kDropReportSeconds,
// and the totals when the recording stops.
class HeadlessApp : public QObject {
    Q_OBJECT
  public:
    HeadlessApp(ApplicationCore& core, std::FILE* out, QObject* parent = nullptr);

    static constexpr int kDropReportSeconds = 10;

    void start();
    // Records into `folder` until stopRecording() or the end of the run; false (with a line
    // on `err`) when the folder cannot be recorded into.
    bool startRecording(const std::string& folder, const RotationSettings& settings,
                        std::FILE* err);
    // Ends the recording and prints what it wrote and dropped on the error stream.
    void stopRecording();
    // Safe from a signal handler: only sets a flag that the next tick reads.
    static void requestStop();

  private:
    void tick();
    void printDeviceList();
    void printEvent(const std::string& text);
    void reportDrops();

    ApplicationCore& core_;
    std::FILE* out_;
    AdapterWatch watch_;
    QTimer timer_;
    int ticks_ = 0;
    std::FILE* err_ = nullptr;  // set while recording
    uint64_t dropsReported_ = 0;
};

}  // namespace corvane
