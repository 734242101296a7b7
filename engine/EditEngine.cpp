#include "engine/EditEngine.h"

#include "deck/VCR.h"
#include "engine/EditClock.h"
#include "engine/EditProgress.h"
#include "engine/EditRoll.h"

#include <algorithm>

namespace {

constexpr const char* selectModeError = "ERROR: Please Select Edit Mode Above";
constexpr std::uint8_t assemble = 0x20;
// Assemble edits record on for two seconds past the out point.
constexpr int assembleOverrunSeconds = 2;
// After edit off has taken effect: two more frames before the decks stop.
constexpr int settleFrames = 2;

EditOutcome refused()
{
    return {EditOutcome::Kind::Refused, false};
}

EditOutcome aborted(bool onTape = false)
{
    return {EditOutcome::Kind::Aborted, onTape};
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

bool EditEngine::inPointsOk(const EditRequest& request)
{
    if (framesOf(player_, request.playIn) < request.playerPreroll * player_.timeBase().labelsPerSecond()) {
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
    // A stop pressed as the edit was about to begin: nothing is sent.
    if (clock_.aborted())
        return aborted();
    if (!inPointsOk(request))
        return refused();
    recorder_.CalcDuration();
    if (!modeChosen(request))
        return refused();
    if (framesOf(recorder_, request.recOut) - framesOf(recorder_, request.recIn) <= 0
        || framesOf(player_, request.playOut) - framesOf(player_, request.playIn) <= 0) {
        progress_.status("OUTPOINT NOT VALID");
        return refused();
    }
    if (!cueBoth())
        return clock_.aborted() ? aborted() : refused();
    if (!prerollBoth())
        return clock_.aborted() ? aborted() : refused();
    return roll(request);
}

bool EditEngine::cueBoth()
{
    // Both decks to their in points; one deck cued up is enough to go on.
    progress_.step(EditStep::CuePlayer);
    player_.cue(0);
    if (!waitCued(player_, 200, 200))
        return false;
    progress_.step(EditStep::CueRecorder);
    recorder_.cue(0);
    if (!waitCued(recorder_, 200, 200))
        return false;
    if (!player_.cuedup() && !recorder_.cuedup()) {
        progress_.status("CUEING FAILED - NO EDIT");
        return false;
    }
    // A deck that never reported cue-up is still parked by its cue thread when that gives up;
    // the preroll goes after it.
    return waitCueEnded(player_) && waitCueEnded(recorder_);
}

bool EditEngine::prerollBoth()
{
    progress_.step(EditStep::Preroll);
    recorder_.CommandAcknowledged(VCR::bspreroll);
    player_.CommandAcknowledged(VCR::bspreroll);
    if (!clock_.pause(std::chrono::milliseconds(1000)) || !clock_.pause(std::chrono::milliseconds(5000)))
        return false;
    if (!waitCued(player_, 10, 1000) || !waitCued(recorder_, 10, 1000))
        return false;
    if (!player_.cuedup() && !recorder_.cuedup()) {
        progress_.status("PREROLL FAILED - NO EDIT");
        return false;
    }
    return true;
}

EditOutcome EditEngine::roll(const EditRequest& request)
{
    const int labels = recorder_.timeBase().labelsPerSecond();
    const int overrun = request.mode == assemble ? assembleOverrunSeconds * labels : 0;
    EditRoll::Plan plan;
    plan.playIn = framesOf(player_, request.playIn);
    plan.recIn = framesOf(recorder_, request.recIn);
    plan.playerPreroll = request.playerPreroll * player_.timeBase().labelsPerSecond();
    plan.recorderPreroll = request.recorderPreroll * labels;
    plan.onTarget = plan.recIn + request.adjust;
    plan.offTarget = framesOf(recorder_, request.recOut) + overrun + request.adjust;
    plan.settleFrames = std::max(0, -request.adjust) + settleFrames;
    switch (EditRoll(player_, recorder_, clock_, progress_, plan).run()) {
    case EditRoll::Ending::SyncError:
        progress_.status("SYNC ERROR - NO EDIT");
        return refused();
    case EditRoll::Ending::AbortedBeforeEditOn:
    case EditRoll::Ending::AbortedWhileRecording:
        return aborted();
    case EditRoll::Ending::Recorded:
        break;
    }
    if (!clock_.pause(std::chrono::milliseconds(2000)))
        return aborted(true);
    progress_.step(EditStep::CueRecorderOut);
    recorder_.cue(1);
    return {EditOutcome::Kind::Completed, true};
}

EditOutcome EditEngine::preview(const EditRequest& request)
{
    recorder_.setpreroll();
    player_.setpreroll();
    if (!inPointsOk(request) || !modeChosen(request))
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
    return {EditOutcome::Kind::Completed, false};
}
