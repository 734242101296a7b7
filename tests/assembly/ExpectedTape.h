#pragma once

// The recorder's tape a list means, frame by frame and channel by channel, and how a tape the
// virtual recorder reports differs from it. Built from the list alone, with frame counts, so
// that a mistake in the controller's time code arithmetic cannot hide in the oracle.

#include "engine/EditEngine.h"
#include "eventlist/EventList.h"
#include "tools/decksim/Report.h"

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace assemblytest {

class ExpectedTape {
public:
    // What one channel of one recorder frame holds: a reel's frame, or whatever the recorder's
    // input carried (a recorder-only source: black, an auxiliary source).
    struct Source {
        std::string reel;
        int frame = anyFrame;
        bool operator==(const Source&) const = default;
    };
    static constexpr int anyFrame = -1;

    // The events recorded in the order given (list indexes); where two share a frame and a
    // channel, the one recorded later is on the tape. An assemble edit records every channel
    // on past its out point, the source running on.
    ExpectedTape(const EventList& list, const std::vector<std::size_t>& recordedInOrder)
    {
        const int overrun = EditEngine::assembleOverrunSeconds * list.timeBase().labelsPerSecond();
        for (const std::size_t index : recordedInOrder) {
            const Event& event = list[index];
            for (const EditLine& line : event.lines) {
                const bool anySource = line.reel == "BL" || line.reel == "AX";
                const int end = line.recordOut + (event.assemble ? overrun : 0);
                for (int frame = line.recordIn; frame < end; ++frame) {
                    const Source source{anySource ? "" : line.reel, anySource ? anyFrame : line.sourceFrameAt(frame)};
                    for (const int channel : channelsOf(line.channels, event.assemble))
                        frames_[{frame, channel}] = source;
                }
            }
        }
    }

    // Where the report differs from the tape, one text per frame and channel, the first few.
    std::vector<std::string> differences(const std::vector<decksim::Report::Segment>& segments,
                                         std::size_t most = 12) const
    {
        std::map<std::pair<int, int>, Source> reported;
        for (const auto& segment : segments) {
            for (int frame = segment.recFirst; frame <= segment.recLast; ++frame) {
                for (int channel = 0; channel < 3; ++channel) {
                    if (segment.channels & (1u << channel))
                        reported[{frame, channel}] = {segment.reel, segment.srcFirst + (frame - segment.recFirst)};
                }
            }
        }
        std::vector<std::string> found;
        const auto note = [&](const std::string& text) {
            if (found.size() < most)
                found.push_back(text);
        };
        for (const auto& [at, expected] : frames_) {
            const auto got = reported.find(at);
            if (got == reported.end())
                note(where(at) + " blank, the list says " + text(expected));
            else if (!(expected.frame == anyFrame || got->second == expected))
                note(where(at) + " holds " + text(got->second) + ", the list says " + text(expected));
        }
        for (const auto& [at, got] : reported) {
            if (frames_.count(at) == 0)
                note(where(at) + " holds " + text(got) + ", the list says blank");
        }
        return found;
    }

private:
    static std::vector<int> channelsOf(const Channels& channels, bool assemble)
    {
        std::vector<int> found;
        if (assemble || channels.video)
            found.push_back(0);
        if (assemble || channels.audio1)
            found.push_back(1);
        if (assemble || channels.audio2)
            found.push_back(2);
        return found;
    }
    static std::string where(const std::pair<int, int>& at)
    {
        static const char* const names[] = {"V", "A1", "A2"};
        return "frame " + std::to_string(at.first) + " " + names[at.second];
    }
    static std::string text(const Source& source)
    {
        return source.frame == anyFrame ? "the recorder's input" : source.reel + ":" + std::to_string(source.frame);
    }

    std::map<std::pair<int, int>, Source> frames_;
};

}  // namespace assemblytest
