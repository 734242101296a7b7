#pragma once

#include "deck/FramePhase.h"
#include "deck/ThreadInterrupt.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

class VCR;

// Polls one deck for as long as the program runs: time code every cycle, status every
// tenth cycle (the roles swap in review mode). Cycles begin sleeptime apart; once an RS-422
// deck is seen playing at play speed, a cycle begins once a frame instead, just before the
// moment at which the deck's next frame is what a request reads (FramePhase): the time code
// shown is then never older than the link makes it.
class TCThread {
public:
    TCThread(VCR* vcr, bool lanc);
    // Stops and joins the thread; only tests destroy a deck.
    ~TCThread();
    TCThread(const TCThread&) = delete;
    TCThread& operator=(const TCThread&) = delete;

    void start();
    void setreviewclip(bool flag);
    int getsleeptime() const { return sleeptime; }
    // Interrupts the current sleep: that cycle sends nothing.
    void interrupt();
    // While held, cycles send nothing: whoever holds the deck's link for timing (an edit's
    // roll) reads the deck itself. Holding returns once a cycle under way has finished, so
    // that the holder's first request does not wait behind a poll. Cycles resume where they
    // stand. Never called by the polling thread itself.
    void hold(bool held);

private:
    void run();
    // When the cycle after the one that began at last begins.
    std::chrono::steady_clock::time_point nextCycle(std::chrono::steady_clock::time_point last) const;
    // One cycle's requests.
    void poll();
    // While the deck's port has failed: tries to open it again, once a second.
    void reconnectWhenDue();

    int sleeptime;
    const bool lanc_;
    // Touched by the polling thread only.
    FramePhase phase_;
    std::atomic<bool> reviewclip{false};
    std::atomic<bool> held_{false};
    // Held by the polling thread for each cycle's requests.
    std::mutex cycle_;
    int n = 0;
    VCR* svcr;
    std::chrono::steady_clock::time_point nextReconnect_{};
    std::atomic<bool> stopping_{false};
    ThreadInterrupt interrupt_;
    std::thread thread_;
};
