#pragma once

#include "engine/TapePosition.h"

#include <chrono>
#include <cstdint>

class VCR;
class EditClock;
class EditProgress;

// The timed heart of an edit: both decks roll from their preroll points, the player is
// brought into step with the recorder, and edit on and edit off go to the recorder on the
// frames that make the recording start at its in point and end at its out point. The decks'
// polling stays off their links meanwhile; the roll reads both decks itself and keeps their
// time code displays running. A deck whose time code cannot be followed is timed by the clock
// from the moment play was written.
class EditRoll {
public:
    struct Plan {
        int playIn = 0;            // frames on the player's base
        int recIn = 0;             // frames on the recorder's base
        int playerPreroll = 0;     // frames
        int recorderPreroll = 0;   // frames
        int onTarget = 0;          // the recorder's frame at which recording is to begin, adjusted
        int offTarget = 0;         // the recorder's frame at which recording is to end, adjusted
        int settleFrames = 2;      // after edit off, before the decks stop: the edit delay and two frames
    };
    enum class Ending { Recorded, AbortedBeforeEditOn, AbortedWhileRecording, SyncError };

    EditRoll(VCR& player, VCR& recorder, EditClock& clock, EditProgress& progress, const Plan& plan);

    Ending run();

private:
    using Clock = std::chrono::steady_clock;

    // Starts both decks so that they reach their in points together, the player up to half
    // a frame ahead; the moment the recorder started is kept for the clock-timed roll.
    bool start();
    bool startStaggered(VCR& first, VCR& second, int firstPreroll, int secondPreroll, double lead);
    // The roll timed by the recorder's time code, and the one timed by the clock alone.
    Ending followedRoll();
    Ending timedRoll();
    // Reads both decks once; false when the recorder gave no time code.
    bool readBoth();
    // Checks the player's offset to the recorder against the edit's and nudges the player
    // when it is off; false when it cannot be brought into step.
    bool synchronise(bool& synchronised);
    bool nudge(double gain);
    // Follows the recorder until edit off is near; false on an abort.
    bool approachEditOff();
    bool waitCountingDown(Clock::time_point moment, bool recording);
    Ending editOff(Clock::time_point at);
    Ending abortWhileRecording();
    // A deck's port failed (its adapter pulled): the roll cannot go on.
    bool decksOnline() const;
    Ending deckLost();
    Ending syncError();
    void stopBoth();
    void showCountdown(int framesLeft, bool recording);
    double msPerFrame() const;
    Clock::time_point frameTime(Clock::time_point from, double frames) const;

    VCR& player_;
    VCR& recorder_;
    EditClock& clock_;
    EditProgress& progress_;
    Plan plan_;
    TapePosition playerPosition_;
    TapePosition recorderPosition_;
    bool playerFollowed_ = true;
    Clock::time_point recorderStarted_{};
    int playerMisses_ = 0;
    int nudges_ = 0;
};
