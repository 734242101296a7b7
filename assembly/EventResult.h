#pragma once

#include "engine/EditRequest.h"

#include <string>
#include <vector>

// How one event of a run went on the decks.
struct EventResult {
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
