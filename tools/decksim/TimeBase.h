#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace decksim {

// The rate a tape runs at and how its frames are labelled. NTSC tape runs at 30000/1001
// frames a second but still counts 30 labels a second; drop-frame counting skips labels so
// that they keep step with the clock. PAL tape runs at exactly 25 frames a second.
class TimeBase {
public:
    static const TimeBase fps30;
    static const TimeBase fps2997;
    static const TimeBase fps2997DropFrame;
    static const TimeBase fps25;

    // "30", "29.97", "29.97DF" or "25".
    static std::optional<TimeBase> parse(std::string_view name);

    std::string_view name() const { return name_; }
    int labelsPerSecond() const { return labelsPerSecond_; }
    bool dropFrame() const { return dropFrame_; }
    // Frames a second, as the deck's servo runs them.
    double framesPerSecond() const { return static_cast<double>(framesPerPeriod_) / periodSeconds_; }
    // The time the tape takes for that many frames at play speed, rounded up so that a wait
    // for them is never short.
    std::int64_t framesToMicros(std::int64_t frames) const;

    bool operator==(const TimeBase& other) const { return name_ == other.name_; }

private:
    constexpr TimeBase(std::string_view name, int labelsPerSecond, bool dropFrame, std::int64_t framesPerPeriod,
                       std::int64_t periodSeconds)
        : name_(name), labelsPerSecond_(labelsPerSecond), dropFrame_(dropFrame), framesPerPeriod_(framesPerPeriod),
          periodSeconds_(periodSeconds)
    {
    }

    std::string_view name_;
    int labelsPerSecond_;
    bool dropFrame_;
    // The exact rate: framesPerPeriod frames every periodSeconds seconds.
    std::int64_t framesPerPeriod_;
    std::int64_t periodSeconds_;
};

inline constexpr TimeBase TimeBase::fps30{"30", 30, false, 30, 1};
inline constexpr TimeBase TimeBase::fps2997{"29.97", 30, false, 30000, 1001};
inline constexpr TimeBase TimeBase::fps2997DropFrame{"29.97DF", 30, true, 30000, 1001};
inline constexpr TimeBase TimeBase::fps25{"25", 25, false, 25, 1};

}  // namespace decksim
