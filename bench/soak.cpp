// A long run of short auto edits by the edit engine on virtual decks behind USB adapters whose
// lines refuse (NAK) and garble now and then. ALL STOP is pressed at a random moment in one
// edit out of ten, and each deck is unplugged for 3 s once and plugged back. Every edit is
// checked on the recorder's tape and in the edit log, and the process's resident memory and
// threads are compared from the start to the end.
//
//   bench_soak [edits] [seed]
//
// 500 edits by default; a seed is drawn when none is given, and printed: a run can be repeated.
#include "tests/engine/EngineRig.h"
#include "deck/CueThread.h"
#include "ui/EditLog.h"

#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace enginetest;
using decksim::Role;
using SteadyClock = std::chrono::steady_clock;

namespace {

const decksim::Options faultyDecks = options([](auto& o) {
    o.adapterLatencyMs = 16;
    o.nakEvery = 50;
    o.garbleEvery = 70;
});

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

private:
    // Room for the next edit's preroll, and to keep each edit's segment apart.
    static constexpr int gapSeconds = 3;
    int labels_;
    int playerCursor_ = 10 * labels_;
    int recorderCursor_ = 10 * labels_;
};

enum class Disturbance { None, AllStop, UnplugPlayer, UnplugRecorder };

// ALL STOP in one edit of each ten; the player unplugged at 30 % of the run, the recorder at
// 70 % (edits 150 and 350 of 500).
std::vector<Disturbance> disturbances(int edits, std::mt19937& random)
{
    std::vector<Disturbance> planned(edits, Disturbance::None);
    for (int first = 0; first + editsPerAbort <= edits; first += editsPerAbort)
        planned[std::uniform_int_distribution(first, first + editsPerAbort - 1)(random)] = Disturbance::AllStop;
    planned[edits * 3 / 10] = Disturbance::UnplugPlayer;
    planned[edits * 7 / 10] = Disturbance::UnplugRecorder;
    return planned;
}

// Runs an action on a thread of its own a while after an edit began; an action not begun
// when the edit ends is dropped.
class DuringEdit {
public:
    DuringEdit(SteadyClock::duration after, std::function<void()> action)
        : due_(SteadyClock::now() + after), action_(std::move(action)), thread_([this] { run(); })
    {
    }
    ~DuringEdit() { finish(); }
    DuringEdit(const DuringEdit&) = delete;
    DuringEdit& operator=(const DuringEdit&) = delete;

    // Called when the edit has ended; waits for an action under way. True when it ran.
    bool finish()
    {
        {
            std::lock_guard lock(mutex_);
            ended_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable())
            thread_.join();
        return ran_;
    }

private:
    void run()
    {
        {
            std::unique_lock lock(mutex_);
            if (wake_.wait_until(lock, due_, [this] { return ended_; }))
                return;
        }
        action_();
        ran_ = true;
    }

    SteadyClock::time_point due_;
    std::function<void()> action_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool ended_ = false;
    bool ran_ = false;
    std::thread thread_;
};

// Where the recorder was when ALL STOP was pressed, and when its stop had been answered.
struct StopMarks {
    int pressed = 0;
    int stopped = 0;
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

// The edit's errors when it is on the tape as one segment.
std::optional<Errors> wholeOnTape(const std::vector<Segment>& near, const Points& points)
{
    if (near.size() != 1)
        return std::nullopt;
    return errorsOf(near.front(), points);
}

bool exactOnTape(const std::vector<Segment>& near, const Points& points)
{
    const auto errors = wholeOnTape(near, points);
    return errors && errors->exact();
}

std::string joined(const std::vector<std::string>& texts)
{
    std::string all;
    for (const std::string& text : texts)
        all += (all.empty() ? "" : " | ") + text;
    return all;
}

const char* outcomeName(EditOutcome::Kind kind)
{
    switch (kind) {
    case EditOutcome::Kind::Completed:
        return "completed";
    case EditOutcome::Kind::Aborted:
        return "aborted";
    case EditOutcome::Kind::Refused:
        return "refused";
    case EditOutcome::Kind::Failed:
        return "failed";
    }
    return "?";
}

struct Tally {
    int completed = 0;
    int completedExact = 0;
    int aborted = 0;                // by ALL STOP
    int abortRecordedAfterStop = 0;  // a frame recorded after the recorder's stop was answered
    int abortLeftRecording = 0;      // the recorder still in record after the edit
    int abortLogged = 0;
    int abortLoggedNotWhole = 0;     // logged though edit off never went out
    int abortWholeNotLogged = 0;     // exact on tape, yet not logged
    int mostFramesPastPress = 0;
    int allStopsAfterTheEdit = 0;    // the edit was over before the moment came
    int lostDeck = 0;                // aborted by an unplugged deck
    int lostDeckLeftRecording = 0;   // the recorder still in record once both decks are back
    int refused = 0;
    int onTape = 0;                  // outcomes that said so
    int onTapeNotExact = 0;
};

class Soak {
public:
    Soak(int edits, unsigned seed)
        : edits_(edits), random_(seed), rig_(faultyDecks, insertAll), layout_(rig_.base.labelsPerSecond()),
          planned_(disturbances(edits, random_))
    {
        logDir_.setAutoRemove(false);
        logPath_ = logDir_.filePath("edl.txt").toStdString();
        std::ofstream(logPath_).flush();  // the program never makes the log; the operator does
        points_.reserve(edits);
        logged_.reserve(edits);
        rig_.decks.clearTrace();
    }

    void run()
    {
        start_ = Usage();
        const auto began = SteadyClock::now();
        std::printf("start: RSS %ld kB, %ld threads; edit log %s\n", start_.rssKb, start_.threads, logPath_.c_str());
        for (int index = 0; index < edits_; ++index) {
            performEdit(index);
            if ((index + 1) % progressEvery == 0 || index + 1 == edits_)
                report(index + 1, began);
        }
    }

private:
    int labels() const { return rig_.base.labelsPerSecond(); }

    // A cue's thread holds the deck's panel 2 s after parking it; the thread count at the end
    // is taken once the last cues' threads are over.
    void waitForCueThreads()
    {
        for (VCR* deck : {rig_.player.get(), rig_.recorder.get()})
            decktest::waitFor([deck] { return !deck->cueThread() || deck->cueThread()->finished(); }, 10000);
        std::this_thread::sleep_for(threadExit);
    }
    int editDelay() const { return faultyDecks.editDelayFrames; }

    void performEdit(int index)
    {
        const Points points = layout_.next(random_);
        points_.push_back(points);
        setPoints(points);
        const Disturbance disturbance = planned_[index];
        TestClock clock;
        RecordingProgress progress;
        StopMarks marks;
        std::optional<DuringEdit> during;
        if (disturbance != Disturbance::None)
            during.emplace(randomMoment(points), actionOf(disturbance, clock, marks));
        const auto began = SteadyClock::now();
        const EditOutcome outcome = EditEngine(*rig_.player, *rig_.recorder, clock, progress).autoEdit(rig_.request);
        const auto took = SteadyClock::now() - began;
        const bool disturbed = during && during->finish();
        if (outcome.onTape)
            log(index, points, outcome.kind == EditOutcome::Kind::Completed);
        settle(disturbance, disturbed, index);
        const auto near = segmentsNear(rig_.segments(), points, labels());
        check(index, points, outcome, disturbed ? disturbance : Disturbance::None, marks, near, progress);
        if (disturbance == Disturbance::AllStop && !disturbed)
            ++tally_.allStopsAfterTheEdit;
        if (!disturbed && outcome.kind == EditOutcome::Kind::Completed)
            learnOverhead(took, points);
        // The virtual decks' trace of blocks is theirs, not the controller's: it is not let grow.
        rig_.decks.clearTrace();
    }

    void setPoints(const Points& points)
    {
        const TimeBase& base = rig_.base;
        rig_.chooseMode(points.mode);
        rig_.setPoints(*rig_.player, base.labelOf(points.playIn), base.labelOf(points.playIn + points.length));
        rig_.setPoints(*rig_.recorder, base.labelOf(points.recIn), base.labelOf(points.recIn + points.length));
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

    void learnOverhead(SteadyClock::duration took, const Points& points)
    {
        const auto recorded = std::chrono::duration<double>(static_cast<double>(points.length + points.overrun) / labels());
        fastestOverhead_ = std::min(fastestOverhead_, took - std::chrono::duration_cast<SteadyClock::duration>(recorded));
    }

    std::function<void()> actionOf(Disturbance disturbance, TestClock& clock, StopMarks& marks)
    {
        if (disturbance == Disturbance::AllStop)
            return [this, &clock, &marks] { allStop(clock, marks); };
        const Role role = disturbance == Disturbance::UnplugPlayer ? Role::Player : Role::Recorder;
        return [this, role] { unplugAWhile(role); };
    }

    // As the edit panel's ALL STOP: the sequence is aborted, then both decks are stopped.
    void allStop(TestClock& clock, StopMarks& marks)
    {
        marks.pressed = rig_.decks.positionFrames(Role::Recorder);
        clock.abort();
        rig_.recorder->stopvcr();
        rig_.player->stopvcr();
        marks.stopped = rig_.decks.positionFrames(Role::Recorder);
    }

    void unplugAWhile(Role role)
    {
        rig_.decks.unplug(role);
        std::this_thread::sleep_for(unpluggedFor);
        rig_.decks.plugBack(role);
    }

    // As the edit panel does: an edit on the recorder's tape gets the next number and a line.
    void log(int index, const Points& points, bool completed)
    {
        const int number = static_cast<int>(logged_.size()) + 1;
        logged_.push_back({index, completed});
        const TimeBase& base = rig_.base;
        EditLog::append(logPath_, lineOf(number, points, base));
    }

    static std::string lineOf(int number, const Points& points, const TimeBase& base)
    {
        return EditLog::line(number, points.mode, base.labelOf(points.playIn), base.labelOf(points.playIn + points.length),
                             base.labelOf(points.recIn), base.labelOf(points.recIn + points.length));
    }

    // Each edit starts from parked decks that are online; an unplug that did not come within
    // its edit comes in the next.
    void settle(Disturbance disturbance, bool disturbed, int index)
    {
        if (!disturbed && (disturbance == Disturbance::UnplugPlayer || disturbance == Disturbance::UnplugRecorder)
            && index + 1 < edits_)
            planned_[index + 1] = disturbance;
        const auto back = SteadyClock::now();
        for (VCR* deck : {rig_.player.get(), rig_.recorder.get()}) {
            if (!decktest::waitFor([deck] { return deck->online(); }, 15000))
                std::printf("  edit %d: %s deck not online again after 15 s\n", index + 1, deck->isRecorder() ? "recorder" : "player");
        }
        if (disturbed && disturbance != Disturbance::AllStop)
            std::printf("  edit %d: %s unplugged %.0f s, online again %.1f s after the edit\n", index + 1,
                        disturbance == Disturbance::UnplugPlayer ? "player" : "recorder",
                        std::chrono::duration<double>(unpluggedFor).count(),
                        std::chrono::duration<double>(SteadyClock::now() - back).count());
        for (VCR* deck : {rig_.player.get(), rig_.recorder.get()})
            decktest::waitFor([deck] { return !deck->cueInProgress(); }, 30000);
    }

    void check(int index, const Points& points, const EditOutcome& outcome, Disturbance disturbance,
               const StopMarks& marks, const std::vector<Segment>& near, const RecordingProgress& progress)
    {
        tally_.onTape += outcome.onTape ? 1 : 0;
        const bool exact = exactOnTape(near, points);
        tally_.onTapeNotExact += outcome.onTape && !exact ? 1 : 0;
        if (disturbance == Disturbance::AllStop && outcome.kind != EditOutcome::Kind::Completed) {
            checkAllStop(index, points, outcome, marks, near, exact);
            return;
        }
        if (outcome.kind == EditOutcome::Kind::Completed) {
            ++tally_.completed;
            tally_.completedExact += exact ? 1 : 0;
        } else if (outcome.kind == EditOutcome::Kind::Aborted) {
            ++tally_.lostDeck;
            tally_.lostDeckLeftRecording += recorderLeftInRecord() ? 1 : 0;
        } else {
            ++tally_.refused;
        }
        if (!exact)
            describe(index, points, outcome, near, progress);
    }

    void checkAllStop(int index, const Points& points, const EditOutcome& outcome, const StopMarks& marks,
                      const std::vector<Segment>& near, bool exact)
    {
        ++tally_.aborted;
        int lastRecorded = -1;
        for (const Segment& segment : near)
            lastRecorded = std::max(lastRecorded, segment.recLast);
        if (lastRecorded >= 0)
            tally_.mostFramesPastPress = std::max(tally_.mostFramesPastPress, lastRecorded - marks.pressed);
        if (lastRecorded > marks.stopped + editDelay()) {
            ++tally_.abortRecordedAfterStop;
            std::printf("  edit %d: recorded up to frame %d, the recorder's stop answered at %d\n", index + 1,
                        lastRecorded, marks.stopped);
        }
        tally_.abortLeftRecording += recorderLeftInRecord() ? 1 : 0;
        tally_.abortLogged += outcome.onTape ? 1 : 0;
        tally_.abortLoggedNotWhole += outcome.onTape && !exact ? 1 : 0;
        if (!outcome.onTape && exact) {
            ++tally_.abortWholeNotLogged;
            std::printf("  edit %d: aborted after its whole stretch %s was recorded, not logged\n", index + 1,
                        rig_.base.labelOf(points.recIn).c_str());
        }
    }

    bool recorderLeftInRecord()
    {
        return !decktest::waitFor([this] { return (rig_.decks.statusBytes(Role::Recorder)[1] & recordBit) == 0; }, 2000);
    }

    void describe(int index, const Points& points, const EditOutcome& outcome, const std::vector<Segment>& near,
                  const RecordingProgress& progress)
    {
        std::printf("  edit %d: %s %.1f s, player %s, recorder %s: %s%s; ", index + 1,
                    points.mode == assemble ? "assemble" : "insert", static_cast<double>(points.length) / labels(),
                    rig_.base.labelOf(points.playIn).c_str(), rig_.base.labelOf(points.recIn).c_str(),
                    outcomeName(outcome.kind), outcome.onTape ? " on tape" : "");
        if (const auto errors = wholeOnTape(near, points))
            std::printf("rec in %+d, rec out %+d, src vs rec %+d", errors->recIn, errors->recOut, errors->source);
        else if (!near.empty())
            std::printf("%zu segments over %s-%s", near.size(), rig_.base.labelOf(near.front().recFirst).c_str(),
                        rig_.base.labelOf(near.back().recLast).c_str());
        else
            std::printf("nothing recorded");
        std::printf("; %s; refused by NAK: %s\n", joined(progress.statuses()).c_str(), refusedCommands().c_str());
    }

    // The commands the decks answered with a NAK during the edit: each NAK follows the block
    // it refuses.
    std::string refusedCommands() const
    {
        std::string refused;
        const Packet* lastReceived[2] = {nullptr, nullptr};
        const auto trace = rig_.decks.trace();
        for (const decksim::TraceEntry& entry : trace) {
            const int deck = entry.deck == Role::Player ? 0 : 1;
            if (entry.received)
                lastReceived[deck] = &entry.bytes;
            else if (isNak(entry.bytes) && lastReceived[deck])
                refused += std::string(refused.empty() ? "" : ", ") + (deck == 0 ? "player " : "recorder ")
                    + hex(*lastReceived[deck]);
        }
        return refused.empty() ? "none" : refused;
    }

    static bool isNak(const Packet& block) { return block.size() >= 2 && block[0] == 0x11 && block[1] == 0x12; }

    static std::string hex(const Packet& block)
    {
        std::string text;
        char byte[4];
        for (std::uint8_t value : block) {
            std::snprintf(byte, sizeof byte, "%02X", value);
            text += byte;
        }
        return text;
    }

    // How often each line stands in the edit log.
    std::map<std::string, int> logLines(int& total) const
    {
        std::map<std::string, int> counts;
        total = 0;
        std::ifstream file(logPath_);
        for (std::string line; std::getline(file, line); ++total)
            ++counts[line];
        return counts;
    }

    int wholeEditsOnTape() const
    {
        const auto all = rig_.segments();
        int whole = 0;
        for (const Points& points : points_)
            whole += exactOnTape(segmentsNear(all, points, labels()), points) ? 1 : 0;
        return whole;
    }

    // Completed edits whose line stands exactly once in the log, and those of them exact on tape.
    void countLoggedOnce(const std::map<std::string, int>& lines, int& once, int& exactOnce) const
    {
        once = exactOnce = 0;
        const auto all = rig_.segments();
        for (std::size_t number = 0; number < logged_.size(); ++number) {
            if (!logged_[number].completed)
                continue;
            const Points& points = points_[logged_[number].index];
            const auto found = lines.find(lineOf(static_cast<int>(number) + 1, points, rig_.base));
            if (found == lines.end() || found->second != 1)
                continue;
            ++once;
            exactOnce += exactOnTape(segmentsNear(all, points, labels()), points) ? 1 : 0;
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
        printSummary(done, began, now);
    }

    void printSummary(int done, SteadyClock::time_point began, const Usage& now)
    {
        int lines = 0;
        const auto counts = logLines(lines);
        int once = 0, exactOnce = 0;
        countLoggedOnce(counts, once, exactOnce);
        const double minutes = std::chrono::duration<double>(SteadyClock::now() - began).count() / 60;
        std::printf("\nsoak: %d of %d edits in %.1f min; 16 ms adapter latency, NAK every 50th block, every 70th reply "
                    "garbled\n",
                    done, edits_, minutes);
        std::printf("completed: %d, exact to the frame %d, logged exactly once %d (exact and logged once %d)\n",
                    tally_.completed, tally_.completedExact, once, exactOnce);
        std::printf("aborted by ALL STOP: %d (%d more came after their edit had ended); recording after the recorder's "
                    "stop: %d; left in record: %d; most frames recorded past the press: %d\n",
                    tally_.aborted, tally_.allStopsAfterTheEdit, tally_.abortRecordedAfterStop, tally_.abortLeftRecording,
                    tally_.mostFramesPastPress);
        std::printf("  logged: %d (not whole on tape %d); whole on tape but not logged: %d\n", tally_.abortLogged,
                    tally_.abortLoggedNotWhole, tally_.abortWholeNotLogged);
        std::printf("ended by an unplugged deck: %d (recorder left in record once back %d); refused: %d; said on tape "
                    "but not exactly on it: %d\n",
                    tally_.lostDeck, tally_.lostDeckLeftRecording, tally_.refused, tally_.onTapeNotExact);
        std::printf("edl.txt: %d lines, %zu distinct; engine said on tape %d; whole edits on the recorder's tape "
                    "(report) %d\n",
                    lines, counts.size(), tally_.onTape, wholeEditsOnTape());
        std::printf("memory: RSS %ld kB at start, %ld kB now, growth %+ld kB (%+ld kB since edit %d)\n", start_.rssKb,
                    now.rssKb, now.rssKb - start_.rssKb, now.rssKb - warm_->rssKb, warmAt_);
        std::printf("threads: %ld at start, %ld now\n\n", start_.threads, now.threads);
    }

    int edits_;
    std::mt19937 random_;
    EngineRig rig_;
    Layout layout_;
    std::vector<Disturbance> planned_;
    QTemporaryDir logDir_;
    std::string logPath_;
    std::vector<Points> points_;
    struct LoggedEdit {
        int index;
        bool completed;
    };
    std::vector<LoggedEdit> logged_;  // in log order
    SteadyClock::duration fastestOverhead_ = std::chrono::seconds(3);
    Tally tally_;
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
    if (argc > 3 || (argc > 1 && !isCount(argv[1])) || (argc > 2 && !isCount(argv[2]))) {
        std::fprintf(stderr, "usage: bench_soak [edits] [seed]\n");
        return 2;
    }
    const int edits = argc > 1 ? std::atoi(argv[1]) : 500;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : std::random_device()();
    std::printf("bench_soak %d %u\n", edits, seed);
    Soak soak(edits, seed);
    soak.run();
    return 0;
}
