#include "listwindow/EventRowText.h"

#include "assembly/EventPoints.h"
#include "eventlist/FrameCountMode.h"
#include "eventlist/TimeCodeText.h"

#include <cstdio>

namespace {

std::string numberText(int number)
{
    char text[16];
    std::snprintf(text, sizeof text, "%03d", number);
    return text;
}

std::string channelsOf(const EditLine& line)
{
    const std::string audio = line.channels.audioLineText();
    return audio.empty() ? line.channels.fieldText() : line.channels.fieldText() + " " + audio;
}

std::string reelText(const Event& event)
{
    if (event.lines.size() == 2 && event.lines[0].reel != event.lines[1].reel)
        return event.lines[0].reel + ">" + event.lines[1].reel;
    return event.lines.front().reel;
}

std::string channelsText(const Event& event)
{
    if (event.assemble)
        return "ASM";
    const EditLine& spanning = event.lines[EventPoints::spanningLine(event)];
    if (event.lines.size() == 1 || event.isTransitionFrom(0))
        return channelsOf(spanning);
    const std::string delayed = channelsOf(event.lines[1]);
    if (event.split.delay == Split::Delay::None)
        return channelsOf(event.lines[0]) + ", " + delayed;
    return channelsOf(event.lines[0]) + ", " + delayed + " +" + std::to_string(event.split.frames);
}

std::string transitionText(const Event& event)
{
    const ::Transition& transition = event.lines[EventPoints::spanningLine(event)].transition;
    const std::string duration = transition.durationText();
    return duration.find_first_not_of(' ') == std::string::npos ? transition.fieldText()
                                                                 : transition.fieldText() + " " + duration;
}

}

const char* EventRowText::heading(Column column)
{
    static const char* const headings[] = {"EVENT",     "REEL",      "CHANNELS",   "TRANS", "SOURCE IN",
                                           "SOURCE OUT", "RECORD IN", "RECORD OUT", "STATE"};
    return headings[column];
}

std::string EventRowText::cell(const Event& event, Column column, TimeBase listBase)
{
    if (event.lines.empty())
        return column == Number ? numberText(event.number) : std::string();
    const TimeBase labels = labelBase(listBase, event.frameCount);
    const char separator = event.semicolonFrames ? ';' : ':';
    const EditLine& spanning = event.lines[EventPoints::spanningLine(event)];
    const auto label = [&](int frame) { return TimeCodeText::format(frame, labels, separator); };
    switch (column) {
    case Number:
        return numberText(event.number);
    case Reel:
        return reelText(event);
    case Channels:
        return channelsText(event);
    case Transition:
        return transitionText(event);
    case SourceIn:
        return label(spanning.sourceIn);
    case SourceOut:
        return label(spanning.sourceOut);
    case RecordIn:
        return label(event.recordIn());
    case RecordOut:
        return label(event.recordOut());
    case State:
    case Count:
        break;
    }
    return {};
}
