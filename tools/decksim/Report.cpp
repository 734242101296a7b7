#include "tools/decksim/Report.h"

#include "tools/decksim/TimeCode.h"

#include <algorithm>
#include <map>

namespace decksim {

namespace {

using Source = RecorderTape::Source;

// The channels of one frame grouped by the player frame they came from.
std::map<Source, ChannelSet> channelsBySource(const RecorderTape& tape, int frame)
{
    std::map<Source, ChannelSet> groups;
    for (Channel channel : channelOrder) {
        const Source source = tape.source(frame, channel);
        if (!source.isBlank()) {
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

struct OpenSegment {
    int reel;
    Report::Segment segment;
};

}  // namespace

std::vector<Report::Segment> Report::segments(const RecorderTape& tape, const std::vector<std::string>& reelNames)
{
    std::vector<Segment> finished;
    const auto range = tape.touched();
    if (!range) {
        return finished;
    }
    // Runs still open, by their channel set: at most one per set, as the sets of one frame
    // never share a channel.
    std::map<ChannelSet, OpenSegment> open;
    for (int frame = range->first; frame <= range->last + 1; ++frame) {
        std::map<ChannelSet, OpenSegment> next;
        for (const auto& [source, channels] : channelsBySource(tape, frame)) {
            const auto running = open.find(channels);
            if (running != open.end() && running->second.reel == source.reel
                && running->second.segment.srcLast + 1 == source.frame) {
                OpenSegment extended = running->second;
                extended.segment.recLast = frame;
                extended.segment.srcLast = source.frame;
                open.erase(running);
                next.emplace(channels, extended);
            } else {
                const Segment started{channels, frame, frame, source.frame, source.frame, reelNames.at(static_cast<std::size_t>(source.reel))};
                next.emplace(channels, OpenSegment{source.reel, started});
            }
        }
        for (const auto& [channels, running] : open) {
            finished.push_back(running.segment);
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
    const auto span = [](int first, int last) { return std::to_string(first) + "-" + std::to_string(last); };
    return "segment channels=" + channelNames(segment.channels) + " rec=" + TimeCode::format(segment.recFirst, base) + "-"
        + TimeCode::format(segment.recLast, base) + " src=" + TimeCode::format(segment.srcFirst, base) + "-"
        + TimeCode::format(segment.srcLast, base) + " reel=" + segment.reel + " rec-frames="
        + span(segment.recFirst, segment.recLast) + " src-frames=" + span(segment.srcFirst, segment.srcLast);
}

std::vector<std::string> Report::lines(const RecorderTape& tape, const std::vector<std::string>& reelNames, TimeBase base)
{
    std::vector<std::string> text;
    for (const Segment& segment : segments(tape, reelNames)) {
        text.push_back(line(segment, base));
    }
    return text;
}

}  // namespace decksim
