#pragma once

#include <QObject>
#include <QTimer>
#include <cstdio>

#include "app/AdapterWatch.h"
#include "app/ApplicationCore.h"

namespace corvane {

// `corvane --headless`: the 50 ms duties of the main window without a window, and the device
// list printed to a stream every second. Nobody is there to press "USB": a serial, FT-series
// or SocketCAN adapter that goes away is connected again by itself when it comes back, with a
// line on the stream for each lost and each regained link. Ends when requestStop() is called
// (Ctrl-C).
class HeadlessApp : public QObject {
    Q_OBJECT
  public:
    HeadlessApp(ApplicationCore& core, std::FILE* out, QObject* parent = nullptr);

    void start();
    // Safe from a signal handler: only sets a flag that the next tick reads.
    static void requestStop();

  private:
    void tick();
    void printDeviceList();
    void printEvent(const std::string& text);

    ApplicationCore& core_;
    std::FILE* out_;
    AdapterWatch watch_;
    QTimer timer_;
    int ticks_ = 0;
};

}  // namespace corvane
