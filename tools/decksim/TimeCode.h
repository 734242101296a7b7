#pragma once

#include "tools/decksim/TimeBase.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace decksim {

// Time code of the virtual tape: frames are counted from 0 at 00:00:00:00, and each frame
// carries the label its time base gives it. The tape ends at the label 02:00:00:00.
class TimeCode {
public:
    // The frame that carries the label 02:00:00:00.
    static int tapeEndFrame(TimeBase base = TimeBase::fps30);
    // The most frames any time base puts on a tape.
    static int longestTapeFrames();

    // "HH:MM:SS:FF", the label of that frame.
    static std::string format(int frame, TimeBase base = TimeBase::fps30);
    // Strict "HH:MM:SS:FF": valid fields, a label the base uses, at most the end of the tape.
    static std::optional<int> parse(std::string_view text, TimeBase base = TimeBase::fps30);

    // Four time data bytes of the frame's label, frames first, two BCD digits each; the
    // drop-frame flag is set for a drop-frame base, other flag bits are 0.
    static std::array<std::uint8_t, 4> toBcd(int frame, TimeBase base = TimeBase::fps30);
    // The frame whose label four time data bytes give, frames first. The frames byte's
    // colour-frame and drop-frame flags and the hours byte's top bits are masked off; each
    // byte counts as tens x 10 + units, the way deck firmware reads it.
    static int fromBcd(const std::uint8_t* timeData, TimeBase base = TimeBase::fps30);
};

}  // namespace decksim
