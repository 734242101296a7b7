#pragma once

#include "tools/decksim/TimeBase.h"

#include <optional>

namespace decksim {

// How the virtual decks behave. Frame counts are tape positions in frames of the time base.
// Every line fault is off by default.
struct Options {
    int replyDelayMs = 2;        // time from a complete block to its reply, 0..8
    int editDelayFrames = 0;     // frames between Edit on/off and the channels entering/leaving record
    int lockFrames = 0;          // frames between Play and moving at play speed, for both decks
    double seekSpeed = 50.0;     // cueing speed, a multiple of play speed
    int playerStartFrame = 0;
    int recorderStartFrame = 0;
    TimeBase timeBase = TimeBase::fps30;
    // A USB serial adapter's latency timer: each reply reaches the controller in up to two
    // pieces, the last this long after the deck sent it; 0 delivers at once.
    int adapterLatencyMs = 0;
    int nakEvery = 0;            // every Nth block a deck receives earns a checksum NAK and is not carried out
    int garbleEvery = 0;         // every Nth reply of a deck has one byte changed
    bool echo = false;           // the line echoes each block the controller sends, before its reply
    std::optional<int> playerLockFrames = std::nullopt;    // overrides lockFrames for the player
    std::optional<int> recorderLockFrames = std::nullopt;  // overrides lockFrames for the recorder
    bool noVarispeed = false;    // the decks answer variable-speed play as an undefined command
};

}  // namespace decksim
