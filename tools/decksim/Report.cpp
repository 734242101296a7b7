#include "tools/decksim/Report.h"

#include "tools/decksim/TimeCode.h"

#include <algorithm>
#include <map>

namespace decksim {

namespace {

// The channels of one frame grouped by the player frame they came from.
std::map<int, ChannelSet> channelsBySource(const RecorderTape& tape, int frame)
{
    std::map<int, ChannelSet> groups;
    for (Channel channel : channelOrder) {
        const int source = tape.source(frame, channel);
        if (source != RecorderTape::blank) {
            groups[source] |= channelBit(channel);
        }
    }
    return groups;
}

int firstChannelIndex(ChannelSet channels)
{
    int index = 0;
    while (!(channels & (1u << index))) {
        ++index;
    }
    return index;
}

}  // namespace

std::vector<Report::Segment> Report::segments(const RecorderTape& tape)
{
    std::vector<Segment> finished;
    const auto range = tape.touched();
    if (!range) {
        return finished;
    }
    std::map<ChannelSet, Segment> open;
    for (int frame = range->first; frame <= range->last + 1; ++frame) {
        std::map<ChannelSet, Segment> next;
        for (const auto& [source, channels] : channelsBySource(tape, frame)) {
            const auto running = open.find(channels);
            if (running != open.end() && running->second.srcLast + 1 == source) {
                Segment extended = running->second;
                extended.recLast = frame;
                extended.srcLast = source;
                open.erase(running);
                next.emplace(channels, extended);
            } else {
                next.emplace(channels, Segment{channels, frame, frame, source, source});
            }
        }
        for (const auto& [channels, segment] : open) {
            finished.push_back(segment);
        }
        open = std::move(next);
    }
    std::sort(finished.begin(), finished.end(), [](const Segment& a, const Segment& b) {
        if (a.recFirst != b.recFirst) {
            return a.recFirst < b.recFirst;
        }
        return firstChannelIndex(a.channels) < firstChannelIndex(b.channels);
    });
    return finished;
}

std::string Report::line(const Segment& segment, TimeBase base)
{
    return "segment channels=" + channelNames(segment.channels) + " rec=" + TimeCode::format(segment.recFirst, base) + "-"
        + TimeCode::format(segment.recLast, base) + " src=" + TimeCode::format(segment.srcFirst, base) + "-"
        + TimeCode::format(segment.srcLast, base);
}

std::vector<std::string> Report::lines(const RecorderTape& tape, TimeBase base)
{
    std::vector<std::string> text;
    for (const Segment& segment : segments(tape)) {
        text.push_back(line(segment, base));
    }
    return text;
}

}  // namespace decksim
