#include "engine/EditRoll.h"

#include "deck/VCR.h"
#include "engine/EditClock.h"
#include "engine/EditProgress.h"

#include <algorithm>
#include <cmath>

namespace {

// No reading may be under way when a command is due: a round of readings of both decks
// takes at most two waits for a frame boundary and two of the longest exchanges (a reply
// that never comes, with the USB adapter's allowance), plus a margin.
constexpr auto readAhead = std::chrono::milliseconds(2 * 34 + 2 * 45 + 40);
// Far from the next command the decks are read about once a frame, to spare the line.
constexpr auto farAhead = std::chrono::seconds(1);
constexpr auto farReadingPause = std::chrono::milliseconds(30);
// Readings without a time code before a deck counts as one whose time code cannot be followed.
constexpr int unanswered = 20;
// The player must lead the recorder by a fraction of a frame, so that each recorded frame
// takes the player's frame of the same label; a nudge aims at half a frame.
constexpr double leadLow = -0.3;
constexpr double leadHigh = 0.95;
constexpr double leadTarget = 0.5;
// A command for a frame takes effect at the start of the frame after the one it arrives in.
// It is sent a quarter of a frame into the frame before: a thread woken late on a loaded
// machine still has three quarters of a frame, and the position is known far better than a
// quarter of a frame.
constexpr double fireAhead = 0.75;
constexpr double settledSpread = 0.5;
constexpr int maxNudges = 4;
// Frames past the preroll by which a recorder must have been seen rolling.
constexpr int rollTolerance = 30;
// Variable-speed play: 10^(NN/32 - 2) times play speed.
constexpr std::uint8_t fasterSpeed = 0x48;  // about 1.78x
constexpr std::uint8_t slowerSpeed = 0x38;  // about 0.56x

double speedOf(std::uint8_t speedByte)
{
    return std::pow(10.0, speedByte / 32.0 - 2.0);
}

Packet varispeedForward(std::uint8_t speedByte)
{
    return {0x21, 0x12, speedByte, static_cast<std::uint8_t>(0x21 + 0x12 + speedByte)};
}

double msPerFrameOf(const VCR& deck)
{
    // The exact rate: 30000 frames take a whole number of milliseconds on every base.
    constexpr int frames = 30000;
    return static_cast<double>(deck.timeBase().millisOf(frames)) / frames;
}

// The polling threads stay off both links for the roll's lifetime.
class PollingHeld {
public:
    PollingHeld(VCR& player, VCR& recorder) : player_(player), recorder_(recorder)
    {
        player_.holdPolling(true);
        recorder_.holdPolling(true);
    }
    ~PollingHeld()
    {
        player_.holdPolling(false);
        recorder_.holdPolling(false);
    }
    PollingHeld(const PollingHeld&) = delete;
    PollingHeld& operator=(const PollingHeld&) = delete;

private:
    VCR& player_;
    VCR& recorder_;
};

}

EditRoll::EditRoll(VCR& player, VCR& recorder, EditClock& clock, EditProgress& progress, const Plan& plan)
    : player_(player),
      recorder_(recorder),
      clock_(clock),
      progress_(progress),
      plan_(plan),
      playerPosition_(msPerFrameOf(player)),
      recorderPosition_(msPerFrameOf(recorder))
{
}

EditRoll::Ending EditRoll::run()
{
    PollingHeld held(player_, recorder_);
    if (!start())
        return Ending::AbortedBeforeEditOn;
    if (!decksOnline())
        return deckLost();
    progress_.step(EditStep::Roll);
    if (player_.isLanc() || recorder_.isLanc())
        return timedRoll();
    return followedRoll();
}

double EditRoll::msPerFrame() const
{
    return msPerFrameOf(recorder_);
}

EditRoll::Clock::time_point EditRoll::frameTime(Clock::time_point from, double frames) const
{
    return from
        + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(frames * msPerFrame()));
}

bool EditRoll::start()
{
    if (plan_.playerPreroll == plan_.recorderPreroll) {
        const auto [playerReply, recorderReply] = VCR::playTogether(player_, recorder_);
        // A refused play goes again at once; the synchroniser makes up the difference.
        if (!playerReply.answered())
            player_.CommandAcknowledged(VCR::bsplay);
        recorderStarted_ = recorderReply.answered() ? recorderReply.written
                                                    : recorder_.CommandAcknowledged(VCR::bsplay).written;
        return true;
    }
    // The deck with the longer preroll goes first; the other follows when the first is as far
    // from its in point as the other's preroll, the player half a frame early.
    if (plan_.recorderPreroll > plan_.playerPreroll)
        return startStaggered(recorder_, player_, plan_.recorderPreroll, plan_.playerPreroll, -leadTarget);
    return startStaggered(player_, recorder_, plan_.playerPreroll, plan_.recorderPreroll, leadTarget);
}

bool EditRoll::startStaggered(VCR& first, VCR& second, int firstPreroll, int secondPreroll, double lead)
{
    const Reply firstReply = first.CommandAcknowledged(VCR::bsplay);
    first.setmoving(1);
    if (!clock_.waitUntil(frameTime(firstReply.written, firstPreroll - secondPreroll + lead)))
        return false;
    const Reply secondReply = second.CommandAcknowledged(VCR::bsplay);
    second.setmoving(1);
    recorderStarted_ = &first == &recorder_ ? firstReply.written : secondReply.written;
    return true;
}

bool EditRoll::readBoth()
{
    clock_.waitUntil(recorderPosition_.nextReading(Clock::now()));
    const auto recorderReading = recorder_.readTimeCode();
    if (recorderReading)
        recorderPosition_.add(recorderReading->frame, recorderReading->asked);
    if (playerFollowed_) {
        clock_.waitUntil(playerPosition_.nextReading(Clock::now()));
        if (const auto playerReading = player_.readTimeCode())
            playerPosition_.add(playerReading->frame, playerReading->asked);
        else if (++playerMisses_ >= unanswered && !playerPosition_.known())
            playerFollowed_ = false;  // the offset cannot be checked; the start keeps it
    }
    return recorderReading.has_value();
}

EditRoll::Ending EditRoll::followedRoll()
{
    bool synchronised = false;
    int recorderMisses = 0;
    for (;;) {
        if (clock_.aborted())
            return Ending::AbortedBeforeEditOn;
        if (!decksOnline())
            return deckLost();
        if (!readBoth()) {
            if (++recorderMisses >= unanswered && !recorderPosition_.known())
                return timedRoll();
            continue;
        }
        synchronised = synchronised || !playerFollowed_;
        showCountdown(plan_.onTarget - recorderPosition_.lastFrame(), false);
        if (!synchronised && !synchronise(synchronised))
            return syncError();
        if (!recorderPosition_.known()) {
            // A recorder that has not rolled by the time it should be at its in point never
            // started: nothing can be recorded where it was marked.
            if (Clock::now() > frameTime(recorderStarted_, plan_.recorderPreroll + rollTolerance))
                return syncError();
            continue;
        }
        const auto onAt = recorderPosition_.when(plan_.onTarget - fireAhead);
        const auto left = onAt - Clock::now();
        if (left > readAhead) {
            if (left > farAhead + readAhead && !clock_.waitUntil(Clock::now() + farReadingPause))
                return Ending::AbortedBeforeEditOn;
            continue;
        }
        // Too late to start on the in point, or the player is not in step: nothing is recorded.
        if (!synchronised || left < Clock::duration::zero())
            return syncError();
        if (!clock_.waitUntil(onAt))
            return Ending::AbortedBeforeEditOn;
        recorder_.CommandAcknowledged(VCR::bsediton);
        progress_.step(EditStep::EditOn);
        if (!approachEditOff())
            return decksOnline() ? abortWhileRecording() : deckLost();
        return editOff(recorderPosition_.when(plan_.offTarget - fireAhead));
    }
}

bool EditRoll::approachEditOff()
{
    for (;;) {
        if (clock_.aborted() || !decksOnline())
            return false;
        if (readBoth())
            showCountdown(plan_.offTarget - recorderPosition_.lastFrame(), true);
        const auto left = recorderPosition_.when(plan_.offTarget - fireAhead) - Clock::now();
        if (left <= readAhead)
            return true;
        if (left > farAhead + readAhead && !clock_.waitUntil(Clock::now() + farReadingPause))
            return false;
    }
}

bool EditRoll::synchronise(bool& synchronised)
{
    if (!playerPosition_.known() || !recorderPosition_.known() || playerPosition_.spread() > settledSpread
        || recorderPosition_.spread() > settledSpread)
        return true;
    const auto now = Clock::now();
    const double lead = playerPosition_.at(now) - recorderPosition_.at(now) - (plan_.playIn - plan_.recIn);
    if (lead >= leadLow && lead < leadHigh) {
        synchronised = true;
        progress_.step(EditStep::Synchronised);
        return true;
    }
    return nudges_++ < maxNudges && nudge(leadTarget - lead);
}

bool EditRoll::nudge(double gain)
{
    // The player plays faster or slower for as long as it takes to gain the frames, then
    // plays on at play speed. A deck that refuses variable speed cannot be brought into step.
    const std::uint8_t speedByte = gain > 0 ? fasterSpeed : slowerSpeed;
    const double frames = gain / (speedOf(speedByte) - 1.0);
    const Reply reply = player_.CommandB0(varispeedForward(speedByte));
    if (!reply.answered())
        return false;
    if (!clock_.waitUntil(frameTime(reply.written, frames)))
        return true;  // the roll sees the abort next
    player_.CommandB0(VCR::bsplay);
    playerPosition_.clear();
    return true;
}

EditRoll::Ending EditRoll::timedRoll()
{
    // The recorder left its preroll point when its play was written; a deck's servo lock
    // cannot be seen without its time code.
    const auto onAt = frameTime(recorderStarted_, plan_.recorderPreroll + plan_.onTarget - plan_.recIn - fireAhead);
    if (!waitCountingDown(onAt, false))
        return decksOnline() ? Ending::AbortedBeforeEditOn : deckLost();
    const Reply on = recorder_.CommandAcknowledged(VCR::bsediton);
    progress_.step(EditStep::EditOn);
    const auto offAt = frameTime(on.written, plan_.offTarget - plan_.onTarget);
    if (!waitCountingDown(offAt, true))
        return decksOnline() ? abortWhileRecording() : deckLost();
    return editOff(offAt);
}

bool EditRoll::waitCountingDown(Clock::time_point moment, bool recording)
{
    constexpr auto step = std::chrono::milliseconds(100);
    for (auto now = Clock::now(); moment - now > step; now = Clock::now()) {
        if (!decksOnline())
            return false;
        const double left = std::chrono::duration<double, std::milli>(moment - now).count() / msPerFrame();
        showCountdown(static_cast<int>(left), recording);
        if (!clock_.waitUntil(now + step))
            return false;
    }
    return clock_.waitUntil(moment);
}

EditRoll::Ending EditRoll::editOff(Clock::time_point at)
{
    if (!clock_.waitUntil(at))
        return abortWhileRecording();
    const Reply off = recorder_.CommandAcknowledged(VCR::bseditoff);
    progress_.step(EditStep::EditOff);
    // The recorder leaves record its edit delay after edit off; it is stopped only once that
    // has happened, abort or not.
    clock_.waitUntil(frameTime(off.written, plan_.settleFrames));
    stopBoth();
    return Ending::Recorded;
}

EditRoll::Ending EditRoll::abortWhileRecording()
{
    // Whatever else happens, the recorder leaves record now.
    recorder_.CommandAcknowledged(VCR::bseditoff);
    progress_.step(EditStep::EditOff);
    recorder_.CommandAcknowledged(VCR::bsstop);
    return Ending::AbortedWhileRecording;
}

bool EditRoll::decksOnline() const
{
    return player_.online() && recorder_.online();
}

EditRoll::Ending EditRoll::deckLost()
{
    // A deck whose port failed takes nothing; the one still there is made safe: the
    // recorder leaves record and stops, the player stops.
    if (player_.online())
        player_.CommandAcknowledged(VCR::bsstop);
    if (recorder_.online())
        return abortWhileRecording();
    return Ending::AbortedWhileRecording;
}

EditRoll::Ending EditRoll::syncError()
{
    stopBoth();
    return Ending::SyncError;
}

void EditRoll::stopBoth()
{
    recorder_.CommandAcknowledged(VCR::bsstop);
    player_.CommandAcknowledged(VCR::bsstop);
    progress_.step(EditStep::Stopped);
}

void EditRoll::showCountdown(int framesLeft, bool recording)
{
    const TimeBase base = recorder_.timeBase();
    const std::string left = base.labelOf(std::clamp(framesLeft, 0, base.framesPerDay() - 1));
    progress_.countdown(recording ? EditStep::EditOn : EditStep::Roll, left);
}
