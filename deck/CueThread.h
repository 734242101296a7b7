#pragma once

#include "deck/ThreadInterrupt.h"

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

class VCR;
class DeckView;

// Carries out one cue request: sends the cue packet, waits for cue-up, parks the deck, tells
// the operator, and starts play when a cue and play was asked for.
class CueThread {
public:
    // The cue packet and the request's number are taken when the cue is asked for, so a point
    // entered meanwhile cannot change where this cue goes.
    CueThread(VCR* vcr, std::vector<std::uint8_t> cuePacket, std::uint64_t request);
    // Abandons the cue where it stands (a newer cue supersedes it, or the deck goes away) and
    // joins the thread: nothing more is sent and no flag of the deck is touched.
    ~CueThread();
    CueThread(const CueThread&) = delete;
    CueThread& operator=(const CueThread&) = delete;

    void start();
    bool finished() const { return finished_; }

private:
    void run();
    // The steps of the cue; false when it was abandoned on the way.
    bool carryOut();
    bool waitForCueUp();
    // False when the cue was abandoned during the pause.
    bool sleep(int ms);

    VCR* vcr;
    DeckView& view;
    const std::vector<std::uint8_t> cuePacket_;
    const std::uint64_t request_;
    std::atomic<bool> abandoned_{false};
    std::atomic<bool> finished_{false};
    ThreadInterrupt interrupt_;
    std::thread thread_;
};
