#include "assembly/EventEdits.h"

#include "assembly/EventRefused.h"
#include "eventlist/FrameCountMode.h"
#include "eventlist/PlainText.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::uint8_t assembleMode = 0x20;
constexpr std::uint8_t insertMode = 0x40;

[[noreturn]] void refuse(const Event& event, const std::string& reason)
{
    throw EventRefused("EVENT " + std::to_string(event.number) + ": " + reason);
}

const char* transitionName(Transition::Kind kind)
{
    switch (kind) {
    case Transition::Kind::Dissolve:
        return "A DISSOLVE";
    case Transition::Kind::Wipe:
        return "A WIPE";
    case Transition::Kind::Key:
    case Transition::Kind::Cut:
        break;
    }
    return "A KEY";
}

bool shareAChannel(const Channels& a, const Channels& b)
{
    return (a.video && b.video) || (a.audio1 && b.audio1) || (a.audio2 && b.audio2);
}

void checkLine(const Event& event, const EditLine& line, TimeBase labels)
{
    if (line.channels.audio3 || line.channels.audio4)
        refuse(event, "AUDIO 3 AND 4 ARE NOT RECORDED BY KESTRIX");
    if (line.channels.insertBits() == 0)
        refuse(event, "IT RECORDS NO CHANNEL");
    if (line.recordLength() <= 0)
        refuse(event, "IT RECORDS NO FRAME");
    if (line.sourceLength() != line.recordLength())
        refuse(event, "ITS SOURCE AND RECORD LENGTHS DIFFER");
    // An out point at the end of the day is midnight's label, which lies before the in point.
    if (line.recordOut >= labels.framesPerDay() || line.sourceOut >= labels.framesPerDay())
        refuse(event, "IT ENDS AT MIDNIGHT");
}

void checkEvent(const Event& event, TimeBase labels, RecorderInput input)
{
    if (event.lines.empty() || event.lines.size() > 2)
        refuse(event, "AN EVENT OF " + std::to_string(event.lines.size()) + " LINES");
    // What the event is comes before how its lines are made: the empty outgoing line of a
    // dissolve is no fault of its own.
    for (const EditLine& line : event.lines) {
        if (line.transition.kind != Transition::Kind::Cut)
            refuse(event, std::string(transitionName(line.transition.kind)) + " NEEDS A SWITCHER");
        const bool recordable = input == RecorderInput::Routed && EventEdits::isRecorderInput(line.reel);
        if (EventEdits::isPlayerlessReel(line.reel) && !recordable)
            refuse(event, PlainText::upper(line.reel) + " IS NO REEL ON THE PLAYER");
    }
    for (const EditLine& line : event.lines)
        checkLine(event, line, labels);
    if (event.lines.size() == 2) {
        const EditLine& first = event.lines[0];
        const EditLine& second = event.lines[1];
        if (PlainText::upper(first.reel) != PlainText::upper(second.reel))
            refuse(event, "ITS LINES PLAY FROM TWO REELS");
        if (shareAChannel(first.channels, second.channels))
            refuse(event, "BOTH LINES RECORD " + Channels::fromInsertBits(first.channels.insertBits()
                                                                          & second.channels.insertBits()).fieldText());
    }
}

std::string whatOf(const Event& event, std::size_t line)
{
    const std::string channels = event.lines[line].channels.fieldText();
    if (event.lines.size() == 1)
        return channels;
    if (event.split.delay != Split::Delay::None)
        return (line == 0 ? "LEADING " : "DELAYED ") + channels;
    return "LINE " + std::to_string(line + 1) + " " + channels;
}

}

bool EventEdits::isPlayerlessReel(const std::string& reel)
{
    const std::string name = PlainText::upper(reel);
    return name == "BL" || name == "AX" || name == "BARS";
}

bool EventEdits::isRecorderInput(const std::string& reel)
{
    const std::string name = PlainText::upper(reel);
    return name == "BL" || name == "AX";
}

std::vector<EventEdit> EventEdits::of(const Event& event, TimeBase listBase, const RollSettings& roll,
                                      RecorderInput input)
{
    const TimeBase labels = labelBase(listBase, event.frameCount);
    checkEvent(event, labels, input);
    std::vector<EventEdit> edits;
    for (std::size_t index = 0; index < event.lines.size(); ++index) {
        const EditLine& line = event.lines[index];
        EventEdit edit;
        edit.line = index;
        edit.what = whatOf(event, index);
        edit.recorderOnly = isRecorderInput(line.reel);
        if (!edit.recorderOnly) {
            edit.request.playIn = labels.labelOf(line.sourceIn);
            edit.request.playOut = labels.labelOf(line.sourceOut);
        }
        edit.request.recIn = labels.labelOf(line.recordIn);
        edit.request.recOut = labels.labelOf(line.recordOut);
        edit.request.mode = event.assemble ? assembleMode : static_cast<std::uint8_t>(insertMode | line.channels.insertBits());
        edit.request.playerPreroll = roll.playerPreroll;
        edit.request.recorderPreroll = roll.recorderPreroll;
        edit.request.adjust = roll.adjust;
        edits.push_back(edit);
    }
    return edits;
}
