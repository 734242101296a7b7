#pragma once

#include <chrono>
#include <deque>

// Where a deck's tape is between its time code readings. A tape rolling at play speed moves
// one frame every frame period; each reading says that at some moment inside its sample
// window the position lay inside that label's frame. The window is honest: the deck sampled
// its tape no earlier than the moment before the request was written, and no later than the
// reply's arrival or the deck's turnaround after the write, whichever came first. Together
// the readings pin the position down to an interval, whose width (the spread) says how well
// the position is known; firing a command on a frame needs it well under a frame.
//
// Readings that disagree with a tape at play speed are handled by how settled the estimate
// is: while the tape still locks (or after a change of motion), older readings that
// contradict the newest are forgotten; once settled, the estimate only narrows, a
// contradicting reading is an outlier, counted and left out, and only a run of them says the
// tape's motion has changed. Readings from before the tape reached play speed make a wrong
// estimate: whoever reads the deck leaves out those of its servo's lock.
class TapePosition {
public:
    using Clock = std::chrono::steady_clock;

    struct Reading {
        int frame;
        Clock::time_point sampledFrom;
        Clock::time_point sampledBy;
    };

    explicit TapePosition(double msPerFrame);

    // False when the reading contradicted a settled estimate and was left out.
    bool add(const Reading& reading);
    // Forgets the readings: the tape's motion changed.
    void clear();

    // True once the readings agree on a tape rolling at play speed.
    bool known() const { return known_; }
    // True once enough readings agree that a contradicting one is taken for an outlier.
    bool settled() const;
    // How far apart, in frames, the earliest and the latest possible positions lie.
    double spread() const { return high_ - low_; }
    // The frame label of the last reading taken in.
    int lastFrame() const { return readings_.empty() ? 0 : readings_.back().frame; }
    // The earliest and the latest position the tape may have at a moment, and the middle.
    double earliest(Clock::time_point when) const;
    double latest(Clock::time_point when) const;
    double at(Clock::time_point when) const;
    // The moment the middle estimate reaches a position.
    Clock::time_point when(double position) const;
    // The moment by which even the earliest possible position has reached a position, and
    // the moment before which not even the latest possible position has.
    Clock::time_point surelyReached(double position) const;
    Clock::time_point possiblyReached(double position) const;
    // The best moment, at or after from, for the next reading: its sample window centred on
    // the moment the middle estimate crosses a frame boundary.
    Clock::time_point nextReading(Clock::time_point from) const;
    // Readings left out as outliers since the estimate was made.
    int outliers() const { return outliers_; }

private:
    // Where a reading puts the tape at the reference moment: [low, high).
    struct Interval {
        double low;
        double high;
    };
    Interval projected(const Reading& reading) const;
    void estimate();
    void narrowTo(const Reading& reading);
    void forgetOlderThanHorizon();
    double framesBetween(Clock::time_point from, Clock::time_point to) const;
    Clock::time_point after(Clock::time_point from, double frames) const;

    // Readings of this many frames back are enough to pin a tape down, and older ones may
    // come from a servo still locking: a preroll outlasts the lock and the horizon.
    static constexpr double horizonFrames = 20;
    // Settled: this many readings agree, over this many frames of rolling tape.
    static constexpr std::size_t settledReadings = 4;
    static constexpr double settledFrames = 4;
    static constexpr int outliersForChange = 3;
    double msPerFrame_;
    std::deque<Reading> readings_;
    bool known_ = false;
    bool settled_ = false;
    // The position at reference_ lies in [low_, high_).
    Clock::time_point reference_{};
    double low_ = 0;
    double high_ = 0;
    int outliers_ = 0;
    int outliersInARow_ = 0;
};
