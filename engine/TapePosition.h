#pragma once

#include <chrono>
#include <deque>

// Where a deck's tape is between its time code readings. A tape rolling at play speed moves
// one frame every frame period; each reading (a label and the moment the deck was asked) says
// that the position then lay somewhere inside that label's frame. Together the readings pin
// the position down to a fraction of a frame, which is what firing a command on a frame needs.
class TapePosition {
public:
    using Clock = std::chrono::steady_clock;

    explicit TapePosition(double msPerFrame);

    void add(int frame, Clock::time_point asked);
    // Forgets the readings: the tape's motion changed.
    void clear();

    // True once the readings agree on a tape rolling at play speed.
    bool known() const { return known_; }
    // How far apart, in frames, the earliest and the latest possible positions still lie.
    double spread() const { return high_ - low_; }
    // The frame label of the last reading.
    int lastFrame() const { return readings_.empty() ? 0 : readings_.back().frame; }
    // The position, in frames with their fraction, at a moment; and the moment of a position.
    double at(Clock::time_point when) const;
    Clock::time_point when(double position) const;
    // The best moment, at or after from, for the next reading: when the position's middle
    // estimate crosses a frame boundary, so that the reading halves the uncertainty. A deck
    // read at a steady pace near one frame apart would otherwise be read at the same point
    // of its frame each time and tell nothing new.
    Clock::time_point nextReading(Clock::time_point from) const;

private:
    struct Reading {
        int frame;
        Clock::time_point asked;
    };
    void estimate();
    double framesBetween(Clock::time_point from, Clock::time_point to) const;

    static constexpr std::size_t kept = 48;
    double msPerFrame_;
    std::deque<Reading> readings_;
    bool known_ = false;
    // The position at the last reading lies in [low_, high_).
    double low_ = 0;
    double high_ = 0;
};
