#include "deck/FramePhase.h"

#include <algorithm>
#include <cmath>

namespace {

// Readings over a little more than one frame's worth of phases: the polling's cycle is a few
// milliseconds shorter than a frame, so ten of them cover every phase once.
constexpr int readingsToKnow = 10;
// How far a reading may stray beyond one frame's span (a deck that samples a little sooner
// or later, a request stamped a little early) and still be a deck at play speed.
constexpr double strayMs = 3.0;

}

double FramePhase::offsetOf(Clock::time_point moment) const
{
    return std::chrono::duration<double, std::milli>(moment - origin_).count();
}

void FramePhase::add(int frame, Clock::time_point asked, double msPerFrame)
{
    const auto framesSince = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(frame * msPerFrame));
    if (readings_ > 0 && msPerFrame == msPerFrame_) {
        const double offset = offsetOf(asked) - frame * msPerFrame_;
        const double earliest = std::min(earliest_, offset);
        const double latest = std::max(latest_, offset);
        if (latest - earliest <= msPerFrame_ + strayMs) {
            earliest_ = earliest;
            latest_ = latest;
            ++readings_;
            return;
        }
    }
    msPerFrame_ = msPerFrame;
    origin_ = asked - framesSince;
    earliest_ = latest_ = offsetOf(asked) - frame * msPerFrame_;
    readings_ = 1;
}

void FramePhase::forget()
{
    readings_ = 0;
}

std::optional<FramePhase::Clock::time_point> FramePhase::nextRequest(Clock::time_point notBefore,
                                                                      double marginMs) const
{
    if (readings_ < readingsToKnow)
        return std::nullopt;
    const double offset = latest_ - msPerFrame_ + marginMs;
    const double frames = std::ceil((offsetOf(notBefore) - offset) / msPerFrame_);
    return origin_ + std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double, std::milli>(offset + frames * msPerFrame_));
}
