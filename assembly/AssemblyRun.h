#pragma once

#include "assembly/AssemblyPlan.h"
#include "assembly/AssemblyProgress.h"
#include "assembly/RunEstimate.h"
#include "eventlist/EventList.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

class AssemblyJournal;
class EditClock;
class EditProgress;
class AssemblyDecks;

struct AssemblySetup {
    // The list index of the first event of the run.
    std::size_t from = 0;
    AssemblyMode mode = AssemblyMode::ListOrder;
    // The reel on the player; empty for the reel of the first event of the run that has one.
    std::string mountedReel;
    // Events the journal has on tape are not recorded again: a run cut short goes on. Without
    // it the run records every event from the first, and the journal forgets them as it starts.
    bool resume = false;
    // What an edit is taken to add to its tape time until the first has been made.
    std::chrono::milliseconds overheadGuess{10000};
};

struct AssemblyOutcome {
    enum class Kind {
        Completed,   // every event of the run is on tape exactly
        Stopped,     // at an event, with the decks stopped: the caller may retry it or skip it
        NotStarted,  // nothing was sent to the decks; the text says why, naming the events
    };
    Kind kind = Kind::NotStarted;
    // The list index of the event the run stopped at.
    std::optional<std::size_t> event;
    std::string text;
    // The events of the run on tape (recorded earlier included), and all the run's events.
    int recorded = 0;
    int events = 0;
    // After a stop: both decks stopped and the recorder confirmed out of record.
    bool decksSafe = true;
};

// A list assembled on the decks, event after event, unattended: each event performed as an
// auto edit, the operator asked to mount each reel the next event needs, each event's
// progress reported, and the journal told of every event the recorder confirmed.
//
// The run stops at the first event that is not on tape exactly as the list says (refused,
// failed, aborted by ALL STOP or by a deck lost, or recorded but not exact), with the decks
// stopped and the recorder confirmed out of record; the caller then retries that event, skips
// it, or lets the run go. A run whose events need what Kestrix cannot do, or whose order
// would leave another tape than the list's, does not start (AssemblyPlan); nor one with
// recorder-only events (BL, AX) unless the operator confirms, once, that their source is
// routed to the recorder.
//
// Every call is made on one thread, the one that performs the edits.
class AssemblyRun {
public:
    // The list is copied; the performer, clock, progress, journal (none: no journal) and the
    // listener of each edit's steps (none: no one) are used for the run's lifetime.
    AssemblyRun(EventList list, AssemblySetup setup, AssemblyDecks& performer, EditClock& clock,
                AssemblyProgress& progress, AssemblyJournal* journal = nullptr, EditProgress* editProgress = nullptr);

    // The question that confirms a routed source: "RECORDER'S INPUT ROUTED FOR EVENTS 3, 17 (BL)?"
    static constexpr const char* routingQuestion = "RECORDER'S INPUT ROUTED FOR ";

    // Performs the run from its first event. Once only.
    AssemblyOutcome start();
    // After a stop: the event it stopped at again, then the rest.
    AssemblyOutcome retry();
    // After a stop: the rest, without the event it stopped at.
    AssemblyOutcome skip();

    // The reel on the player as far as the run knows.
    const std::string& mountedReel() const { return mountedReel_; }
    // The run's events in the order it performs them (empty until it started).
    const std::vector<PlannedEvent>& order() const { return order_; }

private:
    class EditSteps;

    AssemblyOutcome notStarted(const std::string& text);
    bool routed(const AssemblyPlan& plan);
    AssemblyOutcome goOn();
    // Performs one event; false when the run stops at it (outcome_ says why).
    bool perform(std::size_t position);
    bool reelMounted(const PlannedEvent& planned);
    // Stops the run at the event, with the decks stopped.
    void stopAt(std::size_t position, const std::string& text);
    void report(std::size_t index, EventState state, const std::string& text,
                const std::vector<RecordedStretch>& recorded = {});
    std::string recordedText(const std::vector<RecordedStretch>& recorded) const;
    void reportCountdown(std::size_t position);
    std::chrono::milliseconds estimateOf(std::size_t index) const;
    std::chrono::milliseconds tapeTimeOf(const Event& event) const;

    EventList list_;
    AssemblySetup setup_;
    AssemblyDecks& performer_;
    EditClock& clock_;
    AssemblyProgress& progress_;
    AssemblyJournal* journal_;
    EditProgress* editProgress_;
    RunEstimate estimate_;
    std::vector<PlannedEvent> order_;
    std::string mountedReel_;
    bool started_ = false;
    bool stopped_ = false;
    // The position in order_ of the next event to perform, or of the one the run stopped at.
    std::size_t position_ = 0;
    AssemblyOutcome outcome_;
};
