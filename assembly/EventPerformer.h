#pragma once

#include "assembly/EventEdits.h"
#include "assembly/EventOutcome.h"

#include <vector>

class VCR;
class EditClock;
class EditProgress;

// Performs an event's edits one after the other through the edit engine (an edit of the
// recorder alone as such): each edit's points are set on the decks it uses as the operator sets them (shown on the decks' views and sent to the
// decks as their in and out points), then the engine cues, prerolls and records it and the
// recorder confirms it. The first edit that does not complete stops the event; the operator is
// told which ("DELAYED A FAILED - EDIT MISSED - NOTHING RECORDED"), and the edits after it are
// not begun. An event of one edit says only what the engine says.
//
// Runs on the caller's thread for as long as the edits take, as an auto edit does; the clock
// aborts it (ALL STOP) between edits as well as in them.
class EventPerformer {
public:
    EventPerformer(VCR& player, VCR& recorder, EditClock& clock, EditProgress& progress);

    EventOutcome perform(const std::vector<EventEdit>& edits);

private:
    // Sets the edit's points on both decks; false (after telling the operator) when a point
    // is no time code of its deck.
    bool setPoints(const EventEdit& edit);

    VCR& player_;
    VCR& recorder_;
    EditClock& clock_;
    EditProgress& progress_;
};
