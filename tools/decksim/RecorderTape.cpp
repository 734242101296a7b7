#include "tools/decksim/RecorderTape.h"

#include "tools/decksim/TimeCode.h"

#include <algorithm>

namespace decksim {

namespace {

const std::int64_t sourceStride = std::int64_t{TimeCode::longestTapeFrames()} + 1;

}  // namespace

RecorderTape::RecorderTape() : frames_(TimeCode::longestTapeFrames(), {blank, blank, blank}) {}

RecorderTape::Packed RecorderTape::pack(Source source)
{
    return source.isBlank() ? blank : static_cast<Packed>(source.reel * sourceStride + source.frame);
}

RecorderTape::Source RecorderTape::unpack(Packed packed)
{
    if (packed == blank) {
        return {};
    }
    return {static_cast<int>(packed / sourceStride), static_cast<int>(packed % sourceStride)};
}

void RecorderTape::record(int frame, ChannelSet channels, Source source)
{
    if (frame < 0 || frame >= static_cast<int>(frames_.size()) || channels == 0) {
        return;
    }
    auto& sources = frames_[frame];
    for (Channel channel : channelOrder) {
        if (channels & channelBit(channel)) {
            sources[static_cast<int>(channel)] = pack(source);
        }
    }
    touched_ = touched_ ? Range{std::min(touched_->first, frame), std::max(touched_->last, frame)} : Range{frame, frame};
    ++version_;
}

RecorderTape::Source RecorderTape::source(int frame, Channel channel) const
{
    if (frame < 0 || frame >= static_cast<int>(frames_.size())) {
        return {};
    }
    return unpack(frames_[frame][static_cast<int>(channel)]);
}

std::optional<RecorderTape::Range> RecorderTape::touched() const { return touched_; }

}  // namespace decksim
