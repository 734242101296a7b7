#pragma once

#include <string>

// How an edit line comes in: a cut, or over a number of frames a dissolve, a wipe (with its
// pattern number) or a key. Kestrix performs cuts; the others are kept and shown.
struct Transition {
    enum class Kind { Cut, Dissolve, Wipe, Key };

    Kind kind = Kind::Cut;
    int wipeCode = 0;
    // A key's line: 'B' for the background under the key, 'O' for a key out, ' ' for the key.
    char keyLayer = ' ';
    // Frames; a cut has none.
    int duration = 0;

    // "C", "D", "W001", "K", "K B" or "K O": at most four characters unless the wipe code
    // passes 999.
    std::string fieldText() const;
    // Three digits, or blank: a cut has no duration, and a key shows one only when it has one.
    std::string durationText() const;

    bool operator==(const Transition&) const = default;
};
