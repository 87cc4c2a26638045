#pragma once

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace corvane {

class RVCManager;

// The activity strip of the network status window: every frame the manager took in leaves a
// one-pixel column in its address's colour (full height for the highlighted address, a
// middle band otherwise), idle columns are black, and a grey cursor runs 25 columns ahead of
// the newest mark, wiping the oldest picture.
//
// A worker thread runs drawPass() every 5 ms into an image guarded by mutex_; the user-interface
// thread only copies that image to the screen. stop() (also run by the destructor) joins the
// worker, so no pass can outlive the window. The strip is the only writer of the manager's
// recentRead.
class ActivityGraphCtrl final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kFramesPerPass = 5;
    static constexpr int kCursorLead = 25;
    static constexpr int kFirstPassMs = 250;
    static constexpr int kPassMs = 5;
    static constexpr QRgb kCursor = 0xFF808080;

    explicit ActivityGraphCtrl(RVCManager* manager, QWidget* parent = nullptr);
    ~ActivityGraphCtrl() override;

    // Starts the worker: a first pass after 250 ms, then one every 5 ms.
    void start();
    // Stops and joins the worker; a pass in progress finishes first. Idempotent.
    void stop();
    bool running() const { return worker_.joinable(); }

    // One pass: up to five waiting frames (black columns when none wait), then the cursor.
    void drawPass();

    void setHighlighted(uint8_t address) { highlighted_.store(address); }
    uint8_t highlighted() const { return highlighted_.load(); }
    int writeColumn() const;
    int cursorColumn() const;
    // A copy of the strip as drawn so far.
    QImage picture() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void fillColumnLocked(int column, int top, int bottom, QRgb colour);
    void run();

    RVCManager* manager_;
    std::atomic<uint8_t> highlighted_;

    mutable std::mutex mutex_;  // guards picture_, writeColumn_ and cursorColumn_
    QImage picture_;
    int writeColumn_ = 0;
    int cursorColumn_ = kCursorLead;

    std::mutex runMutex_;  // guards stopping_ for the worker's waits
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread worker_;
    QTimer repaint_;  // copies the picture to the screen at a steady rate
};

}  // namespace corvane
