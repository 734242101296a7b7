#include "tools/decksim/Deck.h"

#include "tools/decksim/TimeCode.h"

#include <algorithm>
#include <cmath>

namespace decksim {

namespace {

constexpr std::int64_t ticksPerFrame = TapeMotion::ticksPerFrame;

std::int64_t floorDiv(std::int64_t value, std::int64_t divisor)
{
    const std::int64_t quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

}  // namespace

Deck::Deck(const DeckSettings& settings, std::int64_t now)
    : settings_(settings),
      tapeEndFrame_(TimeCode::tapeEndFrame(settings.timeBase)),
      motion_(now, static_cast<std::int64_t>(clampToTape(settings.startFrame)) * ticksPerFrame,
              settings.timeBase.framesPerSecond()),
      now_(now),
      prerollFrames_(defaultPrerollSeconds * settings.timeBase.labelsPerSecond())
{
    cassette_ = settings.cassetteIn ? Cassette::Loaded : Cassette::Out;
    reelTicks_.assign(static_cast<std::size_t>(std::max(settings.reels, 1)), motion_.positionAt(now));
}

double Deck::speedFromByte(std::uint8_t speedByte)
{
    if (speedByte == 0) {
        return 0.0;
    }
    return std::min(topShuttleSpeed, std::pow(10.0, speedByte / 32.0 - 2.0));
}

// Transport commands ---------------------------------------------------------------------

void Deck::stop(std::int64_t now)
{
    if (!hasTape()) {
        return;
    }
    cancelSequence(now);
    endRecording(now);
    parkAt(now, motion_.positionAt(now), Mode::Stop);
}

void Deck::play(std::int64_t now)
{
    if (!hasTape()) {
        return;
    }
    cancelSequence(now);
    if (mode_ == Mode::Var) {
        // The servo is already running near play speed: the tape takes play speed at once,
        // so a controller that nudged the deck into step does not lose the step again.
        mode_ = Mode::Play;
        locked_ = true;
        motion_.setSpeed(now, 1.0);
        runEventsUntil(now);
        return;
    }
    if (mode_ == Mode::Play) {
        // Already rolling: Play only ends a crash record; the tape keeps its lock.
        const bool wasRecording = recording();
        recordAll_ = false;
        noteRecording(now, wasRecording);
        return;
    }
    endRecording(now);
    startPlay(now);
    runEventsUntil(now);
}

void Deck::record(std::int64_t now)
{
    if (!hasTape()) {
        return;
    }
    // The write-protect stops the heads recording, not the transport rolling.
    if (settings_.recordInhibit) {
        play(now);
        return;
    }
    cancelSequence(now);
    if (mode_ != Mode::Play) {
        endRecording(now);
        startPlay(now);
    }
    const bool wasRecording = recording();
    recordAll_ = true;
    noteRecording(now, wasRecording);
    runEventsUntil(now);
}

void Deck::setStandby(std::int64_t now, bool on)
{
    if (!hasTape()) {
        return;
    }
    // The tension is released only from stop.
    if (on || mode_ == Mode::Stop) {
        standbyOn_ = on;
    }
    runEventsUntil(now);
}

void Deck::eject(std::int64_t now)
{
    if (!hasTape()) {
        return;
    }
    stop(now);
    cueUpComplete_ = false;
    cassette_ = Cassette::Ejecting;
    ejectDoneAt_ = now + ejectMicros;
}

void Deck::fastForward(std::int64_t now) { enterMotion(now, Mode::FastForward, windSpeed); }

void Deck::rewind(std::int64_t now) { enterMotion(now, Mode::Rewind, -windSpeed); }

void Deck::jog(std::int64_t now, bool reverse, std::uint8_t speedByte)
{
    const double speed = speedFromByte(speedByte);
    enterMotion(now, Mode::Jog, reverse ? -speed : speed);
}

void Deck::shuttle(std::int64_t now, bool reverse, std::uint8_t speedByte)
{
    const double speed = speedFromByte(speedByte);
    enterMotion(now, Mode::Shuttle, reverse ? -speed : speed);
}

void Deck::varispeed(std::int64_t now, bool reverse, std::uint8_t speedByte)
{
    const double speed = speedFromByte(speedByte);
    enterMotion(now, Mode::Var, reverse ? -speed : speed);
}

void Deck::cueUp(std::int64_t now, int frame)
{
    if (!hasTape()) {
        return;
    }
    startSearch(now, clampToTape(frame), Sequence{});
}

void Deck::preroll(std::int64_t now)
{
    if (!hasTape() || !inPoint_) {
        return;
    }
    Sequence sequence;
    sequence.kind = SequenceKind::Preroll;
    startSearch(now, clampToTape(*inPoint_ - prerollFrames_), sequence);
}

void Deck::preview(std::int64_t now)
{
    if (inPoint_ && outPoint_) {
        startSequence(now, SequenceKind::Preview, *inPoint_, *outPoint_);
    }
}

void Deck::review(std::int64_t now)
{
    if (lastEdit_) {
        startSequence(now, SequenceKind::Review, lastEdit_->in, lastEdit_->out);
    }
}

void Deck::autoEdit(std::int64_t now)
{
    if (inPoint_ && outPoint_) {
        startSequence(now, SequenceKind::AutoEdit, *inPoint_, *outPoint_);
    }
}

void Deck::editOn(std::int64_t now)
{
    if (!hasTape() || mode_ != Mode::Play || settings_.recordInhibit) {
        return;
    }
    pendingEdits_.push_back({now + framesToMicros(settings_.editDelayFrames), true, channelsFromPreset(editPreset_)});
    runEventsUntil(now);
}

void Deck::editOff(std::int64_t now)
{
    if (!hasTape() || mode_ != Mode::Play) {
        return;
    }
    pendingEdits_.push_back({now + framesToMicros(settings_.editDelayFrames), false, 0});
    runEventsUntil(now);
}

void Deck::powerCycle(std::int64_t now)
{
    Deck switchedOn(settings_, now);
    switchedOn.motion_.placeAt(now, motion_.positionAt(now));
    // A cassette half out when the power went stays out.
    switchedOn.cassette_ = hasTape() ? Cassette::Loaded : Cassette::Out;
    switchedOn.heldTimeCodeFrame_ = timeCodeFrameAt(now);
    switchedOn.local_ = local_;
    switchedOn.noCue_ = noCue_;
    switchedOn.reel_ = reel_;
    switchedOn.reelTicks_ = reelTicks_;
    *this = std::move(switchedOn);
}

void Deck::mount(std::int64_t now, int reel)
{
    if (reel < 0 || reel >= static_cast<int>(reelTicks_.size())) {
        return;
    }
    cancelSequence(now);
    endRecording(now);
    reelTicks_[static_cast<std::size_t>(reel_)] = motion_.positionAt(now);
    reel_ = reel;
    cassette_ = Cassette::Loaded;
    parkAt(now, reelTicks_[static_cast<std::size_t>(reel)], Mode::Stop);
    standbyOn_ = true;
    cueUpComplete_ = false;
}

// Building blocks ------------------------------------------------------------------------

void Deck::enterMotion(std::int64_t now, Mode mode, double speed)
{
    if (!hasTape()) {
        return;
    }
    cancelSequence(now);
    endRecording(now);
    mode_ = mode;
    standbyOn_ = true;
    motion_.setSpeed(now, speed);
    if (speed != 0.0) {
        cueUpComplete_ = false;
    }
    runEventsUntil(now);
}

void Deck::startPlay(std::int64_t now)
{
    mode_ = Mode::Play;
    standbyOn_ = true;
    cueUpComplete_ = false;
    locked_ = false;
    lockAt_ = now + framesToMicros(settings_.lockFrames);
    rampStart_ = now;
    rampStep_ = 0;
    motion_.setSpeed(now, rampSpeed(0));
}

double Deck::rampSpeed(int step) const
{
    if (!ramping()) {
        return 0.0;
    }
    // One step a frame, each at the speed of the middle of that frame on a straight ramp:
    // by the lock the tape has moved half the lock frames, as on the ramp itself.
    return (step + 0.5) / settings_.lockFrames;
}

void Deck::startSearch(std::int64_t now, int target, Sequence sequence)
{
    cancelSequence(now);
    endRecording(now);
    sequence_ = sequence;
    sequence_.phase = Phase::Cueing;
    mode_ = Mode::Search;
    standbyOn_ = true;
    cueUpComplete_ = false;
    searchTarget_ = target;
    const std::int64_t position = motion_.positionAt(now);
    const std::int64_t targetTicks = static_cast<std::int64_t>(target) * ticksPerFrame;
    const double speed = targetTicks > position ? settings_.seekSpeed : targetTicks < position ? -settings_.seekSpeed : 0.0;
    motion_.setSpeed(now, speed);
    runEventsUntil(now);
}

void Deck::startSequence(std::int64_t now, SequenceKind kind, int in, int out)
{
    if (!hasTape() || out <= in) {
        return;
    }
    Sequence sequence;
    sequence.kind = kind;
    sequence.in = in;
    sequence.out = out;
    const bool records = kind == SequenceKind::AutoEdit && !settings_.recordInhibit;
    sequence.channels = records ? channelsFromPreset(editPreset_) : 0;
    startSearch(now, clampToTape(in - prerollFrames_), sequence);
}

void Deck::endRecording(std::int64_t now)
{
    const bool wasRecording = recording();
    recordAll_ = false;
    editEngaged_ = false;
    editChannels_ = 0;
    pendingEdits_.clear();
    sequenceChannels_ = 0;
    noteRecording(now, wasRecording);
}

void Deck::cancelSequence(std::int64_t now)
{
    const bool wasRecording = recording();
    sequence_ = Sequence{};
    sequenceChannels_ = 0;
    selectEE_ = false;
    noteRecording(now, wasRecording);
}

void Deck::parkAt(std::int64_t now, std::int64_t ticks, Mode mode)
{
    motion_.placeAt(now, ticks);
    mode_ = mode;
    locked_ = false;
}

void Deck::noteRecording(std::int64_t now, bool wasRecording)
{
    const bool isRecording = recording();
    if (!wasRecording && isRecording) {
        recordStart_ = nextFrameBoundary(now);
    } else if (wasRecording && !isRecording) {
        const int end = nextFrameBoundary(now);
        if (end > recordStart_) {
            lastEdit_ = EditRange{recordStart_, end};
        }
    }
}

int Deck::nextFrameBoundary(std::int64_t now) const
{
    return static_cast<int>(-floorDiv(-motion_.positionAt(now), ticksPerFrame));
}

int Deck::clampToTape(int frame) const { return std::clamp(frame, 0, tapeEndFrame_); }

std::int64_t Deck::tapeEndTicks() const { return static_cast<std::int64_t>(tapeEndFrame_) * ticksPerFrame; }

// Events ---------------------------------------------------------------------------------

void Deck::consider(std::optional<Event>& earliest, std::optional<std::int64_t> time, EventKind kind) const
{
    if (!time) {
        return;
    }
    const std::int64_t when = std::max(*time, now_);
    if (!earliest || when < earliest->time) {
        earliest = Event{when, kind};
    }
}

std::optional<Deck::Event> Deck::nextEvent() const
{
    std::optional<Event> earliest;
    if (cassette_ == Cassette::Ejecting) {
        consider(earliest, ejectDoneAt_, EventKind::EjectDone);
    }
    if (mode_ == Mode::Play && !locked_) {
        consider(earliest, lockAt_, EventKind::LockEnd);
        if (ramping() && rampStep_ + 1 < settings_.lockFrames) {
            consider(earliest, rampStart_ + framesToMicros(rampStep_ + 1), EventKind::RampStep);
        }
    }
    if (mode_ == Mode::Search) {
        consider(earliest, motion_.timeReaching(static_cast<std::int64_t>(searchTarget_) * ticksPerFrame), EventKind::SearchArrival);
    } else if (!motion_.standsStill()) {
        consider(earliest, motion_.timeReaching(motion_.speed() > 0 ? tapeEndTicks() : 0), EventKind::TapeEnd);
    }
    if (!pendingEdits_.empty()) {
        consider(earliest, pendingEdits_.front().time, EventKind::EditChange);
    }
    if (rollingAtPlaySpeed() && sequence_.kind != SequenceKind::None) {
        const auto ticks = [](int frame) { return static_cast<std::int64_t>(frame) * ticksPerFrame; };
        if (sequence_.phase == Phase::Rolling && !sequence_.passedIn) {
            consider(earliest, motion_.timeReaching(ticks(sequence_.in)), EventKind::SequenceIn);
        } else if (sequence_.phase == Phase::Rolling) {
            consider(earliest, motion_.timeReaching(ticks(sequence_.out)), EventKind::SequenceOut);
        } else if (sequence_.phase == Phase::Postroll) {
            consider(earliest, motion_.timeReaching(ticks(sequence_.out + postrollFrames)), EventKind::PostrollEnd);
        }
    }
    return earliest;
}

std::int64_t Deck::nextEventTime() const
{
    const auto event = nextEvent();
    return event ? event->time : noEvent;
}

void Deck::runEventsUntil(std::int64_t time)
{
    for (auto event = nextEvent(); event && event->time <= time; event = nextEvent()) {
        now_ = event->time;
        apply(*event);
    }
    now_ = std::max(now_, time);
}

void Deck::apply(const Event& event)
{
    const std::int64_t now = event.time;
    switch (event.kind) {
    case EventKind::EjectDone:
        heldTimeCodeFrame_ = positionFrameAt(now);
        cassette_ = Cassette::Out;
        break;
    case EventKind::RampStep:
        ++rampStep_;
        motion_.setSpeed(now, rampSpeed(rampStep_));
        break;
    case EventKind::LockEnd:
        locked_ = true;
        motion_.setSpeed(now, 1.0);
        break;
    case EventKind::SearchArrival:
        arriveAtSearchTarget(now);
        break;
    case EventKind::TapeEnd:
        cancelSequence(now);
        endRecording(now);
        parkAt(now, motion_.speed() > 0 ? tapeEndTicks() : 0, Mode::Stop);
        break;
    case EventKind::EditChange: {
        const bool wasRecording = recording();
        editEngaged_ = pendingEdits_.front().on;
        editChannels_ = pendingEdits_.front().channels;
        pendingEdits_.pop_front();
        noteRecording(now, wasRecording);
        break;
    }
    case EventKind::SequenceIn: {
        const bool wasRecording = recording();
        sequence_.passedIn = true;
        selectEE_ = sequence_.kind == SequenceKind::Preview;
        sequenceChannels_ = sequence_.kind == SequenceKind::AutoEdit ? sequence_.channels : 0;
        noteRecording(now, wasRecording);
        break;
    }
    case EventKind::SequenceOut: {
        const bool wasRecording = recording();
        sequence_.phase = Phase::Postroll;
        selectEE_ = false;
        sequenceChannels_ = 0;
        noteRecording(now, wasRecording);
        if (sequence_.kind == SequenceKind::AutoEdit && sequence_.channels != 0) {
            lastEdit_ = EditRange{sequence_.in, sequence_.out};
        }
        break;
    }
    case EventKind::PostrollEnd:
        cancelSequence(now);
        endRecording(now);
        parkAt(now, motion_.positionAt(now), Mode::Stop);
        break;
    }
}

void Deck::arriveAtSearchTarget(std::int64_t now)
{
    parkAt(now, static_cast<std::int64_t>(searchTarget_) * ticksPerFrame, Mode::Still);
    cueUpComplete_ = true;
    switch (sequence_.kind) {
    case SequenceKind::Preview:
    case SequenceKind::Review:
    case SequenceKind::AutoEdit:
        sequence_.phase = Phase::Rolling;
        startPlay(now);
        break;
    case SequenceKind::Preroll:
    case SequenceKind::None:
        sequence_ = Sequence{};
        break;
    }
}

// Inspection -----------------------------------------------------------------------------

int Deck::positionFrameAt(std::int64_t time) const
{
    return static_cast<int>(floorDiv(motion_.positionAt(time), ticksPerFrame));
}

int Deck::timeCodeFrameAt(std::int64_t time) const
{
    return cassette_ == Cassette::Out ? heldTimeCodeFrame_ : positionFrameAt(time);
}

int Deck::outputFrameAt(std::int64_t time) const
{
    if (!hasTape()) {
        return -1;
    }
    return std::clamp(positionFrameAt(time), 0, tapeEndFrame_ - 1);
}

ChannelSet Deck::recordingChannels() const
{
    if (recordAll_) {
        return allChannels;
    }
    return static_cast<ChannelSet>((editEngaged_ ? editChannels_ : 0) | sequenceChannels_);
}

StatusBits Deck::statusAt(std::int64_t time) const
{
    StatusBits status;
    status.set(StatusBits::inSet, inPoint_.has_value());
    status.set(StatusBits::outSet, outPoint_.has_value());
    status.setByte(StatusBits::editPresetByte, editPreset_);
    status.set(StatusBits::fullEE, fullEE_);
    status.set(StatusBits::local, local_);
    if (cassette_ == Cassette::Out) {
        status.set(StatusBits::cassetteOut);
        return status;
    }
    status.set(StatusBits::eject, cassette_ == Cassette::Ejecting);
    status.set(StatusBits::recordInhibit, settings_.recordInhibit);

    const double speed = motion_.speed();
    status.set(StatusBits::stop, mode_ == Mode::Stop);
    status.set(StatusBits::standby, mode_ == Mode::Stop && standbyOn_ && hasTape());
    status.set(StatusBits::tensionRelease, mode_ == Mode::Stop && !standbyOn_);
    status.set(StatusBits::play, mode_ == Mode::Play);
    status.set(StatusBits::servoLock, rollingAtPlaySpeed());
    status.set(StatusBits::record, recording());
    status.set(StatusBits::edit, editEngaged_ || sequenceChannels_ != 0);
    status.set(StatusBits::fastForward, mode_ == Mode::FastForward);
    status.set(StatusBits::rewind, mode_ == Mode::Rewind);
    status.set(StatusBits::jog, mode_ == Mode::Jog);
    status.set(StatusBits::shuttle, mode_ == Mode::Shuttle);
    status.set(StatusBits::var, mode_ == Mode::Var);
    status.set(StatusBits::reverse, speed < 0);
    status.set(StatusBits::still, speed == 0.0 && mode_ != Mode::Play && mode_ != Mode::Search);
    status.set(StatusBits::cueUpComplete, cueUpComplete_ && !noCue_);
    status.set(StatusBits::cueing, mode_ == Mode::Search);
    status.set(StatusBits::preview, sequence_.kind == SequenceKind::Preview);
    status.set(StatusBits::review, sequence_.kind == SequenceKind::Review);
    status.set(StatusBits::autoEdit, sequence_.kind == SequenceKind::AutoEdit);
    status.set(StatusBits::selectEE, selectEE_);
    status.set(StatusBits::lampStill, speed == 0.0);
    status.set(StatusBits::lampForward, speed > 0);
    status.set(StatusBits::lampReverse, speed < 0);

    const int frame = positionFrameAt(time);
    status.set(StatusBits::betweenInAndOut, inPoint_ && outPoint_ && frame >= *inPoint_ && frame < *outPoint_);
    status.set(StatusBits::endOfTape, frame >= tapeEndFrame_);
    return status;
}

}  // namespace decksim
