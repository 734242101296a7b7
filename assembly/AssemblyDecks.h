#pragma once

#include "assembly/EventResult.h"
#include "deck/TimeBase.h"
#include "eventlist/Event.h"

class EditProgress;

// The decks as a list's run uses them: one event performed at a time (its edits one after the
// other, a split edit as two inserts, each an auto edit with the record guard's checks before
// it rolls; the first that is not exact ends the event), and both decks stopped.
class AssemblyDecks {
public:
    virtual ~AssemblyDecks() = default;

    // labels: the base on which the event's frame counts are labels
    // (EventList::labelsOf(event.frameCount)). Each edit reports its steps to the progress.
    virtual EventResult perform(const Event& event, TimeBase labels, EditProgress& progress) = 0;
    // Stops both decks and waits a few seconds at most for the recorder to be confirmed out
    // of record (its record guard clear); false when it could not be confirmed.
    virtual bool stopDecks() = 0;
};
