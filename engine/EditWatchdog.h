#pragma once

#include "deck/Reply.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

class VCR;

// The upper bound on a recording. Armed when edit on has been written, it writes edit off
// itself, on a thread of its own, at the latest moment the recording may end (the planned
// length and two frames after edit on), unless the roll has written edit off first. A roll
// whose thread wakes late, or whose readings of the recorder went wrong, cannot record on.
class EditWatchdog {
public:
    using Clock = std::chrono::steady_clock;

    explicit EditWatchdog(VCR& recorder);
    // Stands down and ends the thread.
    ~EditWatchdog();
    EditWatchdog(const EditWatchdog&) = delete;
    EditWatchdog& operator=(const EditWatchdog&) = delete;

    void arm(Clock::time_point deadline);
    // The roll is about to write edit off: the watchdog writes nothing from now on. Its own
    // edit off, when it wrote one first (once: the roll sees to it that the deck took it): the
    // deck's reply, with the moment it was written.
    std::optional<Reply> standDown();

private:
    void run(Clock::time_point deadline);

    VCR& recorder_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stoodDown_ = false;
    bool writing_ = false;
    std::optional<Reply> wrote_;
    std::thread thread_;
};
