// A long run of short auto edits on the product's own paths: the edit panel's DO EDIT and ALL
// STOP pressed as their keys press them, performed on the operator thread, each edit logged
// by the panel in edl.txt; on virtual decks behind USB adapters whose lines refuse (NAK) and
// garble now and then. ALL STOP is pressed at a random moment in one edit out of ten, and each
// deck is unplugged for 3 s once and plugged back. The recorder refuses edit off now and then
// (a few times, or more than the edit tries, so that its record guard must stop it), and is
// pulled out while it records, one edit in a hundred, for 2 s; its cassette is write-protected
// before one edit in fifty, which must then be refused before anything moves. Every edit is checked on the
// recorder's tape, the log against the tape, and the process's resident memory and threads
// from the start to the end.
//
//   bench_soak [--check] [edits] [seed]
//
// 500 edits by default; a seed is drawn when none is given, and printed: a run can be
// repeated. With --check the run fails (status 1) on any fault: a logged edit that is not
// exactly as it says on the tape (or not on it at all), an edit logged twice, "Edit Completed"
// for an edit the tape does not show exactly, a completed edit not logged, a recording where
// no edit was, a recorder still recording once its guard has let go, frames recorded past an
// edit's end beyond what the record guard reported, a recording that went on more than a
// second past ALL STOP, an edit on a write-protected cassette that is not refused with its
// text or that recorded anything. A crash ends the run as crashes do.
#include "deck/LongWaits.h"
#include "deck/RecordGuard.h"
#include "tests/e2e/EditRig.h"
#include "tools/decksim/DeckCommand.h"
#include "tools/decksim/TimeCode.h"
#include "ui/Gui.h"

#include <QApplication>

#include <atomic>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using decksim::Role;
using SteadyClock = std::chrono::steady_clock;
using Segment = EditRig::Segment;

namespace {

const decksim::Options faultyDecks = [] {
    decksim::Options options;
    options.replyDelayMs = 0;
    options.adapterLatencyMs = 16;
    options.nakEvery = 50;
    options.garbleEvery = 70;
    return options;
}();

constexpr std::uint8_t insertAll = 0x53;
constexpr std::uint8_t assemble = 0x20;
constexpr int progressEvery = 50;
constexpr int editsPerAbort = 10;
constexpr auto unpluggedFor = std::chrono::seconds(3);
constexpr std::uint8_t recordBit = 0x02;  // status byte 1
// A thread that said it has finished is gone from the process this soon.
constexpr auto threadExit = std::chrono::milliseconds(200);

// One edit's points, in frames.
struct Points {
    std::uint8_t mode;
    int playIn;
    int recIn;
    int length;
    int overrun;  // what an assemble edit records past its out point

    int recEnd() const { return recIn + length + overrun; }  // one past the last frame recorded
};

// Edits of 1 s to 5 s one after the other on each tape, so cues stay short and no recording
// touches another; in points fall on any frame.
class Layout {
public:
    explicit Layout(int labelsPerSecond) : labels_(labelsPerSecond) {}

    Points next(std::mt19937& random)
    {
        const std::uint8_t mode = std::bernoulli_distribution()(random) ? insertAll : assemble;
        const int length = std::uniform_int_distribution(labels_, 5 * labels_)(random);
        const int overrun = mode == assemble ? 2 * labels_ : 0;
        std::uniform_int_distribution skew(0, labels_ - 1);
        const int playIn = playerCursor_ + skew(random);
        const int recIn = recorderCursor_ + skew(random);
        playerCursor_ = playIn + length + gapSeconds * labels_;
        recorderCursor_ = recIn + length + overrun + gapSeconds * labels_;
        return {mode, playIn, recIn, length, overrun};
    }

    // The next recording starts well after a frame the recorder reached on its own.
    void recorderPast(int frame) { recorderCursor_ = std::max(recorderCursor_, frame + gapSeconds * labels_); }

private:
    // Room for the next edit's preroll, and to keep each edit's segment apart.
    static constexpr int gapSeconds = 3;
    int labels_;
    int playerCursor_ = 10 * labels_;
    int recorderCursor_ = 10 * labels_;
};

enum class Disturbance {
    None,
    AllStop,
    UnplugPlayer,
    UnplugRecorder,
    RefuseEditOff,
    PullRecorderWhileRecording,
    RecordInhibit,
};

constexpr int editsPerRefusedEditOff = 25;
constexpr int editsPerPullWhileRecording = 100;
constexpr int editsPerRecordInhibit = 50;
// Edit off refused this many times in a row: fewer than the edit tries, or more.
constexpr int refusalsTheEditOutlasts = 2;
constexpr int refusalsTheGuardMustOutlast = 8;
constexpr auto pulledWhileRecordingFor = std::chrono::seconds(2);

// ALL STOP in one edit of each ten; the player unplugged at 30 % of the run, the recorder at
// 70 % (edits 150 and 350 of 500); edit off refused in one edit of each 25, the recorder pulled
// out while it records in one of each 100, the cassette write-protected in one of each 50.
std::vector<Disturbance> disturbances(int edits, std::mt19937& random)
{
    std::vector<Disturbance> planned(edits, Disturbance::None);
    const auto scatter = [&](int every, Disturbance disturbance) {
        for (int first = 0; first + every <= edits; first += every) {
            int at = std::uniform_int_distribution(first, first + every - 1)(random);
            while (planned[at] != Disturbance::None && at + 1 < first + every)
                ++at;
            if (planned[at] == Disturbance::None)
                planned[at] = disturbance;
        }
    };
    scatter(editsPerAbort, Disturbance::AllStop);
    scatter(editsPerRefusedEditOff, Disturbance::RefuseEditOff);
    scatter(editsPerPullWhileRecording, Disturbance::PullRecorderWhileRecording);
    scatter(editsPerRecordInhibit, Disturbance::RecordInhibit);
    planned[edits * 3 / 10] = Disturbance::UnplugPlayer;
    planned[edits * 7 / 10] = Disturbance::UnplugRecorder;
    return planned;
}

// Serves the GUI thread's events until the condition holds or the limit passes.
bool serveUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    return QTest::qWaitFor(condition, static_cast<int>(limit.count()));
}

// Runs an action on a thread of its own a while after an edit began; an action not begun
// when the edit ends is dropped. The action may wait for the GUI thread, which the edit's
// waits keep serving.
class DuringEdit {
public:
    DuringEdit(SteadyClock::duration after, std::function<void()> action)
        : due_(SteadyClock::now() + after), action_(std::move(action)), thread_([this] { run(); })
    {
    }
    ~DuringEdit() { finish(); }
    DuringEdit(const DuringEdit&) = delete;
    DuringEdit& operator=(const DuringEdit&) = delete;

    // Called on the GUI thread when the edit has ended; serves its events until an action
    // under way is over. True when the action ran.
    bool finish()
    {
        {
            std::lock_guard lock(mutex_);
            ended_ = true;
        }
        wake_.notify_all();
        serveUntil([this] { return done_.load(); }, std::chrono::minutes(1));
        if (thread_.joinable())
            thread_.join();
        return ran_;
    }

private:
    void run()
    {
        {
            std::unique_lock lock(mutex_);
            if (!wake_.wait_until(lock, due_, [this] { return ended_; })) {
                lock.unlock();
                action_();
                ran_ = true;
            }
        }
        done_ = true;
    }

    SteadyClock::time_point due_;
    std::function<void()> action_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool ended_ = false;
    std::atomic<bool> ran_{false};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// /proc/self/status figures: resident memory in kB, threads.
long procStatus(const char* key)
{
    std::ifstream status("/proc/self/status");
    const std::size_t keyLength = std::strlen(key);
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, keyLength, key) == 0 && line.size() > keyLength && line[keyLength] == ':')
            return std::atol(line.c_str() + keyLength + 1);
    }
    return -1;
}

struct Usage {
    long rssKb = procStatus("VmRSS");
    long threads = procStatus("Threads");
};

// Frames a recording lies off its marked points; 0 is exact.
struct Errors {
    int recIn;
    int recOut;
    int source;

    bool exact() const { return recIn == 0 && recOut == 0 && source == 0; }
};

std::vector<Segment> segmentsNear(const std::vector<Segment>& all, const Points& points, int margin)
{
    std::vector<Segment> near;
    for (const Segment& segment : all) {
        if (segment.recLast >= points.recIn - margin && segment.recFirst < points.recEnd() + margin)
            near.push_back(segment);
    }
    return near;
}

Errors errorsOf(const Segment& made, const Points& points)
{
    const int offset = points.playIn - points.recIn;
    const int sourceIn = made.srcFirst - made.recFirst - offset;
    const int sourceOut = made.srcLast - made.recLast - offset;
    return {made.recFirst - points.recIn, made.recLast + 1 - points.recEnd(),
            std::abs(sourceIn) >= std::abs(sourceOut) ? sourceIn : sourceOut};
}

// The edit's errors when it is on the tape as one segment with the mode's channels.
std::optional<Errors> wholeOnTape(const std::vector<Segment>& near, const Points& points)
{
    if (near.size() != 1 || near.front().channels != "V,A1,A2")
        return std::nullopt;
    return errorsOf(near.front(), points);
}

bool exactOnTape(const std::vector<Segment>& near, const Points& points)
{
    const auto errors = wholeOnTape(near, points);
    return errors && errors->exact();
}

// Completed: "Edit Completed"; Reported: completed and logged, not exact, saying so ("EDIT
// OVERRAN BY n FRAMES"); Failed: "EDIT FAILED - ...", nothing logged.
enum class Outcome { Completed, Reported, Failed, Aborted, NotMade };

const char* outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Completed:
        return "completed";
    case Outcome::Reported:
        return "completed, reported not exact";
    case Outcome::Failed:
        return "failed";
    case Outcome::Aborted:
        return "aborted";
    case Outcome::NotMade:
        return "not made";
    }
    return "?";
}

struct Tally {
    int completed = 0;
    int completedExact = 0;
    int aborted = 0;                // by ALL STOP
    int mostFramesPastPress = 0;
    int allStopsAfterTheEdit = 0;   // the edit was over before the moment came
    int lostDeck = 0;               // aborted by an unplugged deck
    int notMade = 0;                // refused before anything was recorded
    int inhibitedRefused = 0;       // write-protected cassette, refused with its text
    int reported = 0;               // completed not exactly, and said so
    int failed = 0;                 // EDIT FAILED, the guard stopping the recorder
    std::vector<double> backToStoppedMs;  // a pulled recorder plugged back, until out of record
};

// An edit log line's edit number, player in point and recorder in and out points (the columns
// the panel writes).
struct LogLine {
    int number;
    std::string playIn;
    std::string recIn;
    std::string recOut;
};

std::optional<LogLine> parseLogLine(const std::string& line)
{
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string word; fields >> word;)
        words.push_back(word);
    if (words.size() < 5)
        return std::nullopt;
    return LogLine{std::atoi(words.front().c_str()), words[words.size() - 4], words[words.size() - 2],
                   words.back()};
}

class Soak {
public:
    Soak(int edits, unsigned seed)
        : edits_(edits), random_(seed), rig_({.decks = faultyDecks, .preroll = 1}), layout_(labels()),
          planned_(disturbances(edits, random_))
    {
        points_.reserve(edits);
        outcomes_.reserve(edits);
        rig_.decks.clearTrace();
    }

    void run()
    {
        start_ = Usage();
        const auto began = SteadyClock::now();
        std::printf("start: RSS %ld kB, %ld threads; edit log %s\n", start_.rssKb, start_.threads,
                    (rig_.folder / "edl.txt").c_str());
        for (int index = 0; index < edits_; ++index) {
            performEdit(index);
            if ((index + 1) % progressEvery == 0 || index + 1 == edits_)
                report(index + 1, began);
        }
    }

    // Every fault found, one line each.
    const std::vector<std::string>& faults() const { return faults_; }

private:
    int labels() const { return faultyDecks.timeBase.labelsPerSecond(); }
    std::string label(int frame) const { return decksim::TimeCode::format(frame, faultyDecks.timeBase); }

    void fault(int index, const std::string& what)
    {
        faults_.push_back("edit " + std::to_string(index + 1) + ": " + what);
        std::printf("  FAULT %s\n", faults_.back().c_str());
    }

    // A cue's thread holds the deck's panel 2 s after parking it; the thread count at the end
    // is taken once the last cues' threads are over.
    void waitForCueThreads()
    {
        for (VCR* deck : {rig_.player.get(), rig_.recorder.get()})
            serveUntil([deck] { return !deck->cueInProgress(); }, std::chrono::seconds(10));
        serveUntil([] { return false; }, std::chrono::duration_cast<std::chrono::milliseconds>(threadExit));
    }

    void performEdit(int index)
    {
        const Points points = layout_.next(random_);
        points_.push_back(points);
        recordedUpTo_.push_back(points.recEnd());
        recorderBackAt_.reset();
        chooseMode(points.mode);
        rig_.setPoints(*rig_.player, label(points.playIn), label(points.playIn + points.length));
        rig_.setPoints(*rig_.recorder, label(points.recIn), label(points.recIn + points.length));
        rig_.statusHistory.clear();
        const Disturbance disturbance = planned_[index];
        int pressedAt = 0;
        std::optional<DuringEdit> during;
        if (disturbance == Disturbance::RefuseEditOff)
            refuseEditOff();
        else if (disturbance == Disturbance::RecordInhibit)
            rig_.decks.setRecordInhibit(Role::Recorder, true);
        else if (disturbance == Disturbance::PullRecorderWhileRecording)
            during.emplace(momentWhileRecording(points), [this] { pullRecorderWhileRecording(); });
        else if (disturbance != Disturbance::None)
            during.emplace(randomMoment(points), actionOf(disturbance, pressedAt));
        const auto began = SteadyClock::now();
        rig_.panel().bautostart.click();
        ui::OperatorThread::instance().waitUntilIdle();
        const auto took = SteadyClock::now() - began;
        // A cassette write-protected before the edit disturbs it whatever happens; the others only
        // when their moment came while it ran.
        const bool disturbed = disturbance == Disturbance::RecordInhibit || (during && during->finish());
        // What the disturbance pressed is performed, and what the panel showed has reached its
        // widgets, before anything is looked at.
        ui::OperatorThread::instance().waitUntilIdle();
        QCoreApplication::processEvents();
        const Outcome outcome = outcomeShown();
        outcomes_.push_back(outcome);
        settle(disturbance, disturbed, index);
        allowForAPulledRecorder(index);
        check(index, points, outcome, disturbed ? disturbance : Disturbance::None, pressedAt);
        if (disturbance == Disturbance::AllStop && !disturbed)
            ++tally_.allStopsAfterTheEdit;
        if (!disturbed && outcome == Outcome::Completed)
            learnOverhead(took, points);
        // The virtual decks' trace of blocks is theirs, not the controller's: it is not let grow.
        rig_.decks.clearTrace();
    }

    // Presses the mode buttons as the operator does until the mode is the one wanted.
    void chooseMode(std::uint8_t mode)
    {
        for (int press = 0; press < 3 && EVCRPanel::emode != mode; ++press) {
            rig_.panel().bassemble.click();
            ui::OperatorThread::instance().waitUntilIdle();
        }
    }

    Outcome outcomeShown() const
    {
        if (rig_.statusShown("Edit Completed"))
            return Outcome::Completed;
        if (rig_.statusShown("EDIT ABORTED"))
            return Outcome::Aborted;
        const auto shown = [this](const std::string& start) {
            return std::any_of(rig_.statusHistory.begin(), rig_.statusHistory.end(),
                               [&start](const std::string& text) { return text.rfind(start, 0) == 0; });
        };
        if (shown("EDIT OVERRAN BY "))
            return Outcome::Reported;
        if (shown("EDIT FAILED - "))
            return Outcome::Failed;
        return Outcome::NotMade;
    }

    // A moment within the edit: its cueing and set pauses, as fast as seen so far, and its
    // recording.
    SteadyClock::duration randomMoment(const Points& points)
    {
        const double recorded = static_cast<double>(points.length + points.overrun) / labels();
        const double span = std::chrono::duration<double>(fastestOverhead_).count() + recorded;
        return std::chrono::duration_cast<SteadyClock::duration>(
            std::chrono::duration<double>(std::uniform_real_distribution(0.0, span)(random_)));
    }

    // A moment within the recording: after the edit's cueing and set pauses, as slow as seen
    // so far, and before its out point.
    SteadyClock::duration momentWhileRecording(const Points& points)
    {
        const double recorded = static_cast<double>(points.length) / labels();
        const double into = std::uniform_real_distribution(0.2, std::max(0.3, recorded - 0.3))(random_);
        return slowestOverhead_ + std::chrono::duration_cast<SteadyClock::duration>(std::chrono::duration<double>(into));
    }

    void refuseEditOff()
    {
        refusedEditOffs_ = std::exchange(alternate_, !alternate_) ? refusalsTheGuardMustOutlast : refusalsTheEditOutlasts;
        rig_.decks.refuse(Role::Recorder, decksim::DeckCommand::EditOff, refusedEditOffs_);
    }

    // The last frame recorded over or after the edit's stretch.
    int lastRecorded(const Points& points) const
    {
        int last = -1;
        for (const Segment& segment : segmentsNear(rig_.segments(), points, 30 * labels()))
            if (segment.recFirst >= points.recIn - labels())
                last = std::max(last, segment.recLast);
        return last;
    }

    // Pulled out while it records, and plugged back: the time until it is out of record.
    void pullRecorderWhileRecording()
    {
        rig_.decks.unplug(Role::Recorder);
        std::this_thread::sleep_for(pulledWhileRecordingFor);
        recorderBackAt_ = rig_.decks.positionFrames(Role::Recorder);
        const auto back = SteadyClock::now();
        rig_.decks.plugBack(Role::Recorder);
        const auto until = back + std::chrono::seconds(5);
        while ((rig_.decks.statusBytes(Role::Recorder)[1] & recordBit) != 0 && SteadyClock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        tally_.backToStoppedMs.push_back(std::chrono::duration<double, std::milli>(SteadyClock::now() - back).count());
    }

    void learnOverhead(SteadyClock::duration took, const Points& points)
    {
        const auto recorded = std::chrono::duration<double>(static_cast<double>(points.length + points.overrun) / labels());
        const auto overhead = took - std::chrono::duration_cast<SteadyClock::duration>(recorded);
        fastestOverhead_ = std::min(fastestOverhead_, overhead);
        slowestOverhead_ = std::max(slowestOverhead_, overhead);
    }

    std::function<void()> actionOf(Disturbance disturbance, int& pressedAt)
    {
        if (disturbance == Disturbance::AllStop)
            return [this, &pressedAt] { allStop(pressedAt); };
        const Role role = disturbance == Disturbance::UnplugPlayer ? Role::Player : Role::Recorder;
        return [this, role] { unplugAWhile(role); };
    }

    // ALL STOP as its key presses it: the edit panel's button, clicked on the GUI thread.
    void allStop(int& pressedAt)
    {
        ui::Gui::call([this, &pressedAt] {
            pressedAt = rig_.decks.positionFrames(Role::Recorder);
            rig_.panel().ballstop.click();
        });
    }

    void unplugAWhile(Role role)
    {
        rig_.decks.unplug(role);
        std::this_thread::sleep_for(unpluggedFor);
        if (role == Role::Recorder)
            recorderBackAt_ = rig_.decks.positionFrames(Role::Recorder);
        rig_.decks.plugBack(role);
    }

    // A recorder pulled out while it recorded records on until it is back, out of anyone's
    // reach; once back it must leave record within the second it takes to be found again.
    // The next edit is laid out past that.
    void allowForAPulledRecorder(int index)
    {
        if (recorderBackAt_)
            recordedUpTo_[index] = std::max(recordedUpTo_[index], *recorderBackAt_ + 2 * labels());
        // A recorder that refused edit off records on until its guard has stopped it, as far as
        // the guard says: not a frame further.
        if (const auto past = rig_.recorder->recordGuard().framesPastTheEnd(); past && rig_.statusShown(RecordGuard::alarmText)) {
            const int end = points_[index].recEnd();
            const int recordedTo = lastRecorded(points_[index]) + 1;
            if (recordedTo > end + *past + 1)
                fault(index, "recorded " + std::to_string(recordedTo - end) + " frames past its end, the guard said "
                                 + std::to_string(*past));
            recordedUpTo_[index] = std::max(recordedUpTo_[index], end + *past + labels());
        }
        refusedEditOffs_ = 0;
        layout_.recorderPast(recordedUpTo_[index]);
    }

    // Each edit starts from parked decks that are online; an unplug that did not come within
    // its edit comes in the next.
    void settle(Disturbance disturbance, bool disturbed, int index)
    {
        if (!disturbed && (disturbance == Disturbance::UnplugPlayer || disturbance == Disturbance::UnplugRecorder)
            && index + 1 < edits_)
            planned_[index + 1] = disturbance;
        for (VCR* deck : {rig_.player.get(), rig_.recorder.get()}) {
            if (!serveUntil([deck] { return deck->online(); }, std::chrono::seconds(15)))
                std::printf("  edit %d: %s deck not online again after 15 s\n", index + 1,
                            deck->isRecorder() ? "recorder" : "player");
        }
        for (VCR* deck : {rig_.player.get(), rig_.recorder.get()})
            serveUntil([deck] { return !deck->cueInProgress(); }, std::chrono::seconds(30));
        // A recorder its guard is still stopping takes no edit: the next waits for it.
        if (!serveUntil([this] { return !rig_.recorder->recordGuard().active(); }, std::chrono::seconds(10)))
            fault(index, "the record guard has not stopped the recorder after 10 s");
        rig_.decks.allow(Role::Recorder, decksim::DeckCommand::EditOff);
        rig_.decks.setRecordInhibit(Role::Recorder, false);
    }

    bool recorderRecording()
    {
        return !serveUntil([this] { return (rig_.decks.statusBytes(Role::Recorder)[1] & recordBit) == 0; },
                           std::chrono::seconds(2));
    }

    void check(int index, const Points& points, Outcome outcome, Disturbance disturbance, int pressedAt)
    {
        const auto near = segmentsNear(rig_.segments(), points, labels());
        const bool exact = exactOnTape(near, points);
        if (recorderRecording())
            fault(index, "the recorder is still recording after the edit");
        if (disturbance == Disturbance::AllStop && outcome != Outcome::Completed) {
            checkAllStop(index, near, pressedAt);
            return;
        }
        if (disturbance == Disturbance::RecordInhibit) {
            checkInhibited(index, points, outcome, near);
            return;
        }
        if (outcome == Outcome::Completed) {
            ++tally_.completed;
            tally_.completedExact += exact ? 1 : 0;
            if (!exact)
                fault(index, "\"Edit Completed\" for an edit the tape does not show exactly (" + onTape(near, points) + ")");
        } else if (outcome == Outcome::Reported) {
            ++tally_.reported;
        } else if (outcome == Outcome::Failed) {
            ++tally_.failed;
        } else if (outcome == Outcome::Aborted) {
            ++tally_.lostDeck;
        } else {
            ++tally_.notMade;
        }
        if (!exact && outcome != Outcome::NotMade)
            describe(index, points, outcome, near);
    }

    // A write-protected cassette: refused before anything moved, with its text, and nothing on
    // the tape over the edit's stretch.
    void checkInhibited(int index, const Points& points, Outcome outcome, const std::vector<Segment>& near)
    {
        const bool said = rig_.statusShown("RECORDER: RECORD INHIBIT");
        const bool recorded = std::any_of(near.begin(), near.end(), [&](const Segment& segment) {
            return segment.recLast >= points.recIn && segment.recFirst < points.recIn + points.length;
        });
        if (outcome != Outcome::NotMade || !said || recorded)
            fault(index, std::string("a write-protected cassette: ") + (said ? "" : "no RECORD INHIBIT shown, ")
                             + (recorded ? "recorded " + onTape(near, points) : "nothing recorded"));
        else
            ++tally_.inhibitedRefused;
        ++tally_.notMade;
    }

    void checkAllStop(int index, const std::vector<Segment>& near, int pressedAt)
    {
        ++tally_.aborted;
        int lastRecorded = -1;
        for (const Segment& segment : near)
            lastRecorded = std::max(lastRecorded, segment.recLast);
        if (lastRecorded < 0)
            return;
        const int pastPress = lastRecorded - pressedAt;
        tally_.mostFramesPastPress = std::max(tally_.mostFramesPastPress, pastPress);
        if (pastPress > labels())
            fault(index, "recorded " + std::to_string(pastPress) + " frames past ALL STOP");
    }

    void describe(int index, const Points& points, Outcome outcome, const std::vector<Segment>& near)
    {
        std::printf("  edit %d: %s %.1f s, player %s, recorder %s: %s; %s; refused by NAK: %s; statuses: %s\n",
                    index + 1, points.mode == assemble ? "assemble" : "insert",
                    static_cast<double>(points.length) / labels(), label(points.playIn).c_str(),
                    label(points.recIn).c_str(), outcomeName(outcome), onTape(near, points).c_str(),
                    refusedCommands().c_str(), joined(rig_.statusHistory).c_str());
    }

    // The commands the decks answered with a NAK during the edit: each NAK follows the block
    // it refuses.
    std::string refusedCommands() const
    {
        std::string refused;
        std::optional<Packet> lastReceived[2];
        for (const decksim::TraceEntry& entry : rig_.decks.trace()) {
            const int deck = entry.deck == Role::Player ? 0 : 1;
            if (entry.received)
                lastReceived[deck] = entry.bytes;
            else if (entry.bytes.size() >= 2 && entry.bytes[0] == 0x11 && entry.bytes[1] == 0x12 && lastReceived[deck])
                refused += std::string(refused.empty() ? "" : ", ") + (deck == 0 ? "player " : "recorder ")
                    + hex(*lastReceived[deck]);
        }
        return refused.empty() ? "none" : refused;
    }

    static std::string hex(const Packet& block)
    {
        std::string text;
        char byte[4];
        for (const std::uint8_t value : block) {
            std::snprintf(byte, sizeof byte, "%02X", value);
            text += byte;
        }
        return text;
    }

    // What the tape holds around an edit's stretch.
    std::string onTape(const std::vector<Segment>& near, const Points& points) const
    {
        char text[160];
        if (const auto errors = wholeOnTape(near, points))
            std::snprintf(text, sizeof text, "rec in %+d, rec out %+d, src vs rec %+d", errors->recIn, errors->recOut,
                          errors->source);
        else if (!near.empty())
            std::snprintf(text, sizeof text, "%zu segments over %s-%s, channels %s", near.size(),
                          label(near.front().recFirst).c_str(), label(near.back().recLast).c_str(),
                          near.front().channels.c_str());
        else
            return "nothing recorded";
        return text;
    }

    static std::string joined(const std::vector<std::string>& texts)
    {
        std::string all;
        for (const std::string& text : texts)
            all += (all.empty() ? "" : " | ") + text;
        return all;
    }

    // The edit as its log line has it: an edit whose edit off came late is logged with the
    // frames it really recorded.
    Points asLogged(const Points& planned, const LogLine& line) const
    {
        Points logged = planned;
        const auto frameOf = [this](const std::string& text) {
            return decksim::TimeCode::parse(text, faultyDecks.timeBase).value_or(-1);
        };
        logged.playIn = frameOf(line.playIn);
        logged.recIn = frameOf(line.recIn);
        logged.length = frameOf(line.recOut) - logged.recIn;
        return logged;
    }

    // The edit whose recorder in point a log line names, or nothing.
    std::optional<std::size_t> editLogged(const LogLine& line) const
    {
        for (std::size_t index = 0; index < points_.size(); ++index) {
            if (label(points_[index].recIn) == line.recIn)
                return index;
        }
        return std::nullopt;
    }

    // The log as the panel wrote it, against the tape: each line an edit exactly on the tape,
    // numbered in order, none twice; each completed edit logged.
    void checkLog(int& lines, int& exactLogged)
    {
        lines = exactLogged = 0;
        const auto all = rig_.segments();
        std::map<std::size_t, int> timesLogged;
        std::istringstream log(rig_.edl());
        for (std::string text; std::getline(log, text);) {
            ++lines;
            const auto line = parseLogLine(text);
            const auto index = line ? editLogged(*line) : std::nullopt;
            if (!index) {
                logFault("a log line for no edit made: " + text);
                continue;
            }
            if (line->number != lines)
                logFault("log line " + std::to_string(lines) + " is numbered " + std::to_string(line->number));
            if (++timesLogged[*index] == 2)
                logFault("edit " + std::to_string(*index + 1) + " logged twice");
            const Points logged = asLogged(points_[*index], *line);
            const auto near = segmentsNear(all, logged, labels());
            if (exactOnTape(near, logged))
                ++exactLogged;
            else
                logFault("edit " + std::to_string(*index + 1) + " logged but not as the tape has it (" + onTape(near, logged)
                         + "): " + text);
        }
        for (std::size_t index = 0; index < outcomes_.size(); ++index) {
            if (outcomes_[index] == Outcome::Completed && timesLogged[index] == 0)
                logFault("edit " + std::to_string(index + 1) + " completed but not logged");
        }
        checkNothingElseRecorded(all);
    }

    // Every segment on the recorder's tape lies within an edit's stretch.
    void checkNothingElseRecorded(const std::vector<Segment>& all)
    {
        for (const Segment& segment : all) {
            bool withinAnEdit = false;
            for (std::size_t index = 0; index < points_.size(); ++index)
                withinAnEdit = withinAnEdit
                    || (segment.recFirst >= points_[index].recIn - labels() && segment.recLast < recordedUpTo_[index] + labels());
            if (!withinAnEdit)
                logFault("recorded where no edit was: " + label(segment.recFirst) + "-" + label(segment.recLast));
        }
    }

    // Log faults are found again at each report: each is said once.
    void logFault(const std::string& what)
    {
        if (logFaultsSaid_.insert(what).second) {
            faults_.push_back(what);
            std::printf("  FAULT %s\n", what.c_str());
        }
    }

    // The figures so far; the first report's memory is the one after the warm-up.
    void report(int done, SteadyClock::time_point began)
    {
        waitForCueThreads();
        const Usage now;
        if (!warm_) {
            warm_ = now;
            warmAt_ = done;
        }
        int lines = 0;
        int exactLogged = 0;
        checkLog(lines, exactLogged);
        const double minutes = std::chrono::duration<double>(SteadyClock::now() - began).count() / 60;
        std::printf("\nsoak: %d of %d edits in %.1f min; 16 ms adapter latency, NAK every 50th block, every 70th reply "
                    "garbled\n",
                    done, edits_, minutes);
        std::printf("completed: %d, exact to the frame %d; edl.txt: %d lines, %d of them exactly on the tape\n",
                    tally_.completed, tally_.completedExact, lines, exactLogged);
        std::printf("aborted by ALL STOP: %d (%d more came after their edit had ended); most frames recorded past "
                    "the press: %d\n",
                    tally_.aborted, tally_.allStopsAfterTheEdit, tally_.mostFramesPastPress);
        std::printf("completed not exactly and said so (logged as recorded): %d; failed (EDIT FAILED): %d\n",
                    tally_.reported, tally_.failed);
        std::printf("ended by an unplugged deck: %d; not made: %d (%d of them a write-protected cassette, refused with "
                    "its text); faults: %zu\n",
                    tally_.lostDeck, tally_.notMade, tally_.inhibitedRefused, faults_.size());
        if (!tally_.backToStoppedMs.empty()) {
            std::vector<double> sorted = tally_.backToStoppedMs;
            std::sort(sorted.begin(), sorted.end());
            std::printf("recorder pulled out while recording: %zu times; plugged back to out of record: median %.0f ms, "
                        "worst %.0f ms\n",
                        sorted.size(), sorted[sorted.size() / 2], sorted.back());
        }
        std::printf("memory: RSS %ld kB at start, %ld kB now, growth %+ld kB (%+ld kB since edit %d)\n", start_.rssKb,
                    now.rssKb, now.rssKb - start_.rssKb, now.rssKb - warm_->rssKb, warmAt_);
        std::printf("threads: %ld at start, %ld now\n\n", start_.threads, now.threads);
    }

    int edits_;
    std::mt19937 random_;
    EditRig rig_;
    Layout layout_;
    std::vector<Disturbance> planned_;
    std::vector<Points> points_;
    // One past the last frame each edit may have recorded: its stretch, or further for an edit
    // whose recorder was pulled out while it recorded.
    std::vector<int> recordedUpTo_;
    // The recorder's frame when it was plugged back during the edit, if it was.
    std::optional<int> recorderBackAt_;
    std::vector<Outcome> outcomes_;
    SteadyClock::duration fastestOverhead_ = std::chrono::seconds(3);
    // Until edits have been seen, the recording is taken to begin this long after DO EDIT.
    SteadyClock::duration slowestOverhead_ = std::chrono::seconds(2);
    // Edit off refused this many times in the edit under way; the next refusal outlasts the
    // edit's own tries when this one did not.
    int refusedEditOffs_ = 0;
    bool alternate_ = false;
    Tally tally_;
    std::vector<std::string> faults_;
    std::set<std::string> logFaultsSaid_;
    Usage start_;
    std::optional<Usage> warm_;
    int warmAt_ = 0;
};

bool isCount(const char* text)
{
    return *text != '\0' && std::strspn(text, "0123456789") == std::strlen(text);
}

}

int main(int argc, char* argv[])
{
    // Lines reach a log file as they are printed: a long run can be followed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::vector<const char*> counts;
    bool check = false;
    for (int arg = 1; arg < argc; ++arg) {
        if (std::strcmp(argv[arg], "--check") == 0)
            check = true;
        else if (isCount(argv[arg]) && counts.size() < 2)
            counts.push_back(argv[arg]);
        else
            counts.assign(3, nullptr);
    }
    if (counts.size() > 2) {
        std::fprintf(stderr, "usage: bench_soak [--check] [edits] [seed]\n");
        return 2;
    }
    const int edits = !counts.empty() ? std::atoi(counts[0]) : 500;
    const unsigned seed = counts.size() > 1 ? static_cast<unsigned>(std::strtoul(counts[1], nullptr, 10))
                                            : std::random_device()();
    std::printf("bench_soak%s %d %u\n", check ? " --check" : "", edits, seed);
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    // The sequences' set pauses run twenty times faster, as in the tests; tape time does not.
    LongWaits::setSpeedUp(20);
    std::vector<std::string> faults;
    {
        Soak soak(edits, seed);
        soak.run();
        faults = soak.faults();
    }
    if (!check)
        return 0;
    std::printf("soak check: %s (%zu faults)\n", faults.empty() ? "passed" : "FAILED", faults.size());
    return faults.empty() ? 0 : 1;
}
