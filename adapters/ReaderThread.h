#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace corvane {

class Conduit;
class RVCManager;

// The life cycle every adapter with a reader thread shares: a link opened and closed under one
// lock, a thread that reads from it until told to stop, and the hand-over when the reader finds
// the link gone. The adapter supplies only how to open, read and close its link (the Link
// hooks); this class keeps the conduit's state and the manager in step with it:
//   start: open -> reader started -> made ready -> Connected, tool entries added
//   stop:  reader ended -> link closed -> network forgotten -> Disconnected (unless Disabled)
//   lost:  the same close on the reader thread, unless a stop is already under way
//   ended: the reader finished by itself (a replay that played out); the conduit stays
//          Connected and the next start opens the link again
//
// Locking: mutex_ guards state_ and busy_, and is held around every hook but readLink. A stop
// releases it while it joins the reader, so a reader reporting a loss never waits for a lock held
// by the thread waiting for it; start and stop wait on changed_ while another is half done.
// The owner calls stop() before its own members go.
class ReaderThread {
  public:
    // What one read step found.
    enum class Read { More, Lost, Ended };

    class Link {
      public:
        virtual ~Link() = default;
        // Opens the link (telling the user why not); false leaves the conduit as it was.
        virtual bool openLink() = 0;
        // Sets up the open link while its reader already runs, for a link whose set-up is
        // answered through the reader. False (after telling the user and setting the conduit's
        // state): the link is closed again.
        virtual bool readyLink() { return true; }
        // One step of the reader thread: takes in what the link has, waiting for it a tenth of a
        // second at most - or, for a link that is not read from (a replay), until wakeReader().
        virtual Read readLink() = 0;
        // Closes the link. `lost`: the reader found it gone and this runs on the reader thread.
        virtual void closeLink(bool lost) = 0;
        // Hurries a reader that waits in readLink for something other than input.
        virtual void wakeReader() {}
    };

    ReaderThread(Conduit& conduit, RVCManager& manager, Link& link);
    ~ReaderThread();
    ReaderThread(const ReaderThread&) = delete;
    ReaderThread& operator=(const ReaderThread&) = delete;

    // Opens the link and starts the reader: true when it is open, now or already.
    bool start();
    // Stops the reader, closes the link and forgets the network. Nothing when closed.
    void stop();
    // True while the link is open and its reader reads.
    bool reading() const { return reading_.load(std::memory_order_acquire); }
    // Held by an adapter while it changes what its next openLink uses.
    std::mutex& mutex() { return mutex_; }

  private:
    enum class State { Closed, Open, Ended };

    void run();
    // The reader's end: a loss or an end of its own, unless a stop is under way.
    void readerFinished(Read why);
    void closeLocked(bool lost);
    // Ends the reader, joining it without the lock; called and returns with `lock` held.
    void endReader(std::unique_lock<std::mutex>& lock);
    void waitIdleLocked(std::unique_lock<std::mutex>& lock);

    Conduit& conduit_;
    RVCManager& manager_;
    Link& link_;

    std::mutex mutex_;
    std::condition_variable changed_;  // a start or stop finished joining
    State state_ = State::Closed;
    bool busy_ = false;  // a start or stop is joining the reader without the lock
    std::atomic<bool> reading_{false};
    std::atomic<bool> stopping_{false};  // set under mutex_; the reader looks between steps
    std::thread thread_;
};

}  // namespace corvane
