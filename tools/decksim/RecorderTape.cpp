#include "tools/decksim/RecorderTape.h"

#include "tools/decksim/TimeCode.h"

#include <algorithm>

namespace decksim {

RecorderTape::RecorderTape() : frames_(TimeCode::longestTapeFrames(), {blank, blank, blank}) {}

void RecorderTape::record(int frame, ChannelSet channels, int sourceFrame)
{
    if (frame < 0 || frame >= static_cast<int>(frames_.size()) || channels == 0) {
        return;
    }
    auto& sources = frames_[frame];
    for (Channel channel : channelOrder) {
        if (channels & channelBit(channel)) {
            sources[static_cast<int>(channel)] = sourceFrame;
        }
    }
    touched_ = touched_ ? Range{std::min(touched_->first, frame), std::max(touched_->last, frame)} : Range{frame, frame};
    ++version_;
}

int RecorderTape::source(int frame, Channel channel) const
{
    if (frame < 0 || frame >= static_cast<int>(frames_.size())) {
        return blank;
    }
    return frames_[frame][static_cast<int>(channel)];
}

std::optional<RecorderTape::Range> RecorderTape::touched() const { return touched_; }

}  // namespace decksim
