#include "eventlist/Channels.h"

#include "eventlist/PlainText.h"

#include <array>
#include <cctype>

namespace {

constexpr std::uint8_t videoBit = 0x10;
constexpr std::uint8_t audio1Bit = 0x01;
constexpr std::uint8_t audio2Bit = 0x02;

// The field of each combination of video, audio 1 and audio 2, by insert bits without video
// in the low two and video in the third: index = audio1 + 2 * audio2 + 4 * video.
constexpr std::array<const char*, 8> fields{"NONE", "A", "A2", "AA", "V", "B", "A2/V", "AA/V"};

int indexOf(const Channels& c)
{
    return (c.audio1 ? 1 : 0) + (c.audio2 ? 2 : 0) + (c.video ? 4 : 0);
}

} // namespace

std::string Channels::fieldText() const
{
    return fields[static_cast<std::size_t>(indexOf(*this))];
}

std::optional<Channels> Channels::fromField(std::string_view field)
{
    const std::string upper = PlainText::upper(field);
    for (std::size_t index = 0; index < fields.size(); ++index) {
        if (upper == fields[index]) {
            Channels channels;
            channels.audio1 = (index & 1) != 0;
            channels.audio2 = (index & 2) != 0;
            channels.video = (index & 4) != 0;
            return channels;
        }
    }
    return std::nullopt;
}

std::string Channels::audioLineText() const
{
    if (audio3 && audio4)
        return "AUD 3 4";
    if (audio3)
        return "AUD 3";
    if (audio4)
        return "AUD 4";
    return {};
}

std::uint8_t Channels::insertBits() const
{
    return static_cast<std::uint8_t>((video ? videoBit : 0) | (audio1 ? audio1Bit : 0) | (audio2 ? audio2Bit : 0));
}

Channels Channels::fromInsertBits(std::uint8_t bits)
{
    Channels channels;
    channels.video = (bits & videoBit) != 0;
    channels.audio1 = (bits & audio1Bit) != 0;
    channels.audio2 = (bits & audio2Bit) != 0;
    return channels;
}
