#pragma once

#include "tools/decksim/Channels.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace decksim {

// What is on the recorder's tape: for each recorder frame and each channel (V, A1, A2),
// the player frame that was recorded onto it, or nothing.
class RecorderTape {
public:
    static constexpr int blank = -1;

    struct Range {
        int first;
        int last;
    };

    RecorderTape();

    // Records sourceFrame (blank for no signal) onto the given channels of frame.
    void record(int frame, ChannelSet channels, int sourceFrame);
    int source(int frame, Channel channel) const;
    // Frames ever recorded lie within this range.
    std::optional<Range> touched() const;
    // Counts every change, so that writers of the report know when to write again.
    std::uint64_t version() const { return version_; }

private:
    std::vector<std::array<std::int32_t, 3>> frames_;
    std::optional<Range> touched_;
    std::uint64_t version_ = 0;
};

}  // namespace decksim
