#pragma once

#include "assembly/AssemblyDecks.h"
#include "assembly/EventEdits.h"
#include "assembly/EventOutcome.h"

#include <functional>

class EditClock;
class VCR;

// A run's events performed on the two decks: the edits EventEdits makes of each (an event on
// BL or AX records the recorder's own input: the run has the operator confirm that it is
// routed), one after the other through EventPerformer.
class DeckEventPerformer : public AssemblyDecks {
public:
    DeckEventPerformer(VCR& player, VCR& recorder, EditClock& clock, RollSettings settings);

    // Told of each edit the recorder confirmed on tape, exact or not (the edit log takes it);
    // empty for none.
    void onEditOnTape(std::function<void(const EditRequest&, const EditOutcome&)> listener);

    EventResult perform(const Event& event, TimeBase labels, EditProgress& progress) override;
    bool stopDecks() override;

private:
    EventResult resultOf(const std::vector<EventEdit>& edits, const EventOutcome& outcome, bool assemble) const;
    // What an event that did not end on tape exactly is reported as.
    EventResult::Kind kindOf(const std::vector<EventEdit>& edits, const EventOutcome& outcome) const;
    std::string abortedText() const;

    VCR& player_;
    VCR& recorder_;
    EditClock& clock_;
    RollSettings settings_;
    std::function<void(const EditRequest&, const EditOutcome&)> onTape_;
};
