#include "listwindow/ListAssembly.h"

#include "deck/VCR.h"
#include "eventlist/ListError.h"
#include "listwindow/AssemblyView.h"
#include "ui/EVCR.h"
#include "ui/EVCRPanel.h"
#include "ui/EditLog.h"
#include "ui/OperatorThread.h"
#include "ui/PointsLocked.h"
#include "ui/VCRPanel.h"

#include <chrono>
#include <exception>
#include <system_error>

namespace {

std::string stateText(const EventReport& report)
{
    switch (report.state) {
    case EventState::Pending:
        return "PENDING";
    case EventState::Cueing:
        return "CUEING";
    case EventState::Recording:
        return "RECORDING";
    case EventState::Recorded:
        return report.text;
    case EventState::Failed:
        return "FAILED: " + report.text;
    case EventState::Skipped:
        break;
    }
    return "SKIPPED";
}

std::string assembledText(const AssemblyOutcome& outcome)
{
    return "ASSEMBLED " + std::to_string(outcome.recorded) + " OF " + std::to_string(outcome.events) + " EVENTS";
}

}

ListAssembly::ListAssembly(ListKeeper& keeper, EVCR& evcr, AssemblyView& view)
    : keeper_(keeper), evcr_(evcr), view_(view)
{
}

ListAssembly::~ListAssembly() = default;

std::string ListAssembly::refusal() const
{
    switch (phase_.load()) {
    case Phase::Running:
        return "ASSEMBLY IN PROGRESS";
    case Phase::Held: {
        std::lock_guard lock(mutex_);
        return "RUN STOPPED AT EVENT " + std::to_string(heldAt_) + ": RETRY, SKIP OR STOP THE RUN";
    }
    case Phase::Idle:
        break;
    }
    return {};
}

void ListAssembly::assemble(std::optional<ListKeeper::EventRef> from, AssemblyMode mode)
{
    ui::OperatorThread::Sequence sequence;
    if (!idle())
        return;
    AssemblySetup setup;
    setup.mode = mode;
    if (from) {
        try {
            keeper_.event(*from);
        } catch (const ListError& refused) {
            view_.showRunText(refused.what());
            return;
        }
        setup.from = from->index;
    }
    begin(setup);
}

bool ListAssembly::idle()
{
    if (phase_ == Phase::Idle)
        return true;
    view_.showRunText(refusal());
    return false;
}

void ListAssembly::resume(AssemblyMode mode)
{
    ui::OperatorThread::Sequence sequence;
    if (!idle())
        return;
    AssemblySetup setup;
    setup.mode = mode;
    setup.resume = true;
    begin(setup);
}

void ListAssembly::begin(AssemblySetup setup)
{
    if (keeper_.list().empty()) {
        view_.showRunText("NO EVENTS TO ASSEMBLE");
        return;
    }
    list_ = keeper_.list();
    setup.mountedReel = keeper_.reel();
    try {
        journal_ = std::make_unique<AssemblyJournal>(AssemblyJournal::load(AssemblyJournal::pathFor(keeper_.path())));
    } catch (const std::system_error& failed) {
        view_.showRunText(std::string("RUN NOT STARTED: JOURNAL NOT READ: ") + failed.what());
        return;
    }
    const EditSettings settings = evcr_.settings();
    performer_ = std::make_unique<DeckEventPerformer>(
        *evcr_.pvcr, *evcr_.rvcr, clock_,
        RollSettings{settings.playerPreroll, settings.recorderPreroll, evcr_.pvcr->adjust()});
    EVCRPanel& panel = evcr_.panel();
    // Edits on tape are logged as DO EDIT's are; an edit of the recorder alone has no player
    // points for the log's line.
    performer_->onEditOnTape([&panel, log = settings.log](const EditRequest& request, const EditOutcome& outcome) {
        if (log && !request.playIn.empty() && EditLog::exists(panel.logfilename))
            panel.logedit(request, outcome);
    });
    run_ = std::make_unique<AssemblyRun>(list_, setup, *performer_, clock_, *this, journal_.get(), &panel);
    phase_ = Phase::Running;
    view_.clearEventStates();
    view_.showResumeOffer("");
    view_.showRunText("ASSEMBLING");
    go([this] { return run_->start(); });
}

void ListAssembly::retry()
{
    goOnFromHeld("RETRYING ", [this] { return run_->retry(); });
}

void ListAssembly::skip()
{
    goOnFromHeld("SKIPPING ", [this] { return run_->skip(); });
}

void ListAssembly::goOnFromHeld(const std::string& doing, const std::function<AssemblyOutcome()>& step)
{
    ui::OperatorThread::Sequence sequence;
    if (phase_ != Phase::Held)
        return;
    phase_ = Phase::Running;
    view_.showRunText(doing + eventName(*last_.event));
    go(step);
}

void ListAssembly::stop()
{
    if (phase_ != Phase::Held)
        return;
    finish(last_);
}

void ListAssembly::go(const std::function<AssemblyOutcome()>& step)
{
    PointsLocked locked(*evcr_.pvcr, *evcr_.rvcr);
    try {
        ended(step());
    } catch (const std::exception& failed) {
        // A run that failed in a way it does not know cannot go on: the decks stop and the
        // window is the operator's again.
        const bool safe = performer_->stopDecks();
        finish(last_);
        view_.showRunText(std::string("RUN ENDED: ") + failed.what()
                          + (safe ? "" : " - RECORDER NOT CONFIRMED STOPPED"));
    }
}

void ListAssembly::ended(const AssemblyOutcome& outcome)
{
    last_ = outcome;
    switch (outcome.kind) {
    case AssemblyOutcome::Kind::Completed:
        finish(outcome);
        return;
    case AssemblyOutcome::Kind::NotStarted:
        run_.reset();
        phase_ = Phase::Idle;
        view_.showRunText("RUN NOT STARTED: " + outcome.text);
        offerResume();
        return;
    case AssemblyOutcome::Kind::Stopped:
        break;
    }
    {
        std::lock_guard lock(mutex_);
        heldAt_ = list_[*outcome.event].number;
    }
    phase_ = Phase::Held;
    tellReel(run_->mountedReel());
    view_.markStoppedEvent(*outcome.event);
    view_.showRunText("RUN STOPPED AT " + eventName(*outcome.event) + ": " + outcome.text
                      + (outcome.decksSafe ? "" : " - RECORDER NOT CONFIRMED STOPPED"));
}

void ListAssembly::finish(const AssemblyOutcome& outcome)
{
    tellReel(run_->mountedReel());
    run_.reset();
    performer_.reset();
    journal_.reset();
    phase_ = Phase::Idle;
    view_.showCountdown(std::nullopt);
    view_.showRunText(assembledText(outcome));
    offerResume();
}

void ListAssembly::offerResume()
{
    if (phase_ != Phase::Idle)
        return;
    const EventList& list = keeper_.list();
    std::set<std::size_t> onTape;
    try {
        onTape = AssemblyJournal::load(AssemblyJournal::pathFor(keeper_.path())).onTape(list);
    } catch (const std::system_error&) {
        onTape.clear();
    }
    std::optional<std::size_t> first;
    for (std::size_t index = 0; index < list.size() && !first; ++index) {
        if (!onTape.count(index))
            first = index;
    }
    if (onTape.empty() || !first) {
        view_.showResumeOffer("");
        return;
    }
    view_.showResumeOffer("RUN UNFINISHED: RESUME FROM EVENT " + std::to_string(list[*first].number));
}

bool ListAssembly::answer(bool yes)
{
    std::lock_guard lock(mutex_);
    if (!waiting_)
        return false;
    waiting_->set_value(yes);
    waiting_.reset();
    return true;
}

bool ListAssembly::ask(const std::string& question)
{
    auto answered = std::make_shared<std::promise<bool>>();
    std::future<bool> answer = answered->get_future();
    {
        std::lock_guard lock(mutex_);
        waiting_ = answered;
    }
    view_.showPrompt(question);
    constexpr int step = 50;
    bool aborted = false;
    while (answer.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready && !aborted)
        aborted = !ui::OperatorThread::instance().pause(step);
    {
        std::lock_guard lock(mutex_);
        waiting_.reset();
    }
    view_.showPrompt("");
    if (answer.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        return false;
    return answer.get();
}

void ListAssembly::event(const EventReport& report)
{
    view_.showEventState(report.index, list_[report.index], stateText(report), report.state == EventState::Failed);
}

void ListAssembly::countdown(const RunCountdown& left)
{
    view_.showCountdown(left);
}

bool ListAssembly::mountReel(const std::string& reel, const std::string& prompt)
{
    if (!ask(prompt))
        return false;
    tellReel(reel);
    return true;
}

bool ListAssembly::confirm(const std::string& question)
{
    return ask(question);
}

void ListAssembly::tellReel(const std::string& reel)
{
    try {
        keeper_.setReel(reel);
    } catch (const ListError&) {
        // A reel name the window cannot take stays the run's alone.
        return;
    }
    view_.showReel(reel);
}

std::string ListAssembly::eventName(std::size_t index) const
{
    return "EVENT " + std::to_string(list_[index].number);
}
