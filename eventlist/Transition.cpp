#include "eventlist/Transition.h"

#include <cstdio>

namespace {

// At least three digits, zero-padded.
std::string threeDigits(int value)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", value);
    return digits;
}

} // namespace

std::string Transition::fieldText() const
{
    switch (kind) {
    case Kind::Dissolve:
        return "D";
    case Kind::Wipe:
        return std::string("W").append(threeDigits(wipeCode));
    case Kind::Key:
        return keyLayer == ' ' ? "K" : std::string("K ") + keyLayer;
    case Kind::Cut:
        break;
    }
    return "C";
}

std::string Transition::durationText() const
{
    if (kind == Kind::Cut || (kind == Kind::Key && duration == 0))
        return {};
    return threeDigits(duration);
}
