#include "eventlist/EditLine.h"

namespace {

std::optional<std::string> spanFault(const char* side, int in, int out, int framesPerDay)
{
    const std::string name(side);
    if (in < 0 || in >= framesPerDay)
        return name + " in outside the day";
    if (out > framesPerDay)
        return name + " out past the end of the day";
    if (out < in)
        return name + " out before " + name + " in";
    if (out - in >= framesPerDay)
        return name + " of a whole day";
    return std::nullopt;
}

// A list holds up to four digits for a transition's duration and its wipe code.
constexpr int largestTransitionNumber = 9999;

std::optional<std::string> transitionFault(const Transition& t)
{
    const auto fits = [](int number) { return number >= 0 && number <= largestTransitionNumber; };
    if (!fits(t.duration) || !fits(t.wipeCode))
        return "a transition duration or wipe code outside 0 to 9999";
    if (t.kind == Transition::Kind::Cut && t.duration != 0)
        return "a cut with a duration";
    const bool layerWritten = t.keyLayer == 'B' || t.keyLayer == 'O';
    if (t.keyLayer != ' ' && !(t.kind == Transition::Kind::Key && layerWritten))
        return "a key layer other than B or O, or on a line that is not a key";
    return std::nullopt;
}

} // namespace

void EditLine::moveRecord(int frames)
{
    recordIn += frames;
    recordOut += frames;
}

std::optional<std::string> EditLine::fault(int framesPerDay) const
{
    if (reel.empty() || reel.find_first_of(" \t\r\n") != std::string::npos)
        return "a reel name must be one word";
    if (auto fault = spanFault("source", sourceIn, sourceOut, framesPerDay))
        return fault;
    if (auto fault = spanFault("record", recordIn, recordOut, framesPerDay))
        return fault;
    return transitionFault(transition);
    return std::nullopt;
}
