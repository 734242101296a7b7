#pragma once

#include "deck/DeckStatus.h"
#include "engine/EditRequest.h"

#include <optional>

#include <string>

class VCR;
class EditClock;
class EditProgress;

// The auto edit and preview sequences, free of widgets: the engine drives the two decks
// through the steps of an edit and reports what happens through its progress listener.
// Tests and benchmarks drive it directly; the edit panel drives it and shows what it reports.
class EditEngine {
public:
    // An assemble edit records on for this long past its out point.
    static constexpr int assembleOverrunSeconds = 2;

    EditEngine(VCR& player, VCR& recorder, EditClock& clock, EditProgress& progress);

    // Checks both decks, cues them, prerolls, rolls, records from the recorder's in point to
    // its out point, stops, and cues the recorder to its out point. A text that is not a time
    // code on its deck's base throws InvalidTimeCode before anything is sent.
    EditOutcome autoEdit(const EditRequest& request);
    // The recorder alone records its own input (black, an auxiliary source routed to it) from
    // its in point to its out point: the same checks, cue, preroll, exact edit on and off and
    // outcome texts as an auto edit, with the player left out (its points are not read).
    EditOutcome recorderOnlyEdit(const EditRequest& request);
    // The decks' own preview of the edit.
    EditOutcome preview(const EditRequest& request);

private:
    // Which decks an edit rolls.
    enum class Decks { Both, RecorderAlone };

    EditOutcome edit(const EditRequest& request, Decks decks);
    // The checks both sequences make first; false after the operator's text.
    bool inPointsOk(const EditRequest& request, Decks decks);
    bool modeChosen(const EditRequest& request);
    bool pointsOk(const EditRequest& request, Decks decks);
    // Before anything moves: the edit mode preset taken by the recorder, and the decks that
    // take part able to (not in LOCAL, a tape in, no hard error, the recorder's tape not
    // protected); false after the operator's text.
    bool decksReady(const EditRequest& request, Decks decks);
    bool deckReady(VCR& deck);
    // Waits until the deck is cued and parked, up to waits x ms; false on an abort.
    bool waitCued(VCR& deck, int waits, int ms);
    // Waits until the deck's cue thread has parked it; false on an abort.
    bool waitCueEnded(VCR& deck);
    bool cueBoth(Decks decks);
    bool prerollBoth(Decks decks);
    // Cues, prerolls and rolls; clock-timed when the recorder's time code cannot time it.
    EditOutcome cueAndRoll(const EditRequest& request, Decks decks, bool clockTimed);
    EditOutcome roll(const EditRequest& request, Decks decks, bool clockTimed);
    EditOutcome failed(const std::string& text);

    VCR& player_;
    VCR& recorder_;
    EditClock& clock_;
    EditProgress& progress_;
    // The edit being made is a list run's (EditRequest::unattended).
    bool unattended_ = false;
};
