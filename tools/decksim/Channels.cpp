#include "tools/decksim/Channels.h"

namespace decksim {

ChannelSet channelsFromPreset(std::uint8_t preset)
{
    if (preset & 0x20) {
        return allChannels;
    }
    if (!(preset & 0x40)) {
        return 0;
    }
    ChannelSet channels = 0;
    if (preset & 0x10) {
        channels |= channelBit(Channel::V);
    }
    if (preset & 0x01) {
        channels |= channelBit(Channel::A1);
    }
    if (preset & 0x02) {
        channels |= channelBit(Channel::A2);
    }
    return channels;
}

std::string channelNames(ChannelSet channels)
{
    static constexpr const char* names[] = {"V", "A1", "A2"};
    std::string text;
    for (Channel channel : channelOrder) {
        if (channels & channelBit(channel)) {
            if (!text.empty()) {
                text += ',';
            }
            text += names[static_cast<int>(channel)];
        }
    }
    return text;
}

}  // namespace decksim
