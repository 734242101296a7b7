#pragma once

#include "deck/TimeBase.h"
#include "engine/EditRequest.h"
#include "eventlist/Event.h"

#include <cstddef>

// The points an event shows on the decks' panels, as an operator would mark it: those of the
// line that spans it (the leading line of a split, the incoming source of a transition; of
// lines alike, the first), written as the event's labels, and the edit mode that records all
// its channels (0 when no Kestrix mode does). Performing the event may take more than this one
// edit (see EventEdits).
class EventPoints {
public:
    static std::size_t spanningLine(const Event& event);
    // Points and mode only; the prerolls and the adjust are the caller's.
    static EditRequest of(const Event& event, TimeBase listBase);
};
