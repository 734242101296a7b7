#pragma once

#include "engine/EditRequest.h"

class VCR;
class EditClock;
class EditProgress;

// The auto edit and preview sequences, free of widgets: the engine drives the two decks
// through the steps of an edit and reports what happens through its progress listener.
// Tests and benchmarks drive it directly; the edit panel drives it and shows what it reports.
class EditEngine {
public:
    EditEngine(VCR& player, VCR& recorder, EditClock& clock, EditProgress& progress);

    // Cue both decks, preroll, roll, record from the recorder's in point to its out point,
    // stop, and cue the recorder to its out point. A text that is not a time code on its
    // deck's base throws InvalidTimeCode before anything is sent.
    EditOutcome autoEdit(const EditRequest& request);
    // The decks' own preview of the edit.
    EditOutcome preview(const EditRequest& request);

private:
    // The checks both sequences make first; false after the operator's text.
    bool inPointsOk(const EditRequest& request);
    bool modeChosen(const EditRequest& request);
    // Waits until the deck is cued and parked, up to waits x ms; false on an abort.
    bool waitCued(VCR& deck, int waits, int ms);
    // Waits until the deck's cue thread has parked it; false on an abort.
    bool waitCueEnded(VCR& deck);
    bool cueBoth();
    bool prerollBoth();
    EditOutcome roll(const EditRequest& request);

    VCR& player_;
    VCR& recorder_;
    EditClock& clock_;
    EditProgress& progress_;
};
