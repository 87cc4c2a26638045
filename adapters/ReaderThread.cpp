#include "adapters/ReaderThread.h"

#include "adapters/Conduit.h"
#include "core/RVCManager.h"

namespace corvane {

ReaderThread::ReaderThread(Conduit& conduit, RVCManager& manager, Link& link)
    : conduit_(conduit), manager_(manager), link_(link) {}

// Only a reader that has handed its link over, or finished, can be left here.
ReaderThread::~ReaderThread() {
    if (thread_.joinable()) thread_.join();
}

void ReaderThread::waitIdleLocked(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return !busy_; });
}

bool ReaderThread::start() {
    std::unique_lock lock(mutex_);
    waitIdleLocked(lock);
    if (state_ == State::Open) return true;
    if (conduit_.getState() == Conduit::kDisabled) return false;
    // The reader of a lost or finished link has done its work under this lock: it only ends.
    if (thread_.joinable()) thread_.join();
    if (!link_.openLink()) return false;
    stopping_.store(false, std::memory_order_release);
    state_ = State::Open;
    thread_ = std::thread([this] { run(); });
    // Made ready under the lock: a reader that finds the link lost meanwhile waits for the
    // outcome, and the set-up learns of the loss through its own failing requests.
    if (!link_.readyLink()) {
        endReader(lock);
        state_ = State::Closed;
        link_.closeLink(false);
        manager_.reset();
        return false;
    }
    reading_.store(true, std::memory_order_release);
    conduit_.setState(Conduit::kConnected);
    manager_.deviceTable().addToolEntries();
    return true;
}

void ReaderThread::stop() {
    std::unique_lock lock(mutex_);
    waitIdleLocked(lock);
    if (state_ == State::Closed) return;
    // Senders see the link going before it goes.
    reading_.store(false, std::memory_order_release);
    endReader(lock);
    closeLocked(false);
}

void ReaderThread::endReader(std::unique_lock<std::mutex>& lock) {
    busy_ = true;
    stopping_.store(true, std::memory_order_release);
    link_.wakeReader();
    lock.unlock();
    // Joined without the lock: a reader that found the link lost meanwhile takes the lock,
    // sees the stop and leaves the closing to it.
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
    lock.lock();
    busy_ = false;
    changed_.notify_all();
}

void ReaderThread::closeLocked(bool lost) {
    state_ = State::Closed;
    reading_.store(false, std::memory_order_release);
    link_.closeLink(lost);
    manager_.reset();
    if (conduit_.getState() != Conduit::kDisabled) conduit_.setState(Conduit::kDisconnected);
}

void ReaderThread::run() {
    Read why = Read::More;
    while (why == Read::More && !stopping_.load(std::memory_order_acquire)) why = link_.readLink();
    if (why != Read::More) readerFinished(why);
}

void ReaderThread::readerFinished(Read why) {
    std::lock_guard lock(mutex_);
    if (stopping_.load(std::memory_order_acquire) || state_ != State::Open) return;
    if (why == Read::Ended) {
        state_ = State::Ended;
        reading_.store(false, std::memory_order_release);
        return;
    }
    closeLocked(true);
}

}  // namespace corvane
