#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace decksim {

// Time code of the virtual tape: whole frames at exactly 30 frames per second, non-drop,
// from 00:00:00:00 (frame 0) to 02:00:00:00 (the end of the tape).
class TimeCode {
public:
    static constexpr int framesPerSecond = 30;
    static constexpr int tapeEndFrame = 2 * 60 * 60 * framesPerSecond;

    // "HH:MM:SS:FF".
    static std::string format(int frames);
    // Strict "HH:MM:SS:FF" with valid fields, at most the end of the tape.
    static std::optional<int> parse(std::string_view text);

    // Four time data bytes, frames first, two BCD digits each; flag bits 0.
    static std::array<std::uint8_t, 4> toBcd(int frames);
    // Reads four time data bytes, frames first. The frames byte's colour-frame and
    // drop-frame flags and the hours byte's top bits are masked off; each byte counts as
    // tens x 10 + units, the way deck firmware reads it.
    static int fromBcd(const std::uint8_t* timeData);
};

}  // namespace decksim
