#include "app/ActivityGraphCtrl.h"

#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <chrono>

#include "app/AddressColour.h"
#include "core/Dgn.h"
#include "core/RVCManager.h"

namespace corvane {

namespace {

constexpr int kRepaintMs = 40;
constexpr int kBands = 5;
constexpr uint8_t kIdleAddress = 0xFF;

QRgb toQRgb(Rgb rgb) { return qRgb(rgb.red, rgb.green, rgb.blue); }

}  // namespace

ActivityGraphCtrl::ActivityGraphCtrl(RVCManager* manager, QWidget* parent)
    : QWidget(parent), manager_(manager), highlighted_(kToolAddress) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    repaint_.setInterval(kRepaintMs);
    connect(&repaint_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
    repaint_.start();
}

ActivityGraphCtrl::~ActivityGraphCtrl() { stop(); }

void ActivityGraphCtrl::start() {
    if (worker_.joinable()) return;
    {
        std::lock_guard lock(runMutex_);
        stopping_ = false;
    }
    worker_ = std::thread([this] { run(); });
}

void ActivityGraphCtrl::stop() {
    if (!worker_.joinable()) return;
    {
        std::lock_guard lock(runMutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void ActivityGraphCtrl::run() {
    using std::chrono::milliseconds;
    auto next = std::chrono::steady_clock::now() + milliseconds(kFirstPassMs);
    std::unique_lock lock(runMutex_);
    while (!wake_.wait_until(lock, next, [this] { return stopping_; })) {
        lock.unlock();
        drawPass();
        lock.lock();
        // A late pass does not make the strip race to catch up on the clock.
        next = std::max(next + milliseconds(kPassMs), std::chrono::steady_clock::now());
    }
}

void ActivityGraphCtrl::drawPass() {
    if (manager_ == nullptr) return;
    std::lock_guard lock(mutex_);
    const int width = picture_.width();
    const int height = picture_.height();
    if (width <= 0 || height <= 0) return;
    const int band = height / kBands;
    writeColumn_ %= width;
    cursorColumn_ %= width;
    for (int i = 0; i < kFramesPerPass; ++i) {
        uint8_t address = kIdleAddress;
        QRgb colour = qRgb(0, 0, 0);
        const uint8_t at = manager_->recentRead();
        if (at != manager_->recentIndex()) {
            address = manager_->recentSource(at);
            manager_->setRecentRead(static_cast<uint8_t>((at + 1) % RVCManager::kRecentSize));
            colour = toQRgb(AddressColour(address));
        }
        if (address == highlighted_.load()) {
            fillColumnLocked(writeColumn_, 0, height, colour);
        } else {
            fillColumnLocked(writeColumn_, band, height - band, colour);
        }
        fillColumnLocked(cursorColumn_, 0, height, kCursor);
        writeColumn_ = (writeColumn_ + 1) % width;
        cursorColumn_ = (cursorColumn_ + 1) % width;
    }
}

void ActivityGraphCtrl::fillColumnLocked(int column, int top, int bottom, QRgb colour) {
    for (int y = top; y < bottom; ++y) {
        reinterpret_cast<QRgb*>(picture_.scanLine(y))[column] = colour;
    }
}

int ActivityGraphCtrl::writeColumn() const {
    std::lock_guard lock(mutex_);
    return writeColumn_;
}

int ActivityGraphCtrl::cursorColumn() const {
    std::lock_guard lock(mutex_);
    return cursorColumn_;
}

QImage ActivityGraphCtrl::picture() const {
    std::lock_guard lock(mutex_);
    return picture_.copy();
}

void ActivityGraphCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    std::lock_guard lock(mutex_);
    painter.drawImage(0, 0, picture_);
}

void ActivityGraphCtrl::resizeEvent(QResizeEvent* event) {
    QImage resized(event->size(), QImage::Format_RGB32);
    resized.fill(Qt::black);
    std::lock_guard lock(mutex_);
    picture_ = std::move(resized);
}

}  // namespace corvane
