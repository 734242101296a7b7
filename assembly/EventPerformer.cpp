#include "assembly/EventPerformer.h"

#include "deck/InvalidTimeCode.h"
#include "deck/VCR.h"
#include "engine/EditClock.h"
#include "engine/EditEngine.h"
#include "engine/EditProgress.h"

#include <mutex>

namespace {

constexpr const char* abortedText = "EDIT ABORTED";

// Passes everything on to the operator's progress and keeps the edit's last status text, so
// that a failed edit of several can be named with its reason.
class RememberingProgress : public EditProgress {
public:
    explicit RememberingProgress(EditProgress& shown) : shown_(shown) {}

    void step(EditStep step) override { shown_.step(step); }
    void countdown(EditStep current, const std::string& left) override { shown_.countdown(current, left); }
    void status(const std::string& text) override
    {
        {
            std::lock_guard lock(mutex_);
            last_ = text;
        }
        shown_.status(text);
    }
    bool confirm(const std::string& question) override { return shown_.confirm(question); }

    std::string last() const
    {
        std::lock_guard lock(mutex_);
        return last_;
    }

private:
    EditProgress& shown_;
    mutable std::mutex mutex_;
    std::string last_;
};

void setDeckPoints(VCR& deck, const std::string& in, const std::string& out)
{
    deck.setfield(in, DeckView::Point::In);
    deck.setfield(out, DeckView::Point::Out);
    deck.setdirectin();
}

}

EventPerformer::EventPerformer(VCR& player, VCR& recorder, EditClock& clock, EditProgress& progress)
    : player_(player), recorder_(recorder), clock_(clock), progress_(progress)
{
}

bool EventPerformer::setPoints(const EventEdit& edit)
{
    const EditRequest& request = edit.request;
    try {
        if (!edit.recorderOnly)
            setDeckPoints(player_, request.playIn, request.playOut);
        setDeckPoints(recorder_, request.recIn, request.recOut);
        return true;
    } catch (const InvalidTimeCode&) {
        progress_.status(edit.what + ": " + InvalidTimeCode::statusText);
        return false;
    }
}

EventOutcome EventPerformer::perform(const std::vector<EventEdit>& edits)
{
    EventOutcome result;
    const bool several = edits.size() > 1;
    for (std::size_t index = 0; index < edits.size(); ++index) {
        const EventEdit& edit = edits[index];
        const auto stop = [&](EditOutcome::Kind kind, const std::string& text) {
            result.kind = kind;
            result.stoppedAt = index;
            result.text = text;
            return result;
        };
        if (clock_.aborted())
            return stop(EditOutcome::Kind::Aborted, abortedText);
        if (several)
            progress_.status("EDIT " + std::to_string(index + 1) + " OF " + std::to_string(edits.size()) + ": "
                             + edit.what);
        if (!setPoints(edit))
            return stop(EditOutcome::Kind::Refused, edit.what + ": " + InvalidTimeCode::statusText);
        RememberingProgress progress(progress_);
        EditEngine engine(player_, recorder_, clock_, progress);
        const EditOutcome outcome =
            edit.recorderOnly ? engine.recorderOnlyEdit(edit.request) : engine.autoEdit(edit.request);
        result.edits.push_back(outcome);
        if (outcome.kind == EditOutcome::Kind::Completed) {
            // The first edit on tape but not as marked says why the event is not exact.
            if (!outcome.exact && result.text.empty())
                result.text = progress.last();
            continue;
        }
        if (outcome.kind == EditOutcome::Kind::Aborted)
            return stop(outcome.kind, abortedText);
        if (!several)
            return stop(outcome.kind, progress.last());
        const std::string text = edit.what + " FAILED - " + progress.last();
        progress_.status(text);
        return stop(outcome.kind, text);
    }
    result.kind = EditOutcome::Kind::Completed;
    return result;
}
