#include "engine/TapePosition.h"

#include <algorithm>
#include <cmath>
#include <limits>

TapePosition::TapePosition(double msPerFrame) : msPerFrame_(msPerFrame)
{
}

double TapePosition::framesBetween(Clock::time_point from, Clock::time_point to) const
{
    return std::chrono::duration<double, std::milli>(to - from).count() / msPerFrame_;
}

TapePosition::Clock::time_point TapePosition::after(Clock::time_point from, double frames) const
{
    return from
        + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(frames * msPerFrame_));
}

TapePosition::Interval TapePosition::projected(const Reading& reading) const
{
    // Sampled as late as possible, the tape has moved least by the reference moment.
    return {reading.frame + framesBetween(reading.sampledBy, reference_),
            reading.frame + 1 + framesBetween(reading.sampledFrom, reference_)};
}

bool TapePosition::settled() const
{
    return settled_;
}

bool TapePosition::add(const Reading& reading)
{
    if (settled_) {
        const Interval interval = projected(reading);
        if (std::max(low_, interval.low) >= std::min(high_, interval.high)) {
            ++outliers_;
            if (++outliersInARow_ < outliersForChange)
                return false;
            // A run of them: the tape no longer rolls as it did.
            clear();
        } else {
            narrowTo(reading);
            return true;
        }
    }
    outliersInARow_ = 0;
    readings_.push_back(reading);
    forgetOlderThanHorizon();
    estimate();
    settled_ = known_ && readings_.size() >= settledReadings
        && framesBetween(readings_.front().sampledBy, readings_.back().sampledFrom) >= settledFrames;
    return true;
}

void TapePosition::narrowTo(const Reading& reading)
{
    // A settled estimate only narrows: what the readings that made it said stays true of a
    // tape at play speed, however long ago they were taken.
    outliersInARow_ = 0;
    const double moved = framesBetween(reference_, reading.sampledFrom);
    const Interval interval = projected(reading);
    low_ = std::max(low_, interval.low) + moved;
    high_ = std::min(high_, interval.high) + moved;
    reference_ = reading.sampledFrom;
    readings_.push_back(reading);
    forgetOlderThanHorizon();
}

void TapePosition::clear()
{
    readings_.clear();
    known_ = false;
    settled_ = false;
    outliersInARow_ = 0;
}

void TapePosition::forgetOlderThanHorizon()
{
    const Clock::time_point newest = readings_.back().sampledFrom;
    while (readings_.size() > 1 && framesBetween(readings_.front().sampledBy, newest) > horizonFrames)
        readings_.pop_front();
}

void TapePosition::estimate()
{
    // From the newest reading back, as long as the readings agree with a tape at play speed:
    // older ones were taken before the tape rolled (a servo still locking) or before a change.
    reference_ = readings_.back().sampledFrom;
    double low = -std::numeric_limits<double>::infinity();
    double high = std::numeric_limits<double>::infinity();
    bool rolled = false;
    std::size_t agreeing = 0;
    for (auto reading = readings_.rbegin(); reading != readings_.rend(); ++reading) {
        const Interval interval = projected(*reading);
        const double from = std::max(low, interval.low);
        const double to = std::min(high, interval.high);
        if (from >= to)
            break;
        low = from;
        high = to;
        rolled = rolled || reading->frame != readings_.back().frame;
        ++agreeing;
    }
    readings_.erase(readings_.begin(), readings_.end() - static_cast<std::ptrdiff_t>(agreeing));
    low_ = low;
    high_ = high;
    known_ = rolled;
}

double TapePosition::earliest(Clock::time_point when) const
{
    return low_ + framesBetween(reference_, when);
}

double TapePosition::latest(Clock::time_point when) const
{
    return high_ + framesBetween(reference_, when);
}

double TapePosition::at(Clock::time_point when) const
{
    return (low_ + high_) / 2 + framesBetween(reference_, when);
}

TapePosition::Clock::time_point TapePosition::when(double position) const
{
    return after(reference_, position - (low_ + high_) / 2);
}

TapePosition::Clock::time_point TapePosition::surelyReached(double position) const
{
    return after(reference_, position - low_);
}

TapePosition::Clock::time_point TapePosition::possiblyReached(double position) const
{
    return after(reference_, position - high_);
}

TapePosition::Clock::time_point TapePosition::nextReading(Clock::time_point from) const
{
    if (!known_)
        return from;
    // The sample window centred on the frame boundary: whichever label the deck gives, the
    // reading moves one end of the interval to within half a window of the boundary. Readings
    // that fall inside a frame tell nothing new, and those that did age past the horizon.
    const Reading& last = readings_.back();
    const auto halfWindow = (last.sampledBy - last.sampledFrom) / 2;
    const auto boundary = when(std::ceil(at(from + halfWindow)));
    return std::max(from, boundary - halfWindow);
}
