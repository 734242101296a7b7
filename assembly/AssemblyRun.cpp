#include "assembly/AssemblyRun.h"

#include "assembly/AssemblyJournal.h"
#include "assembly/AssemblyDecks.h"
#include "engine/EditClock.h"
#include "engine/EditEngine.h"
#include "engine/EditProgress.h"

#include <algorithm>
#include <system_error>

// The steps of an event's edits: the event's state follows them, and they go on to whoever
// shows an edit's steps. A question an edit asks goes to the run's operator.
class AssemblyRun::EditSteps : public EditProgress {
public:
    EditSteps(AssemblyRun& run, std::size_t index) : run_(run), index_(index) {}

    void step(EditStep step) override
    {
        const EventState state = step == EditStep::EditOn ? EventState::Recording : EventState::Cueing;
        if (step != EditStep::EditOff && step != EditStep::Stopped && step != EditStep::CueRecorderOut
            && state != state_) {
            state_ = state;
            run_.report(index_, state, "");
        }
        if (run_.editProgress_)
            run_.editProgress_->step(step);
    }
    void countdown(EditStep current, const std::string& left) override
    {
        if (run_.editProgress_)
            run_.editProgress_->countdown(current, left);
    }
    void status(const std::string& text) override
    {
        if (run_.editProgress_)
            run_.editProgress_->status(text);
    }
    bool confirm(const std::string& question) override { return run_.progress_.confirm(question); }

private:
    AssemblyRun& run_;
    std::size_t index_;
    EventState state_ = EventState::Pending;
};

namespace {

using Millis = std::chrono::milliseconds;

Millis since(std::chrono::steady_clock::time_point from)
{
    return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - from);
}

}

AssemblyRun::AssemblyRun(EventList list, AssemblySetup setup, AssemblyDecks& performer, EditClock& clock,
                         AssemblyProgress& progress, AssemblyJournal* journal, EditProgress* editProgress)
    : list_(std::move(list)),
      setup_(std::move(setup)),
      performer_(performer),
      clock_(clock),
      progress_(progress),
      journal_(journal),
      editProgress_(editProgress),
      estimate_(setup_.overheadGuess)
{
}

AssemblyOutcome AssemblyRun::notStarted(const std::string& text)
{
    AssemblyOutcome outcome;
    outcome.kind = AssemblyOutcome::Kind::NotStarted;
    outcome.text = text;
    outcome.events = setup_.from < list_.size() ? static_cast<int>(list_.size() - setup_.from) : 0;
    return outcome;
}

AssemblyOutcome AssemblyRun::start()
{
    if (started_)
        return outcome_;
    started_ = true;
    AssemblyPlan::Request request{setup_.from, setup_.mode, setup_.mountedReel, {}};
    if (setup_.resume && journal_)
        request.onTape = journal_->onTape(list_);
    const AssemblyPlan plan(list_, request);
    if (plan.refusal())
        return outcome_ = notStarted(*plan.refusal());
    if (!routed(plan))
        return outcome_ = notStarted("SOURCE NOT ROUTED: " + AssemblyPlan::naming(list_, plan.recorderOnly()));
    if (!setup_.resume && journal_) {
        std::vector<const Event*> again;
        for (const PlannedEvent& planned : plan.order())
            again.push_back(&list_[planned.index]);
        try {
            journal_->forget(again);
        } catch (const std::system_error& failed) {
            return outcome_ = notStarted(std::string("JOURNAL NOT WRITTEN: ") + failed.what());
        }
    }
    order_ = plan.order();
    mountedReel_ = plan.mountedReel();
    outcome_.events = static_cast<int>(plan.onTape().size() + order_.size());
    outcome_.recorded = static_cast<int>(plan.onTape().size());
    for (const std::size_t index : plan.onTape())
        report(index, EventState::Recorded, "RECORDED EARLIER", *journal_->recordedOf(list_[index]));
    for (const PlannedEvent& planned : order_)
        report(planned.index, EventState::Pending, "");
    // A recorder left recording by a run cut short stops before anything else.
    performer_.stopDecks();
    return goOn();
}

bool AssemblyRun::routed(const AssemblyPlan& plan)
{
    const auto recorderOnly = plan.recorderOnly();
    if (recorderOnly.empty())
        return true;
    std::set<std::string> sources;
    for (const std::size_t index : recorderOnly) {
        for (const EditLine& line : list_[index].lines)
            sources.insert(line.reel);
    }
    std::string named;
    for (const std::string& source : sources)
        named += (named.empty() ? "" : ", ") + source;
    return progress_.confirm(routingQuestion + AssemblyPlan::naming(list_, recorderOnly) + " (" + named + ")?");
}

AssemblyOutcome AssemblyRun::retry()
{
    if (!stopped_)
        return outcome_;
    performer_.stopDecks();
    return goOn();
}

AssemblyOutcome AssemblyRun::skip()
{
    if (!stopped_)
        return outcome_;
    report(order_[position_].index, EventState::Skipped, "");
    ++position_;
    return goOn();
}

AssemblyOutcome AssemblyRun::goOn()
{
    stopped_ = false;
    outcome_.event.reset();
    outcome_.text.clear();
    outcome_.decksSafe = true;
    for (; position_ < order_.size(); ++position_) {
        if (!perform(position_))
            return outcome_;
    }
    outcome_.kind = AssemblyOutcome::Kind::Completed;
    return outcome_;
}

bool AssemblyRun::perform(std::size_t position)
{
    const PlannedEvent& planned = order_[position];
    const Event& event = list_[planned.index];
    // ALL STOP between two events stops the run before the next.
    if (clock_.aborted()) {
        stopAt(position, "EDIT ABORTED");
        return false;
    }
    reportCountdown(position);
    if (!reelMounted(planned)) {
        stopAt(position, "REEL " + planned.reel + " NOT MOUNTED");
        return false;
    }
    const auto began = std::chrono::steady_clock::now();
    EditSteps steps(*this, planned.index);
    const EventResult outcome = performer_.perform(event, list_.labelsOf(event.frameCount), steps);
    if (outcome.kind != EventResult::Kind::Recorded) {
        report(planned.index, EventState::Failed, outcome.text, outcome.recorded);
        stopAt(position, outcome.text);
        return false;
    }
    if (journal_) {
        try {
            journal_->record(event, outcome.recorded);
        } catch (const std::system_error& failed) {
            // On tape, but a run resumed later would not know it.
            const std::string text = std::string("JOURNAL NOT WRITTEN: ") + failed.what();
            report(planned.index, EventState::Failed, text, outcome.recorded);
            stopAt(position, text);
            return false;
        }
    }
    estimate_.learn(since(began), tapeTimeOf(event), static_cast<int>(event.lines.size()));
    report(planned.index, EventState::Recorded, recordedText(outcome.recorded), outcome.recorded);
    ++outcome_.recorded;
    return true;
}

bool AssemblyRun::reelMounted(const PlannedEvent& planned)
{
    if (planned.reel.empty() || planned.reel == mountedReel_)
        return true;
    if (!progress_.mountReel(planned.reel, "MOUNT REEL " + planned.reel + " ON THE PLAYER"))
        return false;
    mountedReel_ = planned.reel;
    return true;
}

void AssemblyRun::stopAt(std::size_t position, const std::string& text)
{
    stopped_ = true;
    outcome_.kind = AssemblyOutcome::Kind::Stopped;
    outcome_.event = order_[position].index;
    outcome_.text = text;
    outcome_.decksSafe = performer_.stopDecks();
}

void AssemblyRun::report(std::size_t index, EventState state, const std::string& text,
                         const std::vector<RecordedStretch>& recorded)
{
    progress_.event({index, list_[index].number, state, text, recorded});
}

std::string AssemblyRun::recordedText(const std::vector<RecordedStretch>& recorded) const
{
    if (recorded.empty())
        return "RECORDED";
    int first = recorded.front().first;
    int end = recorded.front().end;
    for (const RecordedStretch& stretch : recorded) {
        first = std::min(first, stretch.first);
        end = std::max(end, stretch.end);
    }
    const TimeBase base = list_.timeBase();
    return "RECORDED " + base.labelOf(first % base.framesPerDay()) + " TO " + base.labelOf((end - 1) % base.framesPerDay());
}

std::chrono::milliseconds AssemblyRun::tapeTimeOf(const Event& event) const
{
    const TimeBase base = list_.timeBase();
    std::int64_t frames = 0;
    for (const EditLine& line : event.lines)
        frames += line.recordLength();
    if (event.assemble)
        frames += EditEngine::assembleOverrunSeconds * base.labelsPerSecond();
    return Millis(base.millisOf(frames));
}

std::chrono::milliseconds AssemblyRun::estimateOf(std::size_t index) const
{
    const Event& event = list_[index];
    return estimate_.of(tapeTimeOf(event), static_cast<int>(event.lines.size()));
}

void AssemblyRun::reportCountdown(std::size_t position)
{
    RunCountdown left;
    Millis toEnd{0};
    for (std::size_t next = position; next < order_.size(); ++next) {
        const PlannedEvent& planned = order_[next];
        if (!left.toReelChange && !planned.reel.empty() && planned.reel != mountedReel_)
            left.toReelChange = std::chrono::duration_cast<std::chrono::seconds>(toEnd);
        toEnd += estimateOf(planned.index);
    }
    left.toEnd = std::chrono::duration_cast<std::chrono::seconds>(toEnd);
    progress_.countdown(left);
}
