#pragma once

#include "tools/decksim/Channels.h"
#include "tools/decksim/RecorderTape.h"
#include "tools/decksim/TimeBase.h"

#include <string>
#include <vector>

namespace decksim {

// The recorder's tape as text: one line per maximal run of recorder frames that carry the
// same channel set from frames of one player's reel that follow each other:
//   segment channels=V,A1,A2 rec=HH:MM:SS:FF-HH:MM:SS:FF src=HH:MM:SS:FF-HH:MM:SS:FF reel=NAME rec-frames=F-L src-frames=F-L
// (first and last frame, both inclusive, as labels of the time base and as frame numbers
// counted from 00:00:00:00). A frame whose channels came from different player frames
// belongs to one segment per source, so each channel of each frame is in exactly one
// segment or on none (blank).
class Report {
public:
    struct Segment {
        ChannelSet channels;
        int recFirst;
        int recLast;
        int srcFirst;
        int srcLast;
        std::string reel = "";
        bool operator==(const Segment&) const = default;
    };

    // reelNames names the player's reels by their index on the tape.
    static std::vector<Segment> segments(const RecorderTape& tape, const std::vector<std::string>& reelNames);
    static std::string line(const Segment& segment, TimeBase base = TimeBase::fps30);
    static std::vector<std::string> lines(const RecorderTape& tape, const std::vector<std::string>& reelNames,
                                          TimeBase base = TimeBase::fps30);
};

}  // namespace decksim
