#include "tools/decksim/TimeBase.h"

namespace decksim {

std::optional<TimeBase> TimeBase::parse(std::string_view name)
{
    for (const TimeBase& base : {fps30, fps2997, fps2997DropFrame, fps25}) {
        if (base.name() == name) {
            return base;
        }
    }
    return std::nullopt;
}

std::int64_t TimeBase::framesToMicros(std::int64_t frames) const
{
    const std::int64_t micros = frames * periodSeconds_ * 1'000'000;
    return (micros + framesPerPeriod_ - 1) / framesPerPeriod_;
}

}  // namespace decksim
