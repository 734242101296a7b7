#include "eventlist/Event.h"

#include "eventlist/ListError.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::uint8_t assembleMode = 0x20;
constexpr std::uint8_t insertMode = 0x40;
constexpr std::uint8_t channelBits = 0x13;
// Six digits: what a list's event number field is read as.
constexpr int largestEventNumber = 999999;

std::string hexByte(std::uint8_t byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

} // namespace

Event Event::fromEdit(std::uint8_t mode, const std::string& reel, const EditPoints& points, FrameCountMode frameCount)
{
    const bool assemble = mode == assembleMode;
    const bool insert = (mode & ~(insertMode | channelBits)) == 0 && (mode & insertMode) && (mode & channelBits);
    if (!assemble && !insert)
        throw ListError("edit mode " + hexByte(mode) + " records nothing");
    const int sourceLength = points.sourceOut - points.sourceIn;
    const int recordLength = points.recordOut - points.recordIn;
    if (sourceLength != recordLength)
        throw ListError("the player's edit is " + std::to_string(sourceLength) + " frames and the recorder's "
                        + std::to_string(recordLength) + ": both edits must have the same length");
    EditLine line;
    line.reel = reel;
    line.channels = Channels::fromInsertBits(assemble ? channelBits : mode);
    line.sourceIn = points.sourceIn;
    line.sourceOut = points.sourceOut;
    line.recordIn = points.recordIn;
    line.recordOut = points.recordOut;
    Event event;
    event.lines.push_back(line);
    event.frameCount = frameCount;
    event.assemble = assemble;
    return event;
}

std::optional<std::uint8_t> Event::modeByte() const
{
    if (assemble)
        return assembleMode;
    std::uint8_t bits = 0;
    for (const EditLine& line : lines) {
        if (line.channels.audio3 || line.channels.audio4)
            return std::nullopt;
        bits |= line.channels.insertBits();
    }
    if (bits == 0)
        return std::nullopt;
    return static_cast<std::uint8_t>(insertMode | bits);
}

int Event::recordIn() const
{
    int in = lines.front().recordIn;
    for (const EditLine& line : lines)
        in = std::min(in, line.recordIn);
    return in;
}

int Event::recordOut() const
{
    int out = lines.front().recordOut;
    for (const EditLine& line : lines)
        out = std::max(out, line.recordOut);
    return out;
}

bool Event::isTransitionFrom(std::size_t line) const
{
    return line == 0 && lines.size() == 2 && lines[0].recordLength() == 0 && lines[0].sourceLength() == 0
        && lines[1].transition.kind != Transition::Kind::Cut;
}

std::optional<std::string> Event::fault(TimeBase listBase) const
{
    if (number < 0 || number > largestEventNumber)
        return "an event number outside 0 to 999999";
    if (lines.empty() || lines.size() > 2)
        return "an event has one line or two";
    if (!fitsTimeBase(frameCount, listBase))
        return "drop-frame labels on the time base " + listBase.settingText() + ", which does not count them";
    if (semicolonFrames && frameCount != FrameCountMode::DropFrame)
        return "a ';' before the frames of labels that are not drop-frame";
    const TimeBase labels = labelBase(listBase, frameCount);
    for (std::size_t index = 0; index < lines.size(); ++index) {
        if (auto fault = lines[index].fault(labels.framesPerDay()))
            return "line " + std::to_string(index + 1) + ": " + *fault;
    }
    if ((split.delay == Split::Delay::None && split.frames != 0) || split.frames < 0
        || split.frames >= labels.framesPerDay())
        return "a split delay outside the day, or without its kind";
    if (assemble && (lines.size() != 1 || !lines.front().channels.recordsEverything()))
        return "an assemble edit is one line that records AA/V";
    for (const Note& note : notes) {
        if (auto fault = note.fault())
            return *fault;
    }
    return std::nullopt;
}
