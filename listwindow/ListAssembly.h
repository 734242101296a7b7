#pragma once

#include "assembly/AssemblyJournal.h"
#include "assembly/AssemblyProgress.h"
#include "assembly/AssemblyRun.h"
#include "assembly/DeckEventPerformer.h"
#include "listwindow/ListKeeper.h"
#include "ui/SequenceClock.h"

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>

class AssemblyView;
class EVCR;

// The session's list assembled from its window: all of it, from a chosen event, or resumed
// where a run was cut short, in list order or by reel. The list assembled is a copy of the
// session's list taken as the run starts, its journal beside the list's file. Each edit the
// recorder confirms goes to the edit log as DO EDIT's do, and never to the list as a new event:
// the run's events are in it already. The edit panel shows each edit's steps.
//
// A run goes on the operator thread as a sequence (ALL STOP aborts it). When it stops at an
// event, it is held: the operator retries that event, skips it, or stops the run, and the
// window refuses list changes until then. A question (a reel to mount, a source routed) waits
// for the operator's answer, given on the GUI thread, or for ALL STOP, which declines it.
class ListAssembly : public AssemblyProgress {
public:
    enum class Phase { Idle, Running, Held };

    // For the GUI thread; the keeper, the controller and the view outlive it.
    ListAssembly(ListKeeper& keeper, EVCR& evcr, AssemblyView& view);
    ~ListAssembly() override;
    ListAssembly(const ListAssembly&) = delete;
    ListAssembly& operator=(const ListAssembly&) = delete;

    // Any thread.
    Phase phase() const { return phase_; }
    // What a press that would change the list meets while a run goes or is held; empty when
    // none goes.
    std::string refusal() const;

    // Operator thread, each as a sequence: a run from the event (none: from the first), a run
    // that goes on where the journal says an earlier one stopped, and a held run's event
    // performed again or left out.
    void assemble(std::optional<ListKeeper::EventRef> from, AssemblyMode mode);
    void resume(AssemblyMode mode);
    void retry();
    void skip();
    // Operator thread: a held run ends where it stopped.
    void stop();
    // Operator thread: offers to resume when the journal has events of the list on tape and
    // not all of them.
    void offerResume();

    // GUI thread: the operator's answer to the question waiting; false when none waits.
    bool answer(bool yes);

    void event(const EventReport& report) override;
    void countdown(const RunCountdown& left) override;
    bool mountReel(const std::string& reel, const std::string& prompt) override;
    bool confirm(const std::string& question) override;

private:
    // No run goes or is held; otherwise the window is told why nothing starts.
    bool idle();
    void begin(AssemblySetup setup);
    // Starts, retries or skips with the points locked; the run held, ended or never begun after.
    void go(const std::function<AssemblyOutcome()>& step);
    // A held run retried or skipped, said as doing the event it was held at.
    void goOnFromHeld(const std::string& doing, const std::function<AssemblyOutcome()>& step);
    // After start, retry or skip: the run held, ended or never begun.
    void ended(const AssemblyOutcome& outcome);
    void finish(const AssemblyOutcome& outcome);
    // Waits for the answer to the question; false when declined or aborted.
    bool ask(const std::string& question);
    void tellReel(const std::string& reel);
    std::string eventName(std::size_t index) const;

    ListKeeper& keeper_;
    EVCR& evcr_;
    AssemblyView& view_;
    std::atomic<Phase> phase_{Phase::Idle};
    // The number of the event a held run stopped at; under mutex_.
    mutable std::mutex mutex_;
    int heldAt_ = 0;
    std::shared_ptr<std::promise<bool>> waiting_;
    // The run and what it uses, on the operator thread only; the run last.
    EventList list_;
    ui::SequenceClock clock_;
    std::unique_ptr<AssemblyJournal> journal_;
    std::unique_ptr<DeckEventPerformer> performer_;
    std::unique_ptr<AssemblyRun> run_;
    // What the run last came to: a held run's event and counts.
    AssemblyOutcome last_;
};
