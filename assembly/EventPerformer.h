#pragma once

#include "deck/TimeBase.h"
#include "engine/EditRequest.h"
#include "eventlist/Event.h"

#include <string>
#include <vector>

class EditProgress;

// How one event went on the decks.
struct EventOutcome {
    enum class Kind {
        // Every edit of the event is on tape on its marked frames, as the recorder confirmed.
        Recorded,
        // On tape, but not as marked (an overrun, a source not verified, timed by the clock
        // alone): the text says what.
        NotExact,
        // Refused or failed; the text says why.
        Failed,
        // ALL STOP, or a deck lost while the event was performed.
        Aborted,
    };
    Kind kind = Kind::Failed;
    std::string text;
    // What the recorder recorded of each of the event's edits, as far as it is known.
    std::vector<RecordedStretch> recorded;
};

// Performs one event of a list on the decks: its edits one after the other (a split edit is
// two inserts), each an auto edit with the record guard's checks before it rolls, and the
// first that is not exact ends the event. Each edit reports its steps to the progress given.
class EventPerformer {
public:
    virtual ~EventPerformer() = default;

    // labels: the base on which the event's frame counts are labels
    // (EventList::labelsOf(event.frameCount)).
    virtual EventOutcome perform(const Event& event, TimeBase labels, EditProgress& progress) = 0;
    // Stops both decks and waits a few seconds at most for the recorder to be confirmed out
    // of record (its record guard clear); false when it could not be confirmed.
    virtual bool stopDecks() = 0;
};
