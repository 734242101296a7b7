#pragma once

#include "engine/EditRequest.h"

#include <optional>
#include <string>
#include <vector>

// How the performance of an event ended: the outcome of each edit that was begun, in order,
// and, when one did not reach the tape as planned, which.
struct EventOutcome {
    // Completed when every edit completed; otherwise the kind of the edit that stopped it.
    EditOutcome::Kind kind = EditOutcome::Kind::Refused;
    std::vector<EditOutcome> edits;
    // The edit (an index into the event's edits) that stopped the event; nothing when all ran.
    std::optional<std::size_t> stoppedAt;
    // What the operator was told of it; when every edit completed, what the first edit that
    // was not exact was told (empty when all were exact).
    std::string text;

    // Every planned edit was confirmed on the tape by the recorder.
    bool allOnTape(std::size_t planned) const
    {
        if (edits.size() != planned)
            return false;
        for (const EditOutcome& edit : edits) {
            if (!edit.onTape)
                return false;
        }
        return true;
    }
    // Every planned edit completed on its marked frames.
    bool exact(std::size_t planned) const
    {
        if (kind != EditOutcome::Kind::Completed || edits.size() != planned)
            return false;
        for (const EditOutcome& edit : edits) {
            if (!edit.exact)
                return false;
        }
        return true;
    }
};
