#pragma once

// The recorder's tape frame by frame and channel by channel, as the virtual decks report it
// and as a list says it should be: for each recorded frame and channel, the player's reel and
// frame it came from. Compares tapes without the controller's time code arithmetic.

#include "eventlist/Event.h"
#include "tools/decksim/Channels.h"
#include "tools/decksim/Report.h"

#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tapeoracle {

// Where one channel of one recorder frame came from.
struct Source {
    std::string reel;
    int frame = 0;
    bool operator==(const Source&) const = default;
};

// Recorder frame -> channel ('V', '1', '2') -> source.
using Tape = std::map<int, std::map<char, Source>>;

inline Tape fromSegments(const std::vector<decksim::Report::Segment>& segments)
{
    Tape tape;
    const std::pair<decksim::Channel, char> names[] = {
        {decksim::Channel::V, 'V'}, {decksim::Channel::A1, '1'}, {decksim::Channel::A2, '2'}};
    for (const auto& segment : segments) {
        for (int frame = segment.recFirst; frame <= segment.recLast; ++frame) {
            for (const auto& [channel, name] : names) {
                if (segment.channels & decksim::channelBit(channel))
                    tape[frame][name] = Source{segment.reel, segment.srcFirst + (frame - segment.recFirst)};
            }
        }
    }
    return tape;
}

// What the events record, the later over the earlier, frame counts on the decks' base.
inline Tape fromEvents(const std::vector<Event>& events)
{
    Tape tape;
    for (const Event& event : events) {
        for (const EditLine& line : event.lines) {
            for (int frame = line.recordIn; frame < line.recordOut; ++frame) {
                const Source source{line.reel, line.sourceFrameAt(frame)};
                if (line.channels.video)
                    tape[frame]['V'] = source;
                if (line.channels.audio1)
                    tape[frame]['1'] = source;
                if (line.channels.audio2)
                    tape[frame]['2'] = source;
            }
        }
    }
    return tape;
}

// The first frames where two tapes differ, as text; empty when they are the same.
inline std::string differences(const Tape& expected, const Tape& actual, int most = 6)
{
    std::ostringstream out;
    int found = 0;
    const auto describe = [](const Tape& tape, int frame) {
        std::string text;
        const auto at = tape.find(frame);
        if (at == tape.end())
            return std::string("blank");
        for (const auto& [channel, source] : at->second)
            text += std::string(1, channel) + "=" + source.reel + ":" + std::to_string(source.frame) + " ";
        return text;
    };
    std::map<int, bool> frames;
    for (const auto& entry : expected)
        frames[entry.first] = true;
    for (const auto& entry : actual)
        frames[entry.first] = true;
    for (const auto& entry : frames) {
        const int frame = entry.first;
        if (describe(expected, frame) == describe(actual, frame))
            continue;
        if (found++ < most)
            out << "frame " << frame << ": list " << describe(expected, frame) << "| tape " << describe(actual, frame)
                << "\n";
    }
    if (found > most)
        out << "... " << found << " frames differ\n";
    return out.str();
}

}  // namespace tapeoracle
