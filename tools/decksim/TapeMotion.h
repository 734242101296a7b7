#pragma once

#include <cstdint>
#include <optional>

namespace decksim {

// The tape's motion as a straight line in time: position = anchor + speed x elapsed. Nothing
// ticks; a position is computed exactly for any moment. Positions are in ticks, a millionth
// of a frame, so that play speed in ticks per microsecond is the frame rate (30 frames per
// second is exactly 30 ticks per microsecond).
class TapeMotion {
public:
    static constexpr std::int64_t ticksPerFrame = 1'000'000;

    TapeMotion(std::int64_t now, std::int64_t positionTicks, double framesPerSecond);

    // From now on the tape moves at speed (a signed multiple of play speed; 0 stands still).
    void setSpeed(std::int64_t now, double speed);
    // The tape stands at the given position from now on.
    void placeAt(std::int64_t now, std::int64_t positionTicks);

    double speed() const { return speed_; }
    bool standsStill() const { return speed_ == 0.0; }
    std::int64_t positionAt(std::int64_t time) const;
    // The first microsecond at or after the anchor at which the tape has reached target in
    // its direction of travel; nothing when it never will.
    std::optional<std::int64_t> timeReaching(std::int64_t targetTicks) const;

private:
    double ticksPerMicroAtPlaySpeed_;
    std::int64_t anchorTime_;
    std::int64_t anchorTicks_;
    double speed_ = 0.0;
};

}  // namespace decksim
