#include "assembly/DeckEventPerformer.h"

#include "assembly/EventPerformer.h"
#include "assembly/EventRefused.h"
#include "deck/DeckStatus.h"
#include "deck/RecordGuard.h"
#include "deck/VCR.h"
#include "engine/EditClock.h"
#include "engine/EditEngine.h"
#include "engine/EditProgress.h"

#include <chrono>

namespace {

// The recorder's guard gets this long to stop a recorder that records on.
constexpr auto guardLimit = std::chrono::seconds(5);
// Status reads, a frame apart, for a recorder to show that it left record after stop.
constexpr int stopTries = 5;
constexpr int frameMs = 34;

// An assemble edit records on past its out point: what it recorded when that is not known.
RecordedStretch markedStretch(const VCR& recorder, const EditRequest& request, bool assemble)
{
    const int overrun = assemble
        ? EditEngine::assembleOverrunSeconds * recorder.timeBase().labelsPerSecond()
        : 0;
    return {recorder.calcframes(request.recIn), recorder.calcframes(request.recOut) + overrun};
}

}

DeckEventPerformer::DeckEventPerformer(VCR& player, VCR& recorder, EditClock& clock, RollSettings settings)
    : player_(player), recorder_(recorder), clock_(clock), settings_(settings)
{
}

void DeckEventPerformer::onEditOnTape(std::function<void(const EditRequest&, const EditOutcome&)> listener)
{
    onTape_ = std::move(listener);
}

EventResult DeckEventPerformer::perform(const Event& event, TimeBase labels, EditProgress& progress)
{
    std::vector<EventEdit> edits;
    try {
        // The run asked for the routing of every recorder-only event before it began, and no
        // one is at the panel to read what the set pauses give time to read.
        edits = EventEdits::of(event, labels, settings_, RecorderInput::Routed);
        for (EventEdit& edit : edits)
            edit.request.unattended = true;
    } catch (const EventRefused& refused) {
        progress.status(refused.what());
        return {EventResult::Kind::Failed, refused.what(), {}};
    }
    const EventOutcome outcome = EventPerformer(player_, recorder_, clock_, progress).perform(edits);
    for (std::size_t index = 0; index < outcome.edits.size(); ++index) {
        if (outcome.edits[index].onTape && onTape_)
            onTape_(edits[index].request, outcome.edits[index]);
    }
    return resultOf(edits, outcome, event.assemble);
}

EventResult DeckEventPerformer::resultOf(const std::vector<EventEdit>& edits, const EventOutcome& outcome,
                                         bool assemble) const
{
    EventResult result;
    for (std::size_t index = 0; index < outcome.edits.size(); ++index) {
        const EditOutcome& edit = outcome.edits[index];
        if (edit.recorded)
            result.recorded.push_back(*edit.recorded);
        else if (edit.onTape)
            result.recorded.push_back(markedStretch(recorder_, edits[index].request, assemble));
    }
    if (outcome.exact(edits.size())) {
        result.kind = EventResult::Kind::Recorded;
        return result;
    }
    result.kind = kindOf(edits, outcome);
    result.text = outcome.text;
    if (result.kind == EventResult::Kind::Aborted)
        result.text = abortedText();
    else if (result.text.empty())
        result.text = result.kind == EventResult::Kind::NotExact ? "EDIT NOT EXACT" : "EDIT REFUSED";
    return result;
}

EventResult::Kind DeckEventPerformer::kindOf(const std::vector<EventEdit>& edits, const EventOutcome& outcome) const
{
    switch (outcome.kind) {
    case EditOutcome::Kind::Completed:
        return outcome.allOnTape(edits.size()) ? EventResult::Kind::NotExact : EventResult::Kind::Failed;
    case EditOutcome::Kind::Aborted:
        return EventResult::Kind::Aborted;
    case EditOutcome::Kind::Refused:
    case EditOutcome::Kind::Failed:
        break;
    }
    return EventResult::Kind::Failed;
}

std::string DeckEventPerformer::abortedText() const
{
    if (!clock_.aborted() && !player_.online())
        return "PLAYER: DECK OFFLINE";
    if (!clock_.aborted() && !recorder_.online())
        return "RECORDER: DECK OFFLINE";
    return "EDIT ABORTED";
}

bool DeckEventPerformer::stopDecks()
{
    if (player_.online())
        player_.CommandAcknowledged(VCR::bsstop);
    if (!recorder_.recordGuard().waitUntilClear(guardLimit))
        return false;
    for (int attempt = 0; attempt < stopTries && recorder_.online(); ++attempt) {
        const auto status = recorder_.readStatus();
        if (status && !status->recording()) {
            recorder_.CommandAcknowledged(VCR::bsstop);
            return true;
        }
        // A recorder left recording (a run killed during an edit) leaves record now.
        if (status)
            recorder_.CommandAcknowledged(VCR::bseditoff);
        recorder_.CommandAcknowledged(VCR::bsstop);
        VCR::DelayT(frameMs);
    }
    return false;
}
