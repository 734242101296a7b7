#include "tools/decksim/TimeCode.h"

#include <cstdio>

namespace decksim {

namespace {

constexpr int framesPerMinute = 60 * TimeCode::framesPerSecond;
constexpr int framesPerHour = 60 * framesPerMinute;

std::uint8_t bcdByte(int value) { return static_cast<std::uint8_t>((value / 10) << 4 | (value % 10)); }

int bcdValue(std::uint8_t byte) { return (byte >> 4) * 10 + (byte & 0x0F); }

std::optional<int> twoDigits(std::string_view text, std::size_t at)
{
    const char tens = text[at];
    const char units = text[at + 1];
    if (tens < '0' || tens > '9' || units < '0' || units > '9') {
        return std::nullopt;
    }
    return (tens - '0') * 10 + (units - '0');
}

}  // namespace

std::string TimeCode::format(int frames)
{
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", frames / framesPerHour,
                  frames / framesPerMinute % 60, frames / framesPerSecond % 60,
                  frames % framesPerSecond);
    return text;
}

std::optional<int> TimeCode::parse(std::string_view text)
{
    if (text.size() != 11 || text[2] != ':' || text[5] != ':' || text[8] != ':') {
        return std::nullopt;
    }
    const auto hours = twoDigits(text, 0);
    const auto minutes = twoDigits(text, 3);
    const auto seconds = twoDigits(text, 6);
    const auto frames = twoDigits(text, 9);
    if (!hours || !minutes || !seconds || !frames || *minutes > 59 || *seconds > 59
        || *frames >= framesPerSecond) {
        return std::nullopt;
    }
    const int total = *hours * framesPerHour + *minutes * framesPerMinute
        + *seconds * framesPerSecond + *frames;
    if (total > tapeEndFrame) {
        return std::nullopt;
    }
    return total;
}

std::array<std::uint8_t, 4> TimeCode::toBcd(int frames)
{
    return {bcdByte(frames % framesPerSecond), bcdByte(frames / framesPerSecond % 60),
            bcdByte(frames / framesPerMinute % 60), bcdByte(frames / framesPerHour)};
}

int TimeCode::fromBcd(const std::uint8_t* timeData)
{
    return bcdValue(timeData[0] & 0x3F) + bcdValue(timeData[1]) * framesPerSecond
        + bcdValue(timeData[2]) * framesPerMinute + bcdValue(timeData[3] & 0x3F) * framesPerHour;
}

}  // namespace decksim
