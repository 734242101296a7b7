#include "tools/decksim/TapeMotion.h"

#include <cmath>

namespace decksim {

TapeMotion::TapeMotion(std::int64_t now, std::int64_t positionTicks, double framesPerSecond)
    : ticksPerMicroAtPlaySpeed_(framesPerSecond * static_cast<double>(ticksPerFrame) / 1e6),
      anchorTime_(now),
      anchorTicks_(positionTicks)
{
}

void TapeMotion::setSpeed(std::int64_t now, double speed)
{
    anchorTicks_ = positionAt(now);
    anchorTime_ = now;
    speed_ = speed;
}

void TapeMotion::placeAt(std::int64_t now, std::int64_t positionTicks)
{
    anchorTime_ = now;
    anchorTicks_ = positionTicks;
    speed_ = 0.0;
}

std::int64_t TapeMotion::positionAt(std::int64_t time) const
{
    const double ticksPerMicro = speed_ * ticksPerMicroAtPlaySpeed_;
    return anchorTicks_ + std::llround(ticksPerMicro * static_cast<double>(time - anchorTime_));
}

std::optional<std::int64_t> TapeMotion::timeReaching(std::int64_t targetTicks) const
{
    const std::int64_t distance = targetTicks - anchorTicks_;
    if (distance == 0) {
        return anchorTime_;
    }
    if (speed_ == 0.0 || (distance > 0) != (speed_ > 0)) {
        return std::nullopt;
    }
    const bool forward = speed_ > 0;
    const auto reached = [&](std::int64_t time) {
        const std::int64_t position = positionAt(time);
        return forward ? position >= targetTicks : position <= targetTicks;
    };
    const double ticksPerMicro = std::fabs(speed_ * ticksPerMicroAtPlaySpeed_);
    std::int64_t elapsed = static_cast<std::int64_t>(std::ceil(std::fabs(static_cast<double>(distance)) / ticksPerMicro));
    // Rounding of the position can put the estimate a microsecond either side.
    while (!reached(anchorTime_ + elapsed)) {
        ++elapsed;
    }
    while (elapsed > 0 && reached(anchorTime_ + elapsed - 1)) {
        --elapsed;
    }
    return anchorTime_ + elapsed;
}

}  // namespace decksim
