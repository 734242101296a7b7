#include "assembly/DeckEventPerformer.h"

#include "assembly/AssemblyPlan.h"
#include "deck/DeckStatus.h"
#include "deck/InvalidTimeCode.h"
#include "deck/RecordGuard.h"
#include "deck/VCR.h"
#include "engine/EditClock.h"
#include "engine/EditEngine.h"
#include "engine/EditProgress.h"

#include <chrono>
#include <tuple>

namespace {

constexpr std::uint8_t insertMode = 0x40;
constexpr std::uint8_t assembleMode = 0x20;
// The recorder's guard gets this long to stop a recorder that records on.
constexpr auto guardLimit = std::chrono::seconds(5);
// Status reads, a frame apart, for a recorder to show that it left record after stop.
constexpr int stopTries = 5;
constexpr int frameMs = 34;

// Hands an edit's reports on and keeps its last text: the reason an edit failed.
class TextKeeper : public EditProgress {
public:
    explicit TextKeeper(EditProgress& next) : next_(next) {}

    void step(EditStep step) override { next_.step(step); }
    void countdown(EditStep current, const std::string& left) override { next_.countdown(current, left); }
    void status(const std::string& text) override
    {
        last_ = text;
        next_.status(text);
    }
    bool confirm(const std::string& question) override { return next_.confirm(question); }

    const std::string& last() const { return last_; }

private:
    EditProgress& next_;
    std::string last_;
};

// An assemble edit records on past its out point: what it recorded when that is not known.
RecordedStretch markedStretch(const VCR& recorder, const EditRequest& request)
{
    const int overrun =
        request.mode == assembleMode ? EditEngine::assembleOverrunSeconds * recorder.timeBase().labelsPerSecond() : 0;
    return {recorder.calcframes(request.recIn), recorder.calcframes(request.recOut) + overrun};
}

}

DeckEventPerformer::DeckEventPerformer(VCR& player, VCR& recorder, EditClock& clock, EventEditSettings settings)
    : player_(player), recorder_(recorder), clock_(clock), settings_(settings)
{
}

void DeckEventPerformer::onEditOnTape(std::function<void(const EditRequest&, const EditOutcome&)> listener)
{
    onTape_ = std::move(listener);
}

std::pair<std::string, std::string> DeckEventPerformer::pointsOn(const VCR& deck, const std::string& in, int length)
{
    const TimeBase base = deck.timeBase();
    const int out = deck.calcframes(in) + length;
    // An out point past the day's end is on no tape.
    if (out >= base.framesPerDay())
        throw InvalidTimeCode(in);
    return {in, base.labelOf(out)};
}

DeckEventPerformer::Edit DeckEventPerformer::editOf(const EditLine& line, std::uint8_t mode, TimeBase labels) const
{
    Edit edit;
    edit.recorderOnly = AssemblyPlan::isRecorderOnlySource(line.reel);
    EditRequest& request = edit.request;
    const int length = line.recordLength();
    std::tie(request.recIn, request.recOut) = pointsOn(recorder_, labels.labelOf(line.recordIn), length);
    if (!edit.recorderOnly)
        std::tie(request.playIn, request.playOut) = pointsOn(player_, labels.labelOf(line.sourceIn), length);
    request.mode = mode;
    request.playerPreroll = settings_.playerPreroll;
    request.recorderPreroll = settings_.recorderPreroll;
    request.adjust = settings_.adjust;
    return edit;
}

std::vector<DeckEventPerformer::Edit> DeckEventPerformer::editsOf(const Event& event, TimeBase labels) const
{
    if (event.lines.size() == 1)
        return {editOf(event.lines.front(), event.modeByte().value_or(0), labels)};
    // Two lines (a split edit): each an insert of its own channels over its own stretch.
    std::vector<Edit> edits;
    for (const EditLine& line : event.lines)
        edits.push_back(editOf(line, static_cast<std::uint8_t>(insertMode | line.channels.insertBits()), labels));
    return edits;
}

void DeckEventPerformer::markPoints(VCR& deck, const std::string& in, const std::string& out)
{
    deck.view().showPoint(DeckView::Point::In, in);
    deck.view().showPoint(DeckView::Point::Out, out);
    deck.setdirectin();
}

EditOutcome DeckEventPerformer::make(const Edit& edit, EditProgress& progress)
{
    EditEngine engine(player_, recorder_, clock_, progress);
    markPoints(recorder_, edit.request.recIn, edit.request.recOut);
    if (edit.recorderOnly)
        return engine.recorderOnlyEdit(edit.request);
    markPoints(player_, edit.request.playIn, edit.request.playOut);
    return engine.autoEdit(edit.request);
}

EventOutcome DeckEventPerformer::perform(const Event& event, TimeBase labels, EditProgress& progress)
{
    EventOutcome result;
    TextKeeper keeper(progress);
    try {
        for (const Edit& edit : editsOf(event, labels)) {
            const EditOutcome outcome = make(edit, keeper);
            if (outcome.onTape && onTape_)
                onTape_(edit.request, outcome);
            if (outcome.kind != EditOutcome::Kind::Completed || !outcome.onTape || !outcome.exact) {
                EventOutcome ended = failedEvent(outcome, keeper.last());
                ended.recorded = result.recorded;
                if (outcome.recorded)
                    ended.recorded.push_back(*outcome.recorded);
                return ended;
            }
            result.recorded.push_back(outcome.recorded.value_or(markedStretch(recorder_, edit.request)));
        }
    } catch (const InvalidTimeCode&) {
        progress.status(InvalidTimeCode::statusText);
        result.kind = EventOutcome::Kind::Failed;
        result.text = InvalidTimeCode::statusText;
        return result;
    }
    result.kind = EventOutcome::Kind::Recorded;
    return result;
}

EventOutcome DeckEventPerformer::failedEvent(const EditOutcome& outcome, const std::string& lastText) const
{
    EventOutcome ended;
    switch (outcome.kind) {
    case EditOutcome::Kind::Completed:
        ended.kind = outcome.onTape ? EventOutcome::Kind::NotExact : EventOutcome::Kind::Failed;
        ended.text = lastText.empty() ? "EDIT NOT EXACT" : lastText;
        break;
    case EditOutcome::Kind::Refused:
    case EditOutcome::Kind::Failed:
        ended.kind = EventOutcome::Kind::Failed;
        ended.text = lastText.empty() ? "EDIT REFUSED" : lastText;
        break;
    case EditOutcome::Kind::Aborted:
        ended.kind = EventOutcome::Kind::Aborted;
        if (!clock_.aborted() && !player_.online())
            ended.text = "PLAYER: DECK OFFLINE";
        else if (!clock_.aborted() && !recorder_.online())
            ended.text = "RECORDER: DECK OFFLINE";
        else
            ended.text = "EDIT ABORTED";
        break;
    }
    return ended;
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
