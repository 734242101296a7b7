#pragma once

#include "assembly/EventPerformer.h"
#include "engine/EditRequest.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class EditClock;
class VCR;

// What each edit of an event takes from the settings.
struct EventEditSettings {
    int playerPreroll = 0;    // seconds
    int recorderPreroll = 0;  // seconds
    int adjust = 0;           // frames
};

// Performs events on the two decks with the edit engine. Each edit's points are marked on the
// decks (shown as their in and out points, and sent as their presets) before it is made:
// the player's from the line's source in, the recorder's from its record in, both as long as
// the line's record length. A line on a recorder-only source (BL, AX) is an edit of the
// recorder alone.
class DeckEventPerformer : public EventPerformer {
public:
    DeckEventPerformer(VCR& player, VCR& recorder, EditClock& clock, EventEditSettings settings);

    // Told of each edit the recorder confirmed on tape, exact or not (the edit log takes it);
    // empty for none.
    void onEditOnTape(std::function<void(const EditRequest&, const EditOutcome&)> listener);

    EventOutcome perform(const Event& event, TimeBase labels, EditProgress& progress) override;
    bool stopDecks() override;

private:
    struct Edit {
        EditRequest request;
        bool recorderOnly = false;
    };

    // The event's edits: one for a single line, an insert for each line of two. Throws
    // InvalidTimeCode for a point the decks' base has no label for.
    std::vector<Edit> editsOf(const Event& event, TimeBase labels) const;
    Edit editOf(const EditLine& line, std::uint8_t mode, TimeBase labels) const;
    // The deck's in point at a label, and its out point the length after it.
    static std::pair<std::string, std::string> pointsOn(const VCR& deck, const std::string& in, int length);
    static void markPoints(VCR& deck, const std::string& in, const std::string& out);
    EditOutcome make(const Edit& edit, EditProgress& progress);
    // The outcome of an event whose edit did not land exactly, with the engine's last text.
    EventOutcome failedEvent(const EditOutcome& outcome, const std::string& lastText) const;

    VCR& player_;
    VCR& recorder_;
    EditClock& clock_;
    EventEditSettings settings_;
    std::function<void(const EditRequest&, const EditOutcome&)> onTape_;
};
