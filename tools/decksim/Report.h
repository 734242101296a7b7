#pragma once

#include "tools/decksim/Channels.h"
#include "tools/decksim/RecorderTape.h"
#include "tools/decksim/TimeBase.h"

#include <string>
#include <vector>

namespace decksim {

// The recorder's tape as text: one line per maximal run of recorder frames that carry the
// same channel set from player frames that follow each other:
//   segment channels=V,A1,A2 rec=HH:MM:SS:FF-HH:MM:SS:FF src=HH:MM:SS:FF-HH:MM:SS:FF
// (first and last frame, both inclusive, as labels of the time base). A frame whose channels came from different
// player frames belongs to one segment per source.
class Report {
public:
    struct Segment {
        ChannelSet channels;
        int recFirst;
        int recLast;
        int srcFirst;
        int srcLast;
        bool operator==(const Segment&) const = default;
    };

    static std::vector<Segment> segments(const RecorderTape& tape);
    static std::string line(const Segment& segment, TimeBase base = TimeBase::fps30);
    static std::vector<std::string> lines(const RecorderTape& tape, TimeBase base = TimeBase::fps30);
};

}  // namespace decksim
