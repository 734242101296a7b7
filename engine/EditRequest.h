#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
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
    // An edit of a list's run, with no one at the panel: the sequence's set pauses, which give
    // the operator time to read, give way to waiting for the decks themselves (parked at the
    // preroll point; out of record), with the same limits.
    bool unattended = false;
};

// The recorder frames an edit really recorded, the first and the one after the last, on the
// recorder's base.
struct RecordedStretch {
    int first = 0;
    int end = 0;
    bool operator==(const RecordedStretch&) const = default;
};

// When a timed command of a roll was meant to go out and when it did: the record of a roll's
// punctuality.
struct TimedWrite {
    std::chrono::steady_clock::time_point planned{};
    std::chrono::steady_clock::time_point written{};
    // How well the recorder's position was known when the command was fired, in frames.
    double spread = 0;
    // The recorder frame the command was meant for, and the one it took effect on.
    int target = 0;
    int landed = 0;
};

struct RollTiming {
    std::optional<TimedWrite> editOn;
    std::optional<TimedWrite> editOff;
    // The roll's thread ran under real-time scheduling.
    bool realTime = false;
};

// How an edit ended. onTape: the recorder confirmed that it recorded the edit from its in
// point to its out point, or past it by overrun frames when edit off came late; the edit log
// takes such an edit, with the frames really recorded.
struct EditOutcome {
    enum class Kind { Completed, Refused, Aborted, Failed };
    Kind kind = Kind::Refused;
    bool onTape = false;
    // Completed on the marked frames, both sides verified: "Edit Completed". A completed edit
    // that is not exact has said what it is instead.
    bool exact = false;
    int overrun = 0;
    // What the recorder recorded, when it recorded anything that is known to the frame.
    std::optional<RecordedStretch> recorded;
    RollTiming timing;
};
