#pragma once

#include "deck/DeckStatus.h"
#include "deck/TimeBase.h"
#include "engine/EditClock.h"
#include "engine/EditRequest.h"
#include "engine/EditWatchdog.h"
#include "engine/FiringWindow.h"
#include "engine/TapePosition.h"

#include <chrono>
#include <cstdint>
#include <optional>

class VCR;
class EditProgress;

// The timed heart of an edit: both decks roll from their preroll points, the player is
// brought into step with the recorder, and edit on and edit off go to the recorder on the
// frames that make the recording start at its in point and end at its out point. The decks'
// polling stays off their links meanwhile; the roll reads both decks itself (time code, and
// the recorder's status every few frames) and keeps their displays running.
//
// Nothing is taken on trust: each timed command is fired in the middle of its firing window
// and only while that window is still open (edit on) or as soon as it can be (edit off, which
// always goes); a watchdog bounds the recording; the recorder's status must show record
// after edit on and no record after edit off; and the recorder's record guard is armed
// before edit on, so that every way out of the roll leaves the recorder stopped.
class EditRoll {
public:
    struct Plan {
        int playIn = 0;            // frames on the player's base
        int recIn = 0;             // frames on the recorder's base
        int playerPreroll = 0;     // frames
        int recorderPreroll = 0;   // frames
        int onTarget = 0;          // the recorder's frame at which recording is to begin, adjusted
        int offTarget = 0;         // the recorder's frame at which recording is to end, adjusted
        // The frames between the frame a command takes effect on and the frame the recorder
        // enters or leaves record on: the edit adjust, negated.
        int editDelay = 0;
        int settleFrames = 2;      // after edit off, before the decks stop: the edit delay and two frames
        bool clockTimed = false;   // timed by the clock from the moment play was written
        // The recorder records its own input (black, an auxiliary source): the player takes no
        // part, is neither rolled nor stopped, and its link is left to its polling.
        bool recorderOnly = false;
    };
    enum class Ending {
        Recorded,               // on tape from the in point to the out point, or past it by overrun frames
        AbortedBeforeEditOn,
        AbortedWhileRecording,  // recorded holds what the tape has
        SyncError,
        Missed,                 // edit on could no longer reach its frame: not sent
        NothingRecorded,        // the recorder refused edit on, or never entered record
        RecorderDidNotStop,     // the record guard keeps at it
        DeckLost,
        PlayRefused,
        RecorderNotFollowed,    // its time code could not be read: the edit may be clock-timed
        NotConfirmed,           // edit off went, but no status showed whether record began
    };
    struct Result {
        Ending ending = Ending::AbortedBeforeEditOn;
        std::optional<RecordedStretch> recorded;
        int overrun = 0;
        // The player's time code could not be followed: its offset was set by the start alone.
        bool sourceUnverified = false;
        RollTiming timing;
        // Which deck refused play, for the operator.
        bool playerRefused = false;
    };

    EditRoll(VCR& player, VCR& recorder, EditClock& clock, EditProgress& progress, const Plan& plan);

    Result run();

private:
    using Clock = std::chrono::steady_clock;
    enum class EditOn { Written, Missed, Refused, Aborted };

    // Starts both decks so that the player reaches its in point half a frame before the
    // recorder reaches its own; the moment the recorder started is kept for the clock.
    bool start();
    bool startStaggered(VCR& first, VCR& second, int firstPreroll, int secondPreroll, double lead);
    bool startRecorderAlone();
    // Records the moments the decks started, from which their readings place them.
    void noteStarts(Clock::time_point recorderStarted, Clock::time_point playerStarted);
    // The two plays, a fraction of a frame apart or longer; a second play not sent for an
    // abort is left unanswered.
    std::pair<Reply, Reply> startClose(VCR& first, VCR& second, double apart);
    std::pair<Reply, Reply> startApart(VCR& first, VCR& second, double apart);
    Result followedRoll();
    Result timedRoll();
    // One round of readings: the recorder's time code, the player's while it is followed,
    // and every few rounds the recorder's status; false when the recorder gave no time code.
    bool readRound();
    // A deck's time code now, with the window in which the deck sampled its tape.
    std::optional<TapePosition::Reading> readingOf(VCR& deck) const;
    bool readRecorder();
    void readPlayer();
    void readRecorderStatus();
    // A status the recorder sampled from then on may show the recording already ended by
    // edit off (the roll's, or its watchdog's): no record in it proves nothing.
    bool editOffMayHaveGone(Clock::time_point sampledFrom) const;
    // Checks the player's offset to the recorder against the edit's and nudges the player
    // when it is off; false when it cannot be brought into step.
    bool synchronise(bool& synchronised);
    bool nudge(double gain);
    // The offset with both spreads around it lies inside the frame, with a margin.
    bool inStep() const;
    // Fires edit on in its window (or not at all) and records to the out point.
    Result recordFrom(const FiringWindow& window);
    EditOn fireEditOn(const FiringWindow& planned);
    Result recordUntilEditOff();
    Result editOffAndStop(std::optional<FiringWindow> window);
    // Writes edit off until the recorder has taken it (the watchdog's own write counts); the
    // write it took, if any. A write after a refused or lost one goes in the middle of a frame's
    // window, as the first did: the frame it lands on is then known, and so what was recorded.
    std::optional<Reply> writeEditOff();
    // Waits for the middle of the first frame's firing window after the frame given that is
    // still ahead; at once when the position is too vague for any window.
    void waitForAFrameWindowAfter(int frame);
    // The recorder's status after an edit off whose acknowledgement was lost shows that it
    // was carried out.
    bool tookEffect(const Reply& editOff);
    // The frame a command written at that moment takes effect on.
    int landingFrame(Clock::time_point written) const;
    // Reads the recorder's status while it must be recording, when a read fits between the
    // start of the recording and its end; what it shows says whether record began.
    void observeRecording(int recordEnd);
    // Confirms from the recorder's status that it left record; the guard is told.
    bool confirmRecordEnded(int recordEnd);
    Result abortWhileRecording();
    Result deckLost(bool recording);
    Result syncError();
    Result ended(Ending ending);
    bool decksOnline() const;
    bool playerTakesPart() const { return !plan_.recorderOnly; }
    // Stops the recorder, and the player when it takes part.
    void stopBoth();
    // Waits for a timed write, sleeping until the last moments and spinning through them;
    // false on an abort.
    bool waitPunctually(Clock::time_point moment, EditClock::Write which);
    // Waits whatever the operator does: what must happen after edit on cannot be cut short.
    static void waitRegardless(Clock::time_point moment);
    void showCountdown(int framesLeft, bool recording);
    double msPerFrame() const;
    Clock::time_point frameTime(Clock::time_point from, double frames) const;
    // A reading of a deck other than the recorder's time code still ends before the next
    // timed write.
    bool fitsBeforeNextWrite() const;

    VCR& player_;
    VCR& recorder_;
    EditClock& clock_;
    EditProgress& progress_;
    Plan plan_;
    // The recorder's base, fixed for the whole roll: a reply that disagrees with it is a bad
    // reading, never a reason to count frames differently.
    const TimeBase base_;
    TapePosition playerPosition_;
    TapePosition recorderPosition_;
    EditWatchdog watchdog_;
    Result result_;
    bool playerFollowed_ = true;
    bool recorderFollowed_ = false;
    Clock::time_point recorderStarted_{};
    // Readings sampled before these moments do not place the decks: their tapes still
    // gather speed.
    Clock::time_point recorderSteadyFrom_{};
    Clock::time_point playerSteadyFrom_{};
    int playerMissesInARow_ = 0;
    int rounds_ = 0;
    Clock::time_point nextWrite_ = Clock::time_point::max();
    int nudges_ = 0;
    // After edit on: the frame it took effect on, and what the recorder's status showed.
    int onLanded_ = 0;
    Clock::time_point onWritten_{};
    bool recordSeen_ = false;
    bool recordMissing_ = false;
    // Edit off is being written, or the watchdog may write it from that moment.
    bool editOffWriting_ = false;
    Clock::time_point watchdogDeadline_ = Clock::time_point::max();
};
