#pragma once

#include "app/ThreadInterrupt.h"

#include <atomic>
#include <thread>

class VCR;
class VCRPanel;

// Carries out one cue request: sends the cue packet, waits for cue-up, parks the deck, tells
// the operator, and starts play when a cue and play was asked for.
class CueThread {
public:
    explicit CueThread(VCR* vcr);
    // Stops and joins the thread; only tests destroy a deck.
    ~CueThread();
    CueThread(const CueThread&) = delete;
    CueThread& operator=(const CueThread&) = delete;

    void start();
    bool finished() const { return finished_; }

private:
    void run();
    void sleep(int ms);

    VCR* vcr;
    VCRPanel* vcrp;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> finished_{false};
    ThreadInterrupt interrupt_;
    std::thread thread_;
};
