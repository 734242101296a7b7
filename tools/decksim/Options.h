#pragma once

#include "tools/decksim/Refusals.h"
#include "tools/decksim/TimeBase.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace decksim {

// How the virtual decks behave. Frame counts are tape positions in frames of the time base.
// Every line fault and every deck fault is off by default.
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

    // Decks that will not do what they are told.
    std::vector<Refusal> refusals = {};  // each answered with the undefined-command NAK, not carried out
    bool recordInhibit = false;  // the recorder's tape is write-protected: it records nothing
    bool playerLocal = false;    // the deck is switched to LOCAL: it refuses all but sense requests
    bool recorderLocal = false;
    bool playerNoTape = false;   // no cassette in the deck: nothing moves
    bool recorderNoTape = false;

    // Timing that is not ideal.
    int sampleDelayMs = 0;       // a sense reply reads the deck 0..N ms (0..9) after its request
    std::uint64_t seed = 1;      // of the pseudo-random sample moments, so that runs repeat
    int lateEvery = 0;           // every Nth reply of a deck is sent lateMs late
    int lateMs = 0;
    bool lockRamp = false;       // after Play the speed ramps up over the lock frames
    int dfFlagDropoutEvery = 0;  // on a drop-frame base, every Nth time code reply lacks the flag
    bool flagBits = false;       // time data carry the flag bits a controller must mask

    // The player's reels (see ReelNames); none named: the one reel "001".
    std::vector<std::string> playerReels = {};
};

}  // namespace decksim
