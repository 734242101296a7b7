#include "tools/decksim/DeckPair.h"

#include "tools/decksim/ReelNames.h"

#include <algorithm>

namespace decksim {

namespace {

DeckSettings playerSettings(const Options& options, int reels)
{
    DeckSettings settings{options.seekSpeed, options.playerLockFrames.value_or(options.lockFrames), options.editDelayFrames,
                          options.playerStartFrame, options.timeBase};
    settings.lockRamp = options.lockRamp;
    settings.cassetteIn = !options.playerNoTape;
    settings.reels = reels;
    return settings;
}

DeckSettings recorderSettings(const Options& options)
{
    DeckSettings settings{options.seekSpeed, options.recorderLockFrames.value_or(options.lockFrames),
                          options.editDelayFrames, options.recorderStartFrame, options.timeBase};
    settings.lockRamp = options.lockRamp;
    settings.cassetteIn = !options.recorderNoTape;
    settings.recordInhibit = options.recordInhibit;
    return settings;
}

std::int64_t floorDiv(std::int64_t value, std::int64_t divisor)
{
    const std::int64_t quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

}  // namespace

DeckPair::DeckPair(const Options& options, const Clock& clock)
    : clock_(clock),
      time_(clock.nowMicros()),
      reelNames_(ReelNames::of(options.playerReels)),
      player_(playerSettings(options, static_cast<int>(reelNames_.size())), time_),
      recorder_(recorderSettings(options), time_)
{
    player_.setLocal(options.playerLocal);
    recorder_.setLocal(options.recorderLocal);
}

std::optional<int> DeckPair::reelIndex(const std::string& name) const
{
    const auto found = std::find(reelNames_.begin(), reelNames_.end(), name);
    if (found == reelNames_.end()) {
        return std::nullopt;
    }
    return static_cast<int>(found - reelNames_.begin());
}

std::int64_t DeckPair::nextEventTime() const { return std::min(player_.nextEventTime(), recorder_.nextEventTime()); }

std::int64_t DeckPair::advanceTo(std::int64_t time)
{
    for (std::int64_t event = nextEventTime(); event <= time; event = nextEventTime()) {
        recordSpan(time_, event);
        time_ = std::max(time_, event);
        player_.runEventsUntil(time_);
        recorder_.runEventsUntil(time_);
    }
    recordSpan(time_, time);
    time_ = std::max(time_, time);
    player_.runEventsUntil(time_);
    recorder_.runEventsUntil(time_);
    return time_;
}

std::int64_t DeckPair::advanceToNow() { return advanceTo(now()); }

void DeckPair::recordSpan(std::int64_t from, std::int64_t to)
{
    const ChannelSet channels = recorder_.recordingChannels();
    if (from >= to || channels == 0 || !recorder_.rollingAtPlaySpeed()) {
        return;
    }
    // Frame r begins at the first microsecond at which the recorder's position reaches it.
    const TapeMotion& motion = recorder_.motion();
    const std::int64_t first = floorDiv(motion.positionAt(from - 1), TapeMotion::ticksPerFrame) + 1;
    const std::int64_t last = floorDiv(motion.positionAt(to - 1), TapeMotion::ticksPerFrame);
    for (std::int64_t frame = first; frame <= last; ++frame) {
        const auto begins = motion.timeReaching(frame * TapeMotion::ticksPerFrame);
        tape_.record(static_cast<int>(frame), channels, {player_.reel(), player_.outputFrameAt(begins.value_or(from))});
    }
}

}  // namespace decksim
