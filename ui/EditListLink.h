#pragma once

#include "assembly/EventOutcome.h"
#include "engine/EditRequest.h"
#include "eventlist/Event.h"

#include <optional>
#include <string>
#include <vector>

// An edit the recorder confirmed on its tape, as the edit panel made it: the list's event it
// performed, or nothing for an edit of the panels' own points, the requests of its edits in
// order, and how they ended (the edits not confirmed included).
struct ConfirmedEdit {
    std::optional<Event> event;
    std::vector<EditRequest> requests;
    EventOutcome outcome;
};

// What the edit panel asks of the event list and tells it; both on the operator thread. The
// panel works without one: it then keeps no list.
class EditListLink {
public:
    virtual ~EditListLink() = default;

    // Why the event cannot be performed with the reel on the player now ("MOUNT REEL TAPE2"),
    // or an empty text.
    virtual std::string refusal(const Event& event) const = 0;
    // Each DO EDIT that put at least one edit on the recorder's tape.
    virtual void onTape(const ConfirmedEdit& edit) = 0;
};
