#include "engine/EditEngine.h"

#include "deck/VCR.h"
#include "engine/EditClock.h"
#include "engine/EditProgress.h"
#include "engine/EditRoll.h"
#include "deck/RecordGuard.h"
#include "deck/Utils.h"

#include <algorithm>

namespace {

constexpr const char* selectModeError = "ERROR: Please Select Edit Mode Above";
constexpr std::uint8_t assemble = 0x20;
// After edit off has taken effect: two more frames before the decks stop.
constexpr int settleFrames = 2;

EditOutcome outcomeOf(EditOutcome::Kind kind)
{
    EditOutcome outcome;
    outcome.kind = kind;
    return outcome;
}

EditOutcome refused()
{
    return outcomeOf(EditOutcome::Kind::Refused);
}

EditOutcome aborted()
{
    return outcomeOf(EditOutcome::Kind::Aborted);
}

constexpr const char* clockTimedText = "CLOCK-TIMED EDIT";

// What the console says of an edit aborted while the recorder recorded: the frames the tape
// holds, from the record in point to the last frame recorded.
void sayRecordedStretch(const VCR& recorder, const std::optional<RecordedStretch>& recorded)
{
    const TimeBase base = recorder.timeBase();
    if (!recorded || recorded->end <= recorded->first) {
        Utils::OutLine("Record VCR: EDIT ABORTED - RECORDING NOT CONFIRMED");
        return;
    }
    Utils::OutLine("Record VCR: EDIT ABORTED - RECORDED " + base.labelOf(recorded->first) + " TO "
                   + base.labelOf(recorded->end - 1));
}

// The frame count of a point on the deck's base; a label the base does not have throws.
int framesOf(const VCR& deck, const std::string& point)
{
    return deck.calcframes(point);
}

}

EditEngine::EditEngine(VCR& player, VCR& recorder, EditClock& clock, EditProgress& progress)
    : player_(player), recorder_(recorder), clock_(clock), progress_(progress)
{
}

bool EditEngine::inPointsOk(const EditRequest& request, Decks decks)
{
    if (decks == Decks::Both
        && framesOf(player_, request.playIn) < request.playerPreroll * player_.timeBase().labelsPerSecond()) {
        progress_.status("ERROR: Play InPoint Too Low");
        return false;
    }
    if (framesOf(recorder_, request.recIn) < request.recorderPreroll * recorder_.timeBase().labelsPerSecond()) {
        progress_.status("ERROR: Record InPoint Too Low");
        return false;
    }
    return true;
}

bool EditEngine::modeChosen(const EditRequest& request)
{
    if (request.mode != 0)
        return true;
    progress_.status(selectModeError);
    return false;
}

bool EditEngine::waitCued(VCR& deck, int waits, int ms)
{
    // Cued means parked: the cue thread's still command must not land on a preroll.
    for (int done = 0; (!deck.cuedup() || deck.cueInProgress()) && done < waits; ++done) {
        if (!clock_.pause(std::chrono::milliseconds(ms)))
            return false;
    }
    return true;
}

bool EditEngine::waitCueEnded(VCR& deck)
{
    constexpr auto step = std::chrono::milliseconds(100);
    while (deck.cueInProgress()) {
        if (!clock_.pause(step))
            return false;
    }
    return true;
}

EditOutcome EditEngine::autoEdit(const EditRequest& request)
{
    return edit(request, Decks::Both);
}

EditOutcome EditEngine::recorderOnlyEdit(const EditRequest& request)
{
    return edit(request, Decks::RecorderAlone);
}

EditOutcome EditEngine::edit(const EditRequest& request, Decks decks)
{
    // A stop pressed as the edit was about to begin: nothing is sent.
    if (clock_.aborted())
        return aborted();
    unattended_ = request.unattended;
    if (!inPointsOk(request, decks))
        return refused();
    recorder_.CalcDuration();
    if (!modeChosen(request) || !pointsOk(request, decks) || !decksReady(request, decks))
        return refused();
    // Without the recorder's time code only the clock times the edit: the operator decides.
    const bool clockTimed = recorder_.isLanc();
    if (clockTimed && !progress_.confirm(clockTimedText))
        return refused();
    return cueAndRoll(request, decks, clockTimed);
}

bool EditEngine::pointsOk(const EditRequest& request, Decks decks)
{
    if (framesOf(recorder_, request.recOut) - framesOf(recorder_, request.recIn) > 0
        && (decks == Decks::RecorderAlone || framesOf(player_, request.playOut) - framesOf(player_, request.playIn) > 0))
        return true;
    progress_.status("OUTPOINT NOT VALID");
    return false;
}

bool EditEngine::decksReady(const EditRequest& request, Decks decks)
{
    const bool withPlayer = decks == Decks::Both;
    // A recorder its guard is still stopping takes no new edit.
    if (recorder_.recordGuard().active()) {
        progress_.status(RecordGuard::alarmText);
        return false;
    }
    if (!deckReady(recorder_) || (withPlayer && !deckReady(player_)))
        return false;
    if (!recorder_.setemode(request.mode).answered()) {
        progress_.status("RECORDER: EDIT PRESET REFUSED");
        return false;
    }
    // The points and the preroll the decks hold are the ones their preroll goes by.
    if ((withPlayer && !player_.resendPresets()) || !recorder_.resendPresets()) {
        progress_.status("PRESETS REFUSED - NO EDIT");
        return false;
    }
    const auto status = recorder_.readStatus(VCR::statusAttempts);
    if (!status || status->editPreset() != (request.mode & DeckStatus::presetBits)) {
        progress_.status("RECORDER: EDIT MODE NOT SET");
        return false;
    }
    return true;
}

bool EditEngine::deckReady(VCR& deck)
{
    const bool recorder = &deck == &recorder_;
    const auto status = deck.readStatus(VCR::statusAttempts);
    if (!status) {
        progress_.status(recorder ? "RECORDER: NO STATUS" : "PLAYER: NO STATUS");
        return false;
    }
    if (const std::string refusal = status->refusal(recorder); !refusal.empty()) {
        progress_.status(refusal);
        return false;
    }
    return true;
}

EditOutcome EditEngine::cueAndRoll(const EditRequest& request, Decks decks, bool clockTimed)
{
    if (!cueBoth(decks))
        return clock_.aborted() ? aborted() : refused();
    if (!prerollBoth(decks))
        return clock_.aborted() ? aborted() : refused();
    return roll(request, decks, clockTimed);
}

bool EditEngine::cueBoth(Decks decks)
{
    // Both decks to their in points; one deck cued up is enough to go on. A recorder that
    // records alone must be cued up itself.
    const bool withPlayer = decks == Decks::Both;
    if (withPlayer) {
        progress_.step(EditStep::CuePlayer);
        player_.cue(0);
        if (!waitCued(player_, 200, 200))
            return false;
    }
    progress_.step(EditStep::CueRecorder);
    recorder_.cue(0);
    if (!waitCued(recorder_, 200, 200))
        return false;
    if (!(withPlayer && player_.cuedup()) && !recorder_.cuedup()) {
        progress_.status("CUEING FAILED - NO EDIT");
        return false;
    }
    // A deck that never reported cue-up is still parked by its cue thread when that gives up;
    // the preroll goes after it.
    return (!withPlayer || waitCueEnded(player_)) && waitCueEnded(recorder_);
}

bool EditEngine::prerollBoth(Decks decks)
{
    const bool withPlayer = decks == Decks::Both;
    progress_.step(EditStep::Preroll);
    recorder_.CommandAcknowledged(VCR::bspreroll);
    if (withPlayer)
        player_.CommandAcknowledged(VCR::bspreroll);
    // The first second lets the decks' status show that they took the preroll.
    if (!clock_.pause(std::chrono::milliseconds(1000)))
        return false;
    if (unattended_) {
        // As long as the second set pause and the waits after it, a tenth of a second at a time.
        constexpr int tenthsWaited = 150;
        if ((withPlayer && !waitCued(player_, tenthsWaited, 100)) || !waitCued(recorder_, tenthsWaited, 100))
            return false;
    } else {
        if (!clock_.pause(std::chrono::milliseconds(5000)))
            return false;
        if ((withPlayer && !waitCued(player_, 10, 1000)) || !waitCued(recorder_, 10, 1000))
            return false;
    }
    if (!(withPlayer && player_.cuedup()) && !recorder_.cuedup()) {
        progress_.status("PREROLL FAILED - NO EDIT");
        return false;
    }
    return true;
}

EditOutcome EditEngine::failed(const std::string& text)
{
    progress_.status(text);
    return outcomeOf(EditOutcome::Kind::Failed);
}

EditOutcome EditEngine::roll(const EditRequest& request, Decks decks, bool clockTimed)
{
    const int labels = recorder_.timeBase().labelsPerSecond();
    const int overrun = request.mode == assemble ? assembleOverrunSeconds * labels : 0;
    EditRoll::Plan plan;
    plan.recorderOnly = decks == Decks::RecorderAlone;
    plan.playIn = plan.recorderOnly ? 0 : framesOf(player_, request.playIn);
    plan.recIn = framesOf(recorder_, request.recIn);
    plan.playerPreroll = request.playerPreroll * player_.timeBase().labelsPerSecond();
    plan.recorderPreroll = request.recorderPreroll * labels;
    plan.onTarget = plan.recIn + request.adjust;
    plan.offTarget = framesOf(recorder_, request.recOut) + overrun + request.adjust;
    plan.editDelay = -request.adjust;
    plan.settleFrames = std::max(0, -request.adjust) + settleFrames;
    plan.clockTimed = clockTimed;
    const EditRoll::Result result = EditRoll(player_, recorder_, clock_, progress_, plan).run();
    EditOutcome outcome;
    outcome.timing = result.timing;
    outcome.recorded = result.recorded;
    switch (result.ending) {
    case EditRoll::Ending::SyncError:
        progress_.status("SYNC ERROR - NO EDIT");
        return refused();
    case EditRoll::Ending::Missed:
        return failed("EDIT MISSED - NOTHING RECORDED");
    case EditRoll::Ending::NothingRecorded:
        return failed("EDIT FAILED - NOTHING RECORDED");
    case EditRoll::Ending::NotConfirmed:
        return failed("EDIT NOT CONFIRMED BY THE RECORDER");
    case EditRoll::Ending::RecorderDidNotStop:
        return failed("EDIT FAILED - RECORDER DID NOT STOP");
    case EditRoll::Ending::PlayRefused:
        return failed(result.playerRefused ? "PLAYER: PLAY REFUSED - NO EDIT" : "RECORDER: PLAY REFUSED - NO EDIT");
    case EditRoll::Ending::RecorderNotFollowed:
        // Nothing was recorded; the edit may be made again, timed by the clock alone.
        if (clockTimed || !progress_.confirm(clockTimedText))
            return failed("NO TIME CODE FROM RECORDER - NO EDIT");
        return cueAndRoll(request, decks, true);
    case EditRoll::Ending::AbortedWhileRecording:
        sayRecordedStretch(recorder_, result.recorded);
        outcome.kind = EditOutcome::Kind::Aborted;
        return outcome;
    case EditRoll::Ending::AbortedBeforeEditOn:
    case EditRoll::Ending::DeckLost:
        outcome.kind = EditOutcome::Kind::Aborted;
        return outcome;
    case EditRoll::Ending::Recorded:
        break;
    }
    outcome.onTape = true;
    outcome.overrun = std::max(0, result.overrun);
    outcome.exact = outcome.overrun == 0 && !result.sourceUnverified && !clockTimed;
    if (outcome.overrun > 0)
        progress_.status("EDIT OVERRAN BY " + std::to_string(outcome.overrun) + " FRAMES");
    else if (result.sourceUnverified)
        progress_.status("SOURCE NOT VERIFIED");
    else if (clockTimed)
        progress_.status(clockTimedText);
    if (!unattended_ && !clock_.pause(std::chrono::milliseconds(2000))) {
        outcome.kind = EditOutcome::Kind::Aborted;
        return outcome;
    }
    progress_.step(EditStep::CueRecorderOut);
    recorder_.cue(1);
    outcome.kind = EditOutcome::Kind::Completed;
    return outcome;
}

EditOutcome EditEngine::preview(const EditRequest& request)
{
    recorder_.setpreroll();
    player_.setpreroll();
    if (!inPointsOk(request, Decks::Both) || !modeChosen(request))
        return refused();
    player_.setdirectin();
    if (clock_.aborted())
        return aborted();
    recorder_.setdirectin();
    if (clock_.aborted())
        return aborted();
    player_.preview();
    recorder_.preview();
    progress_.step(EditStep::Preview);
    return outcomeOf(EditOutcome::Kind::Completed);
}
