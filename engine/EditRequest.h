#pragma once

#include <cstdint>
#include <string>

// Everything an edit uses, taken when it is asked for: the points of both decks, the edit
// mode, the prerolls and the edit adjust. What the operator does meanwhile changes none of it.
struct EditRequest {
    std::string playIn, playOut, recIn, recOut;
    std::uint8_t mode = 0;
    int playerPreroll = 0;    // seconds
    int recorderPreroll = 0;  // seconds
    // Frames added to the moment edit on and edit off are sent: a recorder that enters
    // record N frames after edit on is compensated by -N.
    int adjust = 0;
};

// How an edit ended, and whether the recorder's tape holds it (edit off was sent in time).
struct EditOutcome {
    enum class Kind { Completed, Refused, Aborted };
    Kind kind = Kind::Refused;
    bool onTape = false;
};
