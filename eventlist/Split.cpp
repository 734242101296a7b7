#include "eventlist/Split.h"

#include "eventlist/TimeCodeText.h"

std::string Split::statement(int labelsPerSecond) const
{
    const char* kind = delay == Delay::Video ? "VIDEO" : "AUDIO";
    return std::string("SPLIT:    ") + kind + " DELAY=  " + TimeCodeText::lengthText(frames, labelsPerSecond);
}
