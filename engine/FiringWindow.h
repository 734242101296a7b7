#pragma once

#include "engine/TapePosition.h"

// When a timed command (edit on, edit off) for a frame may be written. A deck carries such a
// command out at the start of the frame after the one in which the command reaches it, so
// the command must reach the deck inside the frame before: not before even the earliest
// possible position has entered that frame, and early enough that even the latest possible
// position, moved on by the command's transit, has not left it. The narrower the position's
// spread, the wider the window; its middle is the safest moment to fire.
class FiringWindow {
public:
    using Clock = std::chrono::steady_clock;

    // A command's way to the deck: its bytes on the line, and a USB adapter's output.
    static constexpr auto transit = std::chrono::microseconds(2000);
    // What a write itself may take: a write started later than this before the window
    // closes may reach the deck too late.
    static constexpr auto writeMargin = std::chrono::microseconds(1000);

    // The window for a command that is to take effect at the start of the frame.
    FiringWindow(const TapePosition& tape, int frame);

    int frame() const { return frame_; }
    Clock::time_point opens() const { return opens_; }
    Clock::time_point closes() const { return closes_; }
    Clock::time_point middle() const { return opens_ + (closes_ - opens_) / 2; }
    // A window that leaves room for a write at all.
    bool open() const { return closes_ - opens_ > 2 * writeMargin; }
    // A write begun at that moment still reaches the deck inside the frame.
    bool reachableAt(Clock::time_point moment) const { return moment >= opens_ && moment + writeMargin <= closes_; }

private:
    int frame_;
    Clock::time_point opens_;
    Clock::time_point closes_;
};
