#pragma once

#include <cstdint>
#include <string>

namespace decksim {

// The recorder's three recordable channels as a bit set.
using ChannelSet = std::uint8_t;

enum class Channel { V, A1, A2 };

constexpr ChannelSet channelBit(Channel channel) { return static_cast<ChannelSet>(1u << static_cast<unsigned>(channel)); }
constexpr ChannelSet allChannels = 0x07;
constexpr Channel channelOrder[] = {Channel::V, Channel::A1, Channel::A2};

// The channels an edit preset byte selects: assemble (0x20) records all three, insert
// (0x40) only those of video 0x10, audio 1 0x01 and audio 2 0x02.
ChannelSet channelsFromPreset(std::uint8_t preset);

// "V,A1,A2" in that order, for the channels present.
std::string channelNames(ChannelSet channels);

}  // namespace decksim
