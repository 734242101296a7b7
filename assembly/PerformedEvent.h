#pragma once

#include "assembly/EventOutcome.h"
#include "eventlist/Event.h"

#include <optional>

// The event as the recorder's tape holds it after it was performed: each line whose edit the
// recorder confirmed, its record and source out later by the frames its edit off came late
// (the edit log says the same of such an edit). A split event whose delayed edit did not reach
// the tape is its leading line alone, no longer split. Nothing when no edit reached the tape.
// The edits are the event's lines in order, as EventEdits makes them.
class PerformedEvent {
public:
    static std::optional<Event> of(const Event& planned, const EventOutcome& outcome);
};
