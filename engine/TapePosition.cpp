#include "engine/TapePosition.h"

#include <algorithm>
#include <cmath>
#include <limits>

TapePosition::TapePosition(double msPerFrame) : msPerFrame_(msPerFrame)
{
}

void TapePosition::add(int frame, Clock::time_point asked)
{
    readings_.push_back({frame, asked});
    if (readings_.size() > kept)
        readings_.pop_front();
    estimate();
}

void TapePosition::clear()
{
    readings_.clear();
    known_ = false;
}

double TapePosition::framesBetween(Clock::time_point from, Clock::time_point to) const
{
    return std::chrono::duration<double, std::milli>(to - from).count() / msPerFrame_;
}

void TapePosition::estimate()
{
    // From the newest reading back, as long as the readings agree with a tape at play speed:
    // older ones were taken before the tape rolled (a servo still locking) or before a change.
    const Reading& newest = readings_.back();
    double low = -std::numeric_limits<double>::infinity();
    double high = std::numeric_limits<double>::infinity();
    bool rolled = false;
    std::size_t agreeing = 0;
    for (auto reading = readings_.rbegin(); reading != readings_.rend(); ++reading) {
        const double since = framesBetween(reading->asked, newest.asked);
        const double from = std::max(low, reading->frame + since);
        const double to = std::min(high, reading->frame + 1 + since);
        if (from >= to)
            break;
        low = from;
        high = to;
        rolled = rolled || reading->frame != newest.frame;
        ++agreeing;
    }
    readings_.erase(readings_.begin(), readings_.end() - static_cast<std::ptrdiff_t>(agreeing));
    low_ = low;
    high_ = high;
    known_ = rolled;
}

double TapePosition::at(Clock::time_point when) const
{
    const Reading& newest = readings_.back();
    return (low_ + high_) / 2 + framesBetween(newest.asked, when);
}

TapePosition::Clock::time_point TapePosition::when(double position) const
{
    const Reading& newest = readings_.back();
    const double frames = position - (low_ + high_) / 2;
    return newest.asked
        + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(frames * msPerFrame_));
}

TapePosition::Clock::time_point TapePosition::nextReading(Clock::time_point from) const
{
    constexpr double fine = 0.1;
    if (!known_ || spread() < fine)
        return from;
    return when(std::ceil(at(from)));
}
