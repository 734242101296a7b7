#pragma once

#include "app/ThreadInterrupt.h"

#include <atomic>
#include <thread>

class VCR;

// Polls one deck for as long as the program runs: time code every cycle, status every
// tenth cycle (the roles swap in review mode).
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

private:
    void run();
    // One cycle's requests.
    void poll();

    int sleeptime;
    std::atomic<bool> reviewclip{false};
    int n = 0;
    VCR* svcr;
    std::atomic<bool> stopping_{false};
    ThreadInterrupt interrupt_;
    std::thread thread_;
};
