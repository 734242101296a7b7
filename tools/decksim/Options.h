#pragma once

namespace decksim {

// How the virtual decks behave. Frame counts are tape positions at 30 frames per second.
struct Options {
    int replyDelayMs = 2;        // time from a complete block to its reply, 0..8
    int editDelayFrames = 0;     // frames between Edit on/off and the channels entering/leaving record
    int lockFrames = 0;          // frames between Play and moving at play speed
    double seekSpeed = 50.0;     // cueing speed, a multiple of play speed
    int playerStartFrame = 0;
    int recorderStartFrame = 0;
};

}  // namespace decksim
