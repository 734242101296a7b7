#pragma once

#include "tools/decksim/Channels.h"
#include "tools/decksim/StatusBits.h"
#include "tools/decksim/TapeMotion.h"
#include "tools/decksim/TimeBase.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace decksim {

// What one deck is set up with.
struct DeckSettings {
    double seekSpeed = 50.0;
    int lockFrames = 0;
    int editDelayFrames = 0;
    int startFrame = 0;
    TimeBase timeBase = TimeBase::fps30;
    bool lockRamp = false;       // the speed ramps up over the lock frames instead of a step at their end
    bool cassetteIn = true;
    bool recordInhibit = false;  // the cassette is write-protected
    int reels = 1;               // the tapes the deck can be given, each with its own position
};

// One tape deck: transport, cueing, the preroll/preview/review/auto edit sequences, edit
// on/off, presets and the status bits. Every operation takes the moment it happens; the
// caller first runs the deck's own events up to that moment (runEventsUntil), so that
// state and position are exact at any time without ticking.
class Deck {
public:
    static constexpr double windSpeed = 50.0;
    static constexpr double topShuttleSpeed = 50.0;
    static constexpr int postrollFrames = 60;
    static constexpr int defaultPrerollSeconds = 5;
    static constexpr std::int64_t ejectMicros = 1'000'000;
    static constexpr std::int64_t noEvent = INT64_MAX;

    Deck(const DeckSettings& settings, std::int64_t now);

    void stop(std::int64_t now);
    void play(std::int64_t now);
    void record(std::int64_t now);
    void setStandby(std::int64_t now, bool on);
    void eject(std::int64_t now);
    void fastForward(std::int64_t now);
    void rewind(std::int64_t now);
    void jog(std::int64_t now, bool reverse, std::uint8_t speedByte);
    void shuttle(std::int64_t now, bool reverse, std::uint8_t speedByte);
    // Variable-speed play near play speed, which controllers use to bring two decks into step.
    void varispeed(std::int64_t now, bool reverse, std::uint8_t speedByte);
    void cueUp(std::int64_t now, int frame);
    void preroll(std::int64_t now);
    void preview(std::int64_t now);
    void review(std::int64_t now);
    void autoEdit(std::int64_t now);
    void editOn(std::int64_t now);
    void editOff(std::int64_t now);
    // Switched off and on again: stopped, no edit preset, no points, the default preroll;
    // the cassette, its position and the deck's switches stay as they were.
    void powerCycle(std::int64_t now);
    // Another of the deck's reels goes in, at the position it was taken out at (its start,
    // the first time): the deck stops there.
    void mount(std::int64_t now, int reel);

    void setFullEE(bool on) { fullEE_ = on; }
    void setEditPreset(std::uint8_t preset) { editPreset_ = preset; }
    void setInPoint(int frame) { inPoint_ = frame; }
    void setOutPoint(int frame) { outPoint_ = frame; }
    void setPrerollFrames(int frames) { prerollFrames_ = frames; }
    void setTimeMode(std::uint8_t mode) { timeMode_ = mode; }
    void setNoCue(bool noCue) { noCue_ = noCue; }
    // The REMOTE/LOCAL switch: shown in the status; the protocol refuses what LOCAL refuses.
    void setLocal(bool local) { local_ = local; }
    bool local() const { return local_; }
    // The cassette's write-protect, as the operator sets it between recordings: it holds for
    // the next record or edit on.
    void setRecordInhibit(bool inhibit) { settings_.recordInhibit = inhibit; }

    // The deck's next own state change (play lock, cue arrival, tape end, edit delay,
    // sequence points), or noEvent.
    std::int64_t nextEventTime() const;
    void runEventsUntil(std::int64_t time);

    std::int64_t positionTicksAt(std::int64_t time) const { return motion_.positionAt(time); }
    int positionFrameAt(std::int64_t time) const;
    // The frame a time code request reads: the tape's, or without a tape the last one read
    // (00:00:00:00 on a deck that never had one).
    int timeCodeFrameAt(std::int64_t time) const;
    // The frame the deck outputs at that time, or -1 without a tape.
    int outputFrameAt(std::int64_t time) const;
    StatusBits statusAt(std::int64_t time) const;

    // Moving forward at play speed, so that it can record.
    bool rollingAtPlaySpeed() const { return mode_ == Mode::Play && locked_; }
    ChannelSet recordingChannels() const;
    const TapeMotion& motion() const { return motion_; }

    std::uint8_t editPreset() const { return editPreset_; }
    int prerollFrames() const { return prerollFrames_; }
    std::optional<int> inPoint() const { return inPoint_; }
    std::optional<int> outPoint() const { return outPoint_; }
    std::uint8_t timeMode() const { return timeMode_; }
    int reel() const { return reel_; }

    TimeBase timeBase() const { return settings_.timeBase; }
    // The frame that carries the label 02:00:00:00.
    int tapeEndFrame() const { return tapeEndFrame_; }
    std::int64_t framesToMicros(std::int64_t frames) const { return settings_.timeBase.framesToMicros(frames); }

    static double speedFromByte(std::uint8_t speedByte);

private:
    enum class Mode { Stop, Still, Play, Var, FastForward, Rewind, Jog, Shuttle, Search };
    enum class Cassette { Loaded, Ejecting, Out };
    enum class SequenceKind { None, Preroll, Preview, Review, AutoEdit };
    enum class Phase { Cueing, Rolling, Postroll };
    enum class EventKind { EjectDone, RampStep, LockEnd, SearchArrival, TapeEnd, EditChange, SequenceIn, SequenceOut, PostrollEnd };

    struct Event {
        std::int64_t time;
        EventKind kind;
    };
    struct Sequence {
        SequenceKind kind = SequenceKind::None;
        Phase phase = Phase::Cueing;
        int in = 0;
        int out = 0;
        ChannelSet channels = 0;
        bool passedIn = false;
    };
    struct PendingEdit {
        std::int64_t time;
        bool on;
        ChannelSet channels;
    };
    struct EditRange {
        int in;
        int out;
    };

    std::optional<Event> nextEvent() const;
    void consider(std::optional<Event>& earliest, std::optional<std::int64_t> time, EventKind kind) const;
    void apply(const Event& event);
    void arriveAtSearchTarget(std::int64_t now);

    bool hasTape() const { return cassette_ == Cassette::Loaded; }
    void enterMotion(std::int64_t now, Mode mode, double speed);
    void startPlay(std::int64_t now);
    // The speed in step k of the ramp to play speed; 0 while a deck without a ramp locks.
    double rampSpeed(int step) const;
    bool ramping() const { return settings_.lockRamp && settings_.lockFrames > 0; }
    void startSearch(std::int64_t now, int target, Sequence sequence);
    void startSequence(std::int64_t now, SequenceKind kind, int in, int out);
    void endRecording(std::int64_t now);
    void cancelSequence(std::int64_t now);
    void parkAt(std::int64_t now, std::int64_t ticks, Mode mode);
    // Keeps the range of the last edit (for review) as recording starts and ends.
    void noteRecording(std::int64_t now, bool wasRecording);
    bool recording() const { return recordAll_ || editEngaged_ || sequenceChannels_ != 0; }
    int nextFrameBoundary(std::int64_t now) const;
    int clampToTape(int frame) const;
    std::int64_t tapeEndTicks() const;

    DeckSettings settings_;
    int tapeEndFrame_;
    TapeMotion motion_;
    std::int64_t now_;
    Mode mode_ = Mode::Stop;
    Cassette cassette_ = Cassette::Loaded;
    std::int64_t ejectDoneAt_ = 0;
    bool standbyOn_ = true;
    bool locked_ = false;
    std::int64_t lockAt_ = 0;
    std::int64_t rampStart_ = 0;
    int rampStep_ = 0;
    bool local_ = false;
    int heldTimeCodeFrame_ = 0;
    int reel_ = 0;
    // Where each reel was taken out; the mounted reel's entry is stale while it is in.
    std::vector<std::int64_t> reelTicks_;
    int searchTarget_ = 0;
    bool cueUpComplete_ = false;
    bool noCue_ = false;
    Sequence sequence_;
    bool recordAll_ = false;
    bool editEngaged_ = false;
    ChannelSet editChannels_ = 0;
    std::deque<PendingEdit> pendingEdits_;
    ChannelSet sequenceChannels_ = 0;
    bool selectEE_ = false;
    bool fullEE_ = false;
    int recordStart_ = 0;
    std::optional<EditRange> lastEdit_;
    std::uint8_t editPreset_ = 0;
    std::optional<int> inPoint_;
    std::optional<int> outPoint_;
    int prerollFrames_;
    std::uint8_t timeMode_ = 0;
};

}  // namespace decksim
