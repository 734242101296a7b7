#pragma once

#include "tools/decksim/Channels.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace decksim {

// What is on the recorder's tape: for each recorder frame and each channel (V, A1, A2),
// the player's frame that was recorded onto it, and from which of the player's reels, or
// nothing.
class RecorderTape {
public:
    static constexpr int blank = -1;

    // A frame of one of the player's reels (an index into its reels), or blank: no signal.
    struct Source {
        int reel = 0;
        int frame = blank;
        bool isBlank() const { return frame == blank; }
        bool operator==(const Source&) const = default;
        auto operator<=>(const Source&) const = default;
    };

    struct Range {
        int first;
        int last;
    };

    RecorderTape();

    // Records source onto the given channels of frame; a blank source erases them.
    void record(int frame, ChannelSet channels, Source source);
    Source source(int frame, Channel channel) const;
    // Frames ever recorded lie within this range.
    std::optional<Range> touched() const;
    // Counts every change, so that writers of the report know when to write again.
    std::uint64_t version() const { return version_; }

private:
    // A source in one number, reel x (frames on the longest tape + 1) + frame, so that a
    // whole tape of three channels takes 2.6 MB; blank is -1.
    using Packed = std::int32_t;
    static Packed pack(Source source);
    static Source unpack(Packed packed);

    std::vector<std::array<Packed, 3>> frames_;
    std::optional<Range> touched_;
    std::uint64_t version_ = 0;
};

}  // namespace decksim
