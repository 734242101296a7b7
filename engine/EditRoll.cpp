#include "engine/EditRoll.h"

#include "deck/RecordGuard.h"
#include "deck/Utils.h"
#include "deck/VCR.h"
#include "engine/EditProgress.h"
#include "engine/RealTimeScheduling.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace {

// A deck answers a request within this time of receiving it.
constexpr int deckTurnaroundMs = 9;
// A status reply shows the deck at some moment this long after the request is written.
constexpr auto statusSampleWindow = std::chrono::milliseconds(deckTurnaroundMs + 3);
// The longest a reading may take: an exchange's deadline, the quiet the link waits for after
// a failed one, and a late wake. No reading may be under way when a command is due.
constexpr auto longestExchange = std::chrono::milliseconds(110);
constexpr auto readAhead = longestExchange + std::chrono::milliseconds(10);
// Far from the next command the decks are read about once a frame, to spare the line.
constexpr auto farAhead = std::chrono::seconds(1);
constexpr auto farReadingPause = std::chrono::milliseconds(30);
// The last moments before a timed write are spun through, not slept: a thread woken from a
// sleep may come back a millisecond or more late.
constexpr auto spinSpan = std::chrono::milliseconds(2);
// Readings in a row without a time code before a deck counts as one that cannot be followed.
constexpr int unanswered = 20;
// The recorder's status is read on one round in this many.
constexpr int roundsPerStatus = 4;
// The player leads the recorder by half a frame, so that each recorded frame takes the
// player's frame of the same label; an offset is taken when its whole uncertainty lies
// inside the frame with this margin to either edge.
constexpr double leadTarget = 0.5;
constexpr double leadMargin = 0.02;
constexpr int maxNudges = 4;
// Decks to start closer together than this many frames are started in one go, the second
// play written while the first deck's reply is still on its way.
constexpr double closeStartFrames = 3;
// A deck is read for its position only once its servo has locked after play (a few frames on
// every deck) or it has settled after a nudge: readings of a tape still gathering speed would
// put it ahead of where it is.
constexpr double lockFrames = 6;
constexpr double settleAfterNudgeFrames = 2;
constexpr double nudgeableHalfWidth = 0.25;
// Frames past the preroll by which a recorder must have been seen rolling.
constexpr int rollTolerance = 30;
// Frames after its effect by which the recorder's status must show a command carried out.
constexpr int confirmFrames = 2;
// Tries of edit off before the record guard takes over.
constexpr int editOffTries = 5;
// Status reads a deck is given before it counts as one that does not answer.
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

// The polling threads stay off the links of the decks that roll for the roll's lifetime.
class PollingHeld {
public:
    PollingHeld(VCR* player, VCR& recorder) : player_(player), recorder_(recorder)
    {
        if (player_)
            player_->holdPolling(true);
        recorder_.holdPolling(true);
    }
    ~PollingHeld()
    {
        if (player_)
            player_->holdPolling(false);
        recorder_.holdPolling(false);
    }
    PollingHeld(const PollingHeld&) = delete;
    PollingHeld& operator=(const PollingHeld&) = delete;

private:
    VCR* player_;
    VCR& recorder_;
};

// The record guard armed for the recording: unless the recorder's status confirmed that it
// left record, the guard takes over however the roll ends, an exception included.
class GuardedRecording {
public:
    GuardedRecording(RecordGuard& guard, int recordEnd) : guard_(guard) { guard_.arm(recordEnd); }
    ~GuardedRecording() { guard_.enforce(); }
    GuardedRecording(const GuardedRecording&) = delete;
    GuardedRecording& operator=(const GuardedRecording&) = delete;

private:
    RecordGuard& guard_;
};

}

EditRoll::EditRoll(VCR& player, VCR& recorder, EditClock& clock, EditProgress& progress, const Plan& plan)
    : player_(player),
      recorder_(recorder),
      clock_(clock),
      progress_(progress),
      plan_(plan),
      base_(recorder.timeBase()),
      playerPosition_(msPerFrameOf(player)),
      recorderPosition_(msPerFrameOf(recorder)),
      watchdog_(recorder),
      playerFollowed_(!plan.recorderOnly)
{
}

EditRoll::Result EditRoll::run()
{
    PollingHeld held(playerTakesPart() ? &player_ : nullptr, recorder_);
    RealTimeScheduling realTime;
    result_.timing.realTime = realTime.active();
    if (!start())
        return ended(result_.ending);
    if (!decksOnline())
        return deckLost(false);
    progress_.step(EditStep::Roll);
    if (plan_.clockTimed)
        return timedRoll();
    return followedRoll();
}

EditRoll::Result EditRoll::ended(Ending ending)
{
    result_.ending = ending;
    return result_;
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
    if (!playerTakesPart())
        return startRecorderAlone();
    // The deck with the longer preroll goes first; the other follows when the first is as far
    // from its in point as the other's preroll, so that the player leads by half a frame.
    if (plan_.recorderPreroll > plan_.playerPreroll)
        return startStaggered(recorder_, player_, plan_.recorderPreroll, plan_.playerPreroll, -leadTarget);
    return startStaggered(player_, recorder_, plan_.playerPreroll, plan_.recorderPreroll, leadTarget);
}

bool EditRoll::startStaggered(VCR& first, VCR& second, int firstPreroll, int secondPreroll, double lead)
{
    const double apart = firstPreroll - secondPreroll + lead;
    auto [firstReply, secondReply] = apart < closeStartFrames ? startClose(first, second, apart)
                                                              : startApart(first, second, apart);
    if (clock_.aborted()) {
        result_.ending = Ending::AbortedBeforeEditOn;
        stopBoth();
        return false;
    }
    for (const auto& [deck, reply] : {std::pair{&first, firstReply}, std::pair{&second, secondReply}}) {
        if (!reply.answered()) {
            result_.playerRefused = deck == &player_;
            result_.ending = Ending::PlayRefused;
            stopBoth();
            return false;
        }
    }
    noteStarts(&first == &recorder_ ? firstReply.written : secondReply.written,
               &first == &player_ ? firstReply.written : secondReply.written);
    return true;
}

bool EditRoll::startRecorderAlone()
{
    const Reply reply = recorder_.CommandAcknowledged(VCR::bsplay);
    recorder_.setmoving(1);
    if (clock_.aborted()) {
        result_.ending = Ending::AbortedBeforeEditOn;
        stopBoth();
        return false;
    }
    if (!reply.answered()) {
        result_.ending = Ending::PlayRefused;
        stopBoth();
        return false;
    }
    noteStarts(reply.written, reply.written);
    return true;
}

void EditRoll::noteStarts(Clock::time_point recorderStarted, Clock::time_point playerStarted)
{
    recorderStarted_ = recorderStarted;
    recorderSteadyFrom_ = frameTime(recorderStarted, lockFrames);
    playerSteadyFrom_ = frameTime(playerStarted, lockFrames);
}

std::pair<Reply, Reply> EditRoll::startClose(VCR& first, VCR& second, double apart)
{
    // The second play goes when it is due, whatever the first deck's line takes to answer.
    auto replies = VCR::playStaggered(first, second, frameTime(Clock::time_point{}, apart) - Clock::time_point{});
    // A refused play goes again at once: the synchroniser makes up what it costs.
    if (!replies.first.answered())
        replies.first = first.CommandAcknowledged(VCR::bsplay);
    if (!replies.second.answered())
        replies.second = second.CommandAcknowledged(VCR::bsplay);
    first.setmoving(1);
    second.setmoving(1);
    return replies;
}

std::pair<Reply, Reply> EditRoll::startApart(VCR& first, VCR& second, double apart)
{
    const Reply firstReply = first.CommandAcknowledged(VCR::bsplay);
    first.setmoving(1);
    if (!firstReply.answered() || !clock_.waitUntil(frameTime(firstReply.written, apart)))
        return {firstReply, Reply{}};
    const Reply secondReply = second.CommandAcknowledged(VCR::bsplay);
    second.setmoving(1);
    return {firstReply, secondReply};
}

std::optional<TapePosition::Reading> EditRoll::readingOf(VCR& deck) const
{
    const auto reading = deck.readTimeCode();
    // A reply whose drop-frame flag disagrees with the base the edit counts on is a bad
    // reading: its frame would be counted the other way.
    if (!reading || (base_.labelsPerSecond() == 30 && reading->dropFrameFlag != base_.dropFrame()))
        return std::nullopt;
    // The deck sampled its tape after the request was written, and before it answered or its
    // turnaround after the request had gone out had passed, whichever came first.
    const auto turnaround = std::chrono::milliseconds(deckTurnaroundMs) + FiringWindow::transit;
    // Counted on from the in point across midnight: an assemble edit may record past it.
    const int frame = base_.unwrapped(reading->frame, &deck == &player_ ? plan_.playIn : plan_.recIn);
    return TapePosition::Reading{frame, reading->asked, std::min(reading->answered, reading->written + turnaround)};
}

bool EditRoll::readRecorder()
{
    const auto reading = readingOf(recorder_);
    if (reading && reading->sampledFrom >= recorderSteadyFrom_)
        recorderPosition_.add(*reading);
    return reading.has_value();
}

void EditRoll::readPlayer()
{
    clock_.waitUntil(playerPosition_.nextReading(Clock::now()));
    if (const auto reading = readingOf(player_)) {
        playerMissesInARow_ = 0;
        if (reading->sampledFrom >= playerSteadyFrom_)
            playerPosition_.add(*reading);
    } else if (++playerMissesInARow_ >= unanswered && !playerPosition_.known()) {
        // The offset cannot be checked: the start alone keeps it, and the operator is told.
        playerFollowed_ = false;
        result_.sourceUnverified = true;
    }
}

void EditRoll::readRecorderStatus()
{
    const auto sampledFrom = Clock::now();
    const auto status = recorder_.readStatus();
    if (!status || onWritten_ == Clock::time_point{})
        return;
    const int recIn = onLanded_ + plan_.editDelay;
    if (status->recording() && sampledFrom >= recorderPosition_.surelyReached(recIn)) {
        recordSeen_ = true;
    } else if (!status->recording() && !recordSeen_ && !editOffMayHaveGone(sampledFrom)
               && sampledFrom >= recorderPosition_.surelyReached(recIn + confirmFrames)) {
        recordMissing_ = true;
    }
}

bool EditRoll::editOffMayHaveGone(Clock::time_point sampledFrom) const
{
    return editOffWriting_ || sampledFrom >= watchdogDeadline_;
}

bool EditRoll::fitsBeforeNextWrite() const
{
    return Clock::now() + longestExchange < nextWrite_;
}

bool EditRoll::readRound()
{
    clock_.waitUntil(recorderPosition_.nextReading(Clock::now()));
    const bool gotRecorder = readRecorder();
    if (playerFollowed_ && fitsBeforeNextWrite())
        readPlayer();
    // Until its status has shown record after edit on, the recorder's status is read every
    // round: a short edit must be seen recording before edit off is due.
    const bool awaitingRecord = onWritten_ != Clock::time_point{} && !recordSeen_;
    if ((awaitingRecord || ++rounds_ % roundsPerStatus == 0) && fitsBeforeNextWrite())
        readRecorderStatus();
    return gotRecorder;
}

EditRoll::Result EditRoll::followedRoll()
{
    bool synchronised = false;
    int recorderMissesInARow = 0;
    for (;;) {
        if (clock_.aborted()) {
            stopBoth();
            return ended(Ending::AbortedBeforeEditOn);
        }
        if (!decksOnline())
            return deckLost(false);
        if (!readRound()) {
            // A recorder once followed is never timed by the clock: its readings resume.
            if (!recorderFollowed_ && ++recorderMissesInARow >= unanswered) {
                stopBoth();
                return ended(Ending::RecorderNotFollowed);
            }
            continue;
        }
        recorderMissesInARow = 0;
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
        recorderFollowed_ = true;
        const FiringWindow window(recorderPosition_, plan_.onTarget);
        nextWrite_ = window.middle();
        const auto left = window.middle() - Clock::now();
        if (left > readAhead) {
            if (left > farAhead + readAhead && !clock_.waitUntil(Clock::now() + farReadingPause)) {
                stopBoth();
                return ended(Ending::AbortedBeforeEditOn);
            }
            continue;
        }
        // The player not in step, or no longer: nothing is recorded.
        if (!synchronised || (playerFollowed_ && !inStep()))
            return syncError();
        return recordFrom(window);
    }
}

bool EditRoll::synchronise(bool& synchronised)
{
    if (!playerPosition_.known() || !recorderPosition_.known())
        return true;
    if (inStep()) {
        synchronised = true;
        progress_.step(EditStep::Synchronised);
        return true;
    }
    // A nudge is only as good as the offset it corrects: estimates still settling are read
    // more first. Narrow ones say by how much the player is off; wide ones (a slow line) still
    // say which way when the player is off by more than they are wide, and a nudge by the
    // middle then brings the player nearer, never past the half frame by more than that.
    if (!playerPosition_.settled() || !recorderPosition_.settled())
        return true;
    const double halfWidth = (playerPosition_.spread() + recorderPosition_.spread()) / 2;
    const auto now = Clock::now();
    const double lead = playerPosition_.at(now) - recorderPosition_.at(now) - (plan_.playIn - plan_.recIn);
    if (halfWidth > nudgeableHalfWidth && std::abs(leadTarget - lead) <= halfWidth)
        return true;
    return nudges_++ < maxNudges && nudge(leadTarget - lead);
}

bool EditRoll::inStep() const
{
    if (!playerPosition_.known() || !recorderPosition_.known())
        return false;
    const auto now = Clock::now();
    const double offset = plan_.playIn - plan_.recIn;
    const double lowest = playerPosition_.earliest(now) - recorderPosition_.latest(now) - offset;
    const double highest = playerPosition_.latest(now) - recorderPosition_.earliest(now) - offset;
    return lowest >= leadMargin && highest <= 1 - leadMargin;
}

bool EditRoll::nudge(double gain)
{
    // The player plays faster or slower for as long as it takes to gain the frames, then
    // plays on at play speed. A deck that refuses variable speed, or the return to play,
    // cannot be brought into step.
    const std::uint8_t speedByte = gain > 0 ? fasterSpeed : slowerSpeed;
    const double frames = gain / (speedOf(speedByte) - 1.0);
    const Reply reply = player_.CommandAcknowledged(varispeedForward(speedByte));
    if (!reply.answered())
        return false;
    if (!clock_.waitUntil(frameTime(reply.written, frames)))
        return true;  // the roll sees the abort next
    playerPosition_.clear();
    const Reply play = player_.CommandAcknowledged(VCR::bsplay);
    playerSteadyFrom_ = frameTime(play.written, settleAfterNudgeFrames);
    return play.answered();
}

bool EditRoll::waitPunctually(Clock::time_point moment, EditClock::Write which)
{
    if (!clock_.waitForWrite(moment - spinSpan, which))
        return false;
    while (Clock::now() < moment) {
        if (clock_.aborted())
            return false;
    }
    return !clock_.aborted();
}

void EditRoll::waitRegardless(Clock::time_point moment)
{
    std::this_thread::sleep_until(moment - spinSpan);
    while (Clock::now() < moment) {
    }
}

int EditRoll::landingFrame(Clock::time_point written) const
{
    const auto arrival = written + FiringWindow::transit / 2;
    return static_cast<int>(std::floor(recorderPosition_.at(arrival))) + 1;
}

EditRoll::Result EditRoll::recordFrom(const FiringWindow& window)
{
    const int planned = plan_.offTarget + plan_.editDelay;
    GuardedRecording guarded(recorder_.recordGuard(), planned);
    switch (fireEditOn(window)) {
    case EditOn::Aborted:
        // Nothing went out: the recorder never left play.
        recorder_.recordGuard().confirmStopped();
        stopBoth();
        return ended(Ending::AbortedBeforeEditOn);
    case EditOn::Missed:
        recorder_.recordGuard().confirmStopped();
        stopBoth();
        return ended(Ending::Missed);
    case EditOn::Refused:
        stopBoth();
        confirmRecordEnded(plan_.onTarget + plan_.editDelay);
        return ended(Ending::NothingRecorded);
    case EditOn::Written:
        break;
    }
    progress_.step(EditStep::EditOn);
    nextWrite_ = Clock::time_point::max();
    const int length = plan_.offTarget - plan_.onTarget;
    watchdogDeadline_ = frameTime(onWritten_, length + confirmFrames);
    watchdog_.arm(watchdogDeadline_);
    if (clock_.aborted())
        return abortWhileRecording();
    return recordUntilEditOff();
}

EditRoll::EditOn EditRoll::fireEditOn(const FiringWindow& planned)
{
    recorder_.readyForTimedCommand();
    if (!waitPunctually(planned.middle(), EditClock::Write::EditOn))
        return EditOn::Aborted;
    TimedWrite timing{planned.middle(), {}, recorderPosition_.spread(), plan_.onTarget, 0};
    bool anyUnanswered = false;
    bool anyWritten = false;
    for (;;) {
        // Where the recorder is, right before each write: a write that can no longer reach
        // the deck inside its frame is not made.
        const FiringWindow window(recorderPosition_, plan_.onTarget);
        const auto now = Clock::now();
        if (clock_.aborted() && !anyWritten)
            return EditOn::Aborted;
        if (!window.open() || !window.reachableAt(now)) {
            if (!anyWritten)
                return EditOn::Missed;
            return anyUnanswered ? EditOn::Written : EditOn::Refused;
        }
        const Reply reply = recorder_.CommandB0(VCR::bsediton);
        if (!anyWritten) {
            anyWritten = true;
            timing.written = reply.written;
            onWritten_ = reply.written;
            onLanded_ = landingFrame(reply.written);
            timing.landed = onLanded_;
            result_.timing.editOn = timing;
        }
        if (reply.answered())
            return EditOn::Written;
        anyUnanswered = anyUnanswered || reply.outcome != Reply::Outcome::Refused;
    }
}

EditRoll::Result EditRoll::recordUntilEditOff()
{
    for (;;) {
        if (clock_.aborted())
            return abortWhileRecording();
        if (!decksOnline())
            return deckLost(true);
        if (recordMissing_) {
            stopBoth();
            confirmRecordEnded(onLanded_ + plan_.editDelay);
            return ended(Ending::NothingRecorded);
        }
        if (readRound())
            showCountdown(plan_.offTarget - recorderPosition_.lastFrame(), true);
        const FiringWindow window(recorderPosition_, plan_.offTarget);
        nextWrite_ = window.middle();
        const auto left = window.middle() - Clock::now();
        if (left <= readAhead)
            return editOffAndStop(window);
        if (left > farAhead + readAhead && !clock_.waitUntil(Clock::now() + farReadingPause))
            return abortWhileRecording();
    }
}

std::optional<Reply> EditRoll::writeEditOff()
{
    std::optional<Reply> attempt = watchdog_.standDown();
    for (int tries = 0; tries < editOffTries && recorder_.online(); ++tries) {
        if (!attempt)
            attempt = recorder_.CommandB0(VCR::bseditoff);
        // A write whose acknowledgement was lost may have been carried out: the recorder's
        // status says so, and whether it was decides which frame the recording ended on.
        if (attempt->answered() || (attempt->outcome != Reply::Outcome::Refused && tookEffect(*attempt)))
            return attempt;
        waitForAFrameWindowAfter(landingFrame(attempt->written));
        attempt.reset();
    }
    return std::nullopt;
}

void EditRoll::waitForAFrameWindowAfter(int frame)
{
    if (!recorderPosition_.known())
        return;
    recorder_.readyForTimedCommand();
    constexpr int framesSearched = 10;
    for (int next = frame + 1; next <= frame + framesSearched; ++next) {
        const FiringWindow window(recorderPosition_, next);
        if (window.open() && window.middle() >= Clock::now() + spinSpan) {
            waitRegardless(window.middle());
            return;
        }
    }
}

bool EditRoll::tookEffect(const Reply& editOff)
{
    if (!recorderPosition_.known())
        return false;
    const int end = landingFrame(editOff.written) + plan_.editDelay;
    waitRegardless(std::max(Clock::now(), recorderPosition_.surelyReached(end)));
    const auto status = recorder_.readStatus(VCR::statusAttempts);
    return status && !status->recording();
}

EditRoll::Result EditRoll::editOffAndStop(std::optional<FiringWindow> window)
{
    // Edit off always goes: as planned, or at once after an abort.
    recorder_.readyForTimedCommand();
    if (window && !waitPunctually(window->middle(), EditClock::Write::EditOff))
        return abortWhileRecording();
    const auto planned = window ? window->middle() : Clock::now();
    editOffWriting_ = true;
    const std::optional<Reply> off = writeEditOff();
    progress_.step(EditStep::EditOff);
    if (!off) {
        stopBoth();
        return ended(Ending::RecorderDidNotStop);
    }
    const int target = window ? window->frame() : landingFrame(off->written);
    const int landed = landingFrame(off->written);
    result_.timing.editOff = TimedWrite{planned, off->written, recorderPosition_.spread(), target, landed};
    const int recordEnd = landed + plan_.editDelay;
    observeRecording(recordEnd);
    // The recorder leaves record its edit delay after edit off; it is stopped only once that
    // has happened and its status says so.
    waitRegardless(frameTime(off->written, plan_.settleFrames));
    const bool stopped = confirmRecordEnded(recordEnd);
    stopBoth();
    if (!stopped)
        return ended(Ending::RecorderDidNotStop);
    if (!recordSeen_)
        return ended(recordMissing_ ? Ending::NothingRecorded : Ending::NotConfirmed);
    if (recorderPosition_.known())
        result_.recorded = RecordedStretch{onLanded_ + plan_.editDelay, recordEnd};
    result_.overrun = landed - plan_.offTarget;
    return ended(window ? Ending::Recorded : Ending::AbortedWhileRecording);
}

void EditRoll::observeRecording(int recordEnd)
{
    if (recordSeen_ || !recorderPosition_.known())
        return;
    const auto from = std::max(Clock::now(), recorderPosition_.surelyReached(onLanded_ + plan_.editDelay));
    const auto by = recorderPosition_.possiblyReached(recordEnd) - statusSampleWindow;
    if (from > by)
        return;
    waitRegardless(from);
    readRecorderStatus();
}

bool EditRoll::confirmRecordEnded(int recordEnd)
{
    waitRegardless(recorderPosition_.known() ? recorderPosition_.surelyReached(recordEnd) : Clock::now());
    for (int attempt = 0; attempt <= confirmFrames; ++attempt) {
        const auto status = recorder_.readStatus();
        if (status && !status->recording()) {
            recorder_.recordGuard().confirmStopped();
            return true;
        }
        if (status && status->recording())
            recordSeen_ = true;
        waitRegardless(frameTime(Clock::now(), 1));
    }
    return false;
}

EditRoll::Result EditRoll::abortWhileRecording()
{
    // Whatever else happens, the recorder leaves record now, on a frame the roll knows, so
    // that the operator is told exactly what the tape holds.
    if (!recorderPosition_.known())
        return editOffAndStop(std::nullopt);
    waitForAFrameWindowAfter(std::max(plan_.onTarget, onLanded_));
    editOffWriting_ = true;
    const std::optional<Reply> off = writeEditOff();
    progress_.step(EditStep::EditOff);
    if (!off) {
        stopBoth();
        return ended(Ending::AbortedWhileRecording);
    }
    const int landed = landingFrame(off->written);
    observeRecording(landed + plan_.editDelay);
    waitRegardless(frameTime(off->written, plan_.settleFrames));
    const bool stopped = confirmRecordEnded(landed + plan_.editDelay);
    stopBoth();
    if (stopped && recordSeen_)
        result_.recorded = RecordedStretch{onLanded_ + plan_.editDelay, landed + plan_.editDelay};
    return ended(Ending::AbortedWhileRecording);
}

EditRoll::Result EditRoll::timedRoll()
{
    // The recorder left its preroll point when its play was written; a deck's servo lock
    // cannot be seen without its time code. A moment already past is never fired.
    const auto onAt = frameTime(recorderStarted_, plan_.recorderPreroll + plan_.onTarget - plan_.recIn - leadTarget);
    if (onAt < Clock::now()) {
        stopBoth();
        return ended(Ending::Missed);
    }
    constexpr auto step = std::chrono::milliseconds(100);
    for (auto now = Clock::now(); onAt - now > step; now = Clock::now()) {
        if (!decksOnline())
            return deckLost(false);
        showCountdown(static_cast<int>(std::chrono::duration<double, std::milli>(onAt - now).count() / msPerFrame()),
                      false);
        if (!clock_.waitUntil(now + step)) {
            stopBoth();
            return ended(Ending::AbortedBeforeEditOn);
        }
    }
    if (!waitPunctually(onAt, EditClock::Write::EditOn)) {
        stopBoth();
        return ended(Ending::AbortedBeforeEditOn);
    }
    if (Clock::now() > frameTime(onAt, leadTarget - 0.1)) {
        stopBoth();
        return ended(Ending::Missed);
    }
    GuardedRecording guarded(recorder_.recordGuard(), plan_.offTarget + plan_.editDelay);
    const Reply on = recorder_.CommandAcknowledged(VCR::bsediton);
    progress_.step(EditStep::EditOn);
    onWritten_ = on.written;
    onLanded_ = plan_.onTarget;
    // Nothing can place the recording on its frames without time code: the operator agreed.
    recordSeen_ = true;
    const auto offAt = frameTime(on.written, plan_.offTarget - plan_.onTarget);
    // Aborted, edit off goes at once; the clock cannot say which frames the tape holds.
    const bool aborted = !clock_.waitUntil(offAt);
    const Reply off = recorder_.CommandAcknowledged(VCR::bseditoff);
    progress_.step(EditStep::EditOff);
    waitRegardless(frameTime(off.written, plan_.settleFrames));
    const bool stopped = confirmRecordEnded(plan_.offTarget + plan_.editDelay);
    stopBoth();
    if (!stopped)
        return ended(Ending::RecorderDidNotStop);
    return ended(aborted ? Ending::AbortedWhileRecording : Ending::Recorded);
}

bool EditRoll::decksOnline() const
{
    return (!playerTakesPart() || player_.online()) && recorder_.online();
}

EditRoll::Result EditRoll::deckLost(bool recording)
{
    // A deck whose port failed takes nothing; the one still there is made safe. A recorder
    // that may be recording is left to its record guard.
    if (recording && recorder_.online())
        return abortWhileRecording();
    if (playerTakesPart() && player_.online())
        player_.CommandAcknowledged(VCR::bsstop);
    if (recorder_.online())
        recorder_.CommandAcknowledged(VCR::bsstop);
    return ended(Ending::DeckLost);
}

EditRoll::Result EditRoll::syncError()
{
    stopBoth();
    return ended(Ending::SyncError);
}

void EditRoll::stopBoth()
{
    recorder_.CommandAcknowledged(VCR::bsstop);
    if (playerTakesPart())
        player_.CommandAcknowledged(VCR::bsstop);
    progress_.step(EditStep::Stopped);
}

void EditRoll::showCountdown(int framesLeft, bool recording)
{
    progress_.countdown(recording ? EditStep::EditOn : EditStep::Roll, base_.durationText(std::max(framesLeft, 0)));
}
