// Auto edits by the edit engine on the virtual decks, headless, and how many frames each
// recorded stretch lies from its marked points: record in, record out (assemble edits record
// on for 2 s past the out point by design), and the source against the record. 0 is the goal.
// After each edit the whole of the recorder's tape is checked: the edit added exactly one
// segment, with the channels of its mode, and every earlier segment is as it was. Points and
// what the tape holds are counted with the virtual decks' own time code, never the
// controller's.
//
// Each profile also prints how punctual the roll's timed writes were (edit on and edit off:
// how late each went out against the moment planned for it, median, 99th percentile and
// worst), how well the recorder's position was known when they were fired (the spread), and
// how each edit ended: exact, refused as missed before anything was recorded, reported as not
// exact (an overrun, with the frames really recorded), failed, and silent misses: an edit
// reported exact that the tape does not show, or a recorded stretch that is not the tape's.
//
//   bench_edit_accuracy [--realtime on|off|both] [profile...] [edits]
//
// Profiles: ideal, realistic, usb, servo, drop-frame, 25fps, late-sampling, lock-ramp,
// late-replies, imperfect-df, imperfect-25, flags, busy, both-busy (all by default, in this
// order); edits per profile: 20 by default, lengths spread evenly from 1 s to 60 s. "busy"
// keeps one core busy with another process, "both-busy" both. --realtime both runs each
// profile with and without real-time scheduling of the roll (on by default, where the system
// allows it).
#include "engine/RealTimeScheduling.h"
#include "tests/engine/EngineRig.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <optional>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace enginetest;

namespace {

struct Profile {
    const char* name;
    const char* description;
    decksim::Options options;
    int adjust;
    int busyCores;
};

const decksim::Options realisticDecks = options([](auto& o) {
    o.replyDelayMs = 3;
    o.editDelayFrames = 5;
});

// Decks that sample their tape up to their 9 ms turnaround late, whose servos ramp up to
// speed, and whose every 17th reply comes 60 ms late, past the controller's deadline.
decksim::Options imperfectDecks(decksim::TimeBase base)
{
    return options([base](auto& o) {
        o.timeBase = base;
        o.sampleDelayMs = 9;
        o.lockRamp = true;
        o.lockFrames = 5;
        o.lateEvery = 17;
        o.lateMs = 60;
    });
}

const Profile profiles[] = {
    {"ideal", "replies at once, no edit delay, EditAdjust 0", options([](auto&) {}), 0, 0},
    {"realistic", "3 ms replies, edit delay 5 frames, EditAdjust -5", realisticDecks, -5, 0},
    {"usb", "USB adapter, 16 ms latency timer", options([](auto& o) { o.adapterLatencyMs = 16; }), 0, 0},
    {"servo", "uneven servo lock, player 4 frames, recorder 1",
     options([](auto& o) {
         o.playerLockFrames = 4;
         o.recorderLockFrames = 1;
     }),
     0, 0},
    {"drop-frame", "29.97 drop-frame, every edit across a dropped minute",
     options([](auto& o) { o.timeBase = decksim::TimeBase::fps2997DropFrame; }), 0, 0},
    {"25fps", "25 fps", options([](auto& o) { o.timeBase = decksim::TimeBase::fps25; }), 0, 0},
    {"late-sampling", "decks sample their tape 0 to 9 ms after a request",
     options([](auto& o) { o.sampleDelayMs = 9; }), 0, 0},
    {"lock-ramp", "servos ramp up to speed over 5 frames", options([](auto& o) {
         o.lockRamp = true;
         o.lockFrames = 5;
     }),
     0, 0},
    {"late-replies", "every 17th reply 60 ms late", options([](auto& o) {
         o.lateEvery = 17;
         o.lateMs = 60;
     }),
     0, 0},
    {"imperfect-df", "late sampling, servo ramps and late replies at 29.97 drop-frame",
     imperfectDecks(decksim::TimeBase::fps2997DropFrame), 0, 0},
    {"imperfect-25", "late sampling, servo ramps and late replies at 25 fps", imperfectDecks(decksim::TimeBase::fps25),
     0, 0},
    {"flags", "29.97 drop-frame, flag bits set, every 5th reply without the drop-frame flag", options([](auto& o) {
         o.timeBase = decksim::TimeBase::fps2997DropFrame;
         o.flagBits = true;
         o.dfFlagDropoutEvery = 5;
     }),
     0, 0},
    {"busy", "realistic decks, one core kept busy by another process", realisticDecks, -5, 1},
    {"both-busy", "realistic decks, both cores kept busy by other processes", realisticDecks, -5, 2},
};

// Processes that spin, one a core, for the object's lifetime, as other programs would.
class BusyCores {
public:
    explicit BusyCores(int cores)
    {
        for (int core = 0; core < cores; ++core) {
            const pid_t child = fork();
            if (child == 0) {
                for (;;) {
                }
            }
            if (child > 0)
                children_.push_back(child);
        }
    }
    ~BusyCores()
    {
        for (const pid_t child : children_) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
    }
    BusyCores(const BusyCores&) = delete;
    BusyCores& operator=(const BusyCores&) = delete;

private:
    std::vector<pid_t> children_;
};

// One edit's points, in frames of the decks' base.
struct Points {
    std::uint8_t mode;
    int playIn;
    int recIn;
    int length;
    int overrun;  // what an assemble edit records past its out point
};

// Lays the edits out one after the other on each tape, each straddling a minute boundary
// other than a tenth minute (on drop-frame tape that is where labels are skipped) with its
// recording, or with its preroll. Each tape is only wound on from one edit to the next, so
// cues stay short, and recordings never overlap.
class Layout {
public:
    explicit Layout(const EngineRig& rig) : rig_(rig) {}

    Points next(int index, int edits)
    {
        const int labels = rig_.tape.labelsPerSecond();
        const std::uint8_t mode = index % 2 == 0 ? insertAll : assemble;
        const int length = lengthSeconds(index, edits) * labels;
        const int overrun = mode == assemble ? 2 * labels : 0;
        // Skews vary the frames the points fall on, and the source's offset to the record.
        const int playIn = straddling(playerCursor_, length, index * 11 % labels);
        // Every other recording starts a few frames after the boundary: its preroll's
        // readings come from the minute before.
        const int recIn = index % 2 == 0 ? straddling(recorderCursor_, length + overrun, index * 7 % labels)
                                         : justAfter(recorderCursor_, length + overrun, index % 7);
        return {mode, playIn, recIn, length, overrun};
    }

private:
    static int lengthSeconds(int index, int edits)
    {
        if (edits < 2)
            return 1;
        return 1 + (59 * index + (edits - 1) / 2) / (edits - 1);
    }

    // The first frame of a minute counted from midnight, whichever labels it starts with.
    int minuteStart(int minute) const
    {
        const int before = minute - 1;
        const auto twoDigits = [](int value) { return std::string{char('0' + value / 10), char('0' + value % 10)}; };
        return rig_.frames(twoDigits(before / 60) + ":" + twoDigits(before % 60) + ":59:"
                           + twoDigits(rig_.tape.labelsPerSecond() - 1))
            + 1;
    }

    // An in point at or after the cursor whose stretch of the given length has a minute
    // boundary in its middle, moved back by the skew; the cursor moves past the stretch.
    int straddling(int& cursor, int length, int skew)
    {
        int minute = 1;
        while (minute % 10 == 0 || minuteStart(minute) - length / 2 - skew < cursor)
            ++minute;
        const int in = minuteStart(minute) - length / 2 - skew;
        cursor = in + length + gapSeconds * rig_.tape.labelsPerSecond();
        return in;
    }

    // An in point a few frames after a minute boundary; the cursor moves past the stretch.
    int justAfter(int& cursor, int length, int skew)
    {
        int minute = 1;
        while (minute % 10 == 0 || minuteStart(minute) < cursor)
            ++minute;
        const int in = minuteStart(minute) + skew;
        cursor = in + length + gapSeconds * rig_.tape.labelsPerSecond();
        return in;
    }

    // Room between stretches for the next edit's preroll, and to keep segments apart.
    static constexpr int gapSeconds = 3;
    const EngineRig& rig_;
    int playerCursor_ = 0;
    int recorderCursor_ = 0;
};

// Frames off the marked points; 0 is exact.
struct Errors {
    int recIn = 0;
    int recOut = 0;
    int source = 0;

    bool channelsRight = true;

    bool exact() const { return recIn == 0 && recOut == 0 && source == 0 && channelsRight; }
};

int larger(int a, int b)
{
    return std::abs(a) >= std::abs(b) ? a : b;
}

// The channels each mode records.
std::string channelsOf(std::uint8_t mode)
{
    return mode == assemble || mode == insertAll ? "V,A1,A2" : "?";
}

Errors errorsOf(const Segment& made, const Points& points)
{
    const int offset = points.playIn - points.recIn;
    return {made.recFirst - points.recIn, made.recLast + 1 - (points.recIn + points.length + points.overrun),
            larger(made.srcFirst - made.recFirst - offset, made.srcLast - made.recLast - offset),
            made.channels == channelsOf(points.mode)};
}

// The recorder's whole tape from one edit to the next: what each edit added, and anything
// else that changed.
class TapeRecord {
public:
    // The one segment the edit added, or what else is wrong on the tape.
    std::optional<Segment> added(const std::vector<Segment>& now, std::string& fault)
    {
        std::vector<Segment> added;
        for (const Segment& segment : now) {
            if (std::find(known_.begin(), known_.end(), segment) == known_.end())
                added.push_back(segment);
        }
        int lost = 0;
        for (const Segment& segment : known_)
            lost += std::find(now.begin(), now.end(), segment) == now.end() ? 1 : 0;
        known_ = now;
        if (lost > 0)
            fault = std::to_string(lost) + " earlier segments changed";
        else if (added.size() != 1)
            fault = std::to_string(added.size()) + " segments recorded";
        if (!fault.empty())
            return std::nullopt;
        return added.front();
    }

private:
    std::vector<Segment> known_;
};

// Milliseconds or frames, summarised.
class Figures {
public:
    void add(double value) { values_.push_back(value); }
    std::string text(const char* unit) const
    {
        if (values_.empty())
            return "none";
        std::vector<double> sorted = values_;
        std::sort(sorted.begin(), sorted.end());
        const auto at = [&sorted](double share) {
            return sorted[std::min(sorted.size() - 1, static_cast<std::size_t>(share * sorted.size()))];
        };
        char line[160];
        std::snprintf(line, sizeof line, "median %.2f, p99 %.2f, worst %.2f %s", at(0.5), at(0.99), sorted.back(),
                      unit);
        return line;
    }

private:
    std::vector<double> values_;
};

// How one edit ended, against what the tape shows.
enum class Ending { Exact, Missed, ReportedInexact, Failed, Silent };

class Table {
public:
    void add(const Errors& errors)
    {
        ++measured_;
        worst_ = {larger(worst_.recIn, errors.recIn), larger(worst_.recOut, errors.recOut),
                  larger(worst_.source, errors.source)};
    }
    void add(Ending ending) { ++endings_[static_cast<int>(ending)]; }
    void add(const RollTiming& timing)
    {
        for (const auto& write : {timing.editOn, timing.editOff}) {
            if (!write)
                continue;
            lateness_.add(std::chrono::duration<double, std::milli>(write->written - write->planned).count());
            spread_.add(write->spread);
        }
    }
    void printSummary(int edits) const
    {
        std::printf("  %d edits: %d exact, %d missed (nothing recorded), %d reported not exact, %d failed, "
                    "%d SILENT MISSES\n",
                    edits, count(Ending::Exact), count(Ending::Missed), count(Ending::ReportedInexact),
                    count(Ending::Failed), count(Ending::Silent));
        std::printf("  worst: rec in %+d, rec out %+d, src vs rec %+d", worst_.recIn, worst_.recOut, worst_.source);
        if (measured_ < edits)
            std::printf("; %d not measured", edits - measured_);
        std::printf("\n  writes late by: %s\n  spread at firing: %s\n\n", lateness_.text("ms").c_str(),
                    spread_.text("frames").c_str());
    }

private:
    int count(Ending ending) const { return endings_[static_cast<int>(ending)]; }

    int measured_ = 0;
    int endings_[5] = {};
    Errors worst_;
    Figures lateness_;
    Figures spread_;
};

std::string joined(const std::vector<std::string>& texts)
{
    std::string all;
    for (const std::string& text : texts)
        all += (all.empty() ? "" : " | ") + text;
    return all;
}

bool contains(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// How the edit ended: what it reported against what the tape holds.
Ending endingOf(const EditOutcome& outcome, const std::optional<Segment>& made, const std::optional<Errors>& errors,
                const std::vector<std::string>& statuses)
{
    const bool reportedExact = outcome.kind == EditOutcome::Kind::Completed && outcome.exact;
    if (reportedExact)
        return errors && errors->exact() ? Ending::Exact : Ending::Silent;
    if (outcome.onTape) {
        // Logged with the frames it reports: they must be the tape's.
        const bool asReported = made && outcome.recorded && outcome.recorded->first == made->recFirst
            && outcome.recorded->end == made->recLast + 1;
        return asReported ? Ending::ReportedInexact : Ending::Silent;
    }
    if (contains(statuses, "EDIT MISSED - NOTHING RECORDED"))
        return made ? Ending::Silent : Ending::Missed;
    return Ending::Failed;
}

void printErrors(const Errors& errors, const Segment& made)
{
    std::printf("%+6d  %+7d  %+10d%s%s\n", errors.recIn, errors.recOut, errors.source,
                errors.channelsRight ? "" : "  channels ", errors.channelsRight ? "" : made.channels.c_str());
}

// Performs one edit; prints its line and tells the table how it went.
void performEdit(EngineRig& rig, TapeRecord& tape, Table& table, int number, const Points& points)
{
    rig.chooseMode(points.mode);
    rig.setPoints(*rig.player, rig.label(points.playIn), rig.label(points.playIn + points.length));
    rig.setPoints(*rig.recorder, rig.label(points.recIn), rig.label(points.recIn + points.length));
    const std::size_t statusesBefore = rig.progress.statuses().size();
    const EditOutcome outcome = rig.edit();
    std::printf("  %4d  %-8s  %4d s  %s  %s  ", number, points.mode == assemble ? "assemble" : "insert",
                points.length / rig.tape.labelsPerSecond(), rig.label(points.playIn).c_str(),
                rig.label(points.recIn).c_str());
    std::string fault;
    const std::optional<Segment> made = tape.added(rig.segments(), fault);
    const auto all = rig.progress.statuses();
    const std::vector<std::string> statuses(all.begin() + statusesBefore, all.end());
    std::optional<Errors> errors;
    if (made)
        errors = errorsOf(*made, points);
    const Ending ending = endingOf(outcome, made, errors, statuses);
    table.add(ending);
    table.add(outcome.timing);
    if (errors)
        table.add(*errors);
    if (outcome.kind != EditOutcome::Kind::Completed || !outcome.exact)
        std::printf("%s%s%s%s\n", ending == Ending::Silent ? "SILENT MISS: " : "", joined(statuses).c_str(),
                    fault.empty() ? "" : "; tape: ", fault.c_str());
    else if (!errors)
        std::printf("%s\n", fault.c_str());
    else
        printErrors(*errors, *made);
}

void run(const Profile& profile, int edits, bool realTime)
{
    RealTimeScheduling::allow(realTime);
    std::printf("%s: %s; %s\n", profile.name, profile.description,
                realTime ? "real-time scheduling where allowed" : "no real-time scheduling");
    std::printf("  edit  mode      length  player in    recorder in  rec in  rec out  src vs rec\n");
    BusyCores busy(profile.busyCores);
    EngineRig rig(profile.options, insertAll);
    rig.request.adjust = profile.adjust;
    Layout layout(rig);
    TapeRecord tape;
    Table table;
    for (int index = 0; index < edits; ++index) {
        performEdit(rig, tape, table, index + 1, layout.next(index, edits));
        // Each edit starts from parked decks: the recorder's cue to the out point ends first.
        decktest::waitFor([&] { return !rig.recorder->cueInProgress(); }, 30000);
    }
    table.printSummary(edits);
}

const Profile* profileNamed(const char* name)
{
    for (const Profile& profile : profiles) {
        if (std::strcmp(profile.name, name) == 0)
            return &profile;
    }
    return nullptr;
}

bool isCount(const char* text)
{
    return *text != '\0' && std::strspn(text, "0123456789") == std::strlen(text);
}

void printUsage()
{
    std::fprintf(stderr, "usage: bench_edit_accuracy [--realtime on|off|both] [profile...] [edits]\nprofiles:");
    for (const Profile& profile : profiles)
        std::fprintf(stderr, " %s", profile.name);
    std::fprintf(stderr, "\n");
}

}

int main(int argc, char* argv[])
{
    // Lines reach a log file as they are printed: a long run can be followed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    int edits = 20;
    std::vector<bool> realTime{true};
    std::vector<const Profile*> chosen;
    for (int arg = 1; arg < argc; ++arg) {
        if (std::strcmp(argv[arg], "--realtime") == 0 && arg + 1 < argc) {
            const std::string choice = argv[++arg];
            realTime = choice == "both" ? std::vector<bool>{true, false} : std::vector<bool>{choice != "off"};
        } else if (isCount(argv[arg])) {
            edits = std::atoi(argv[arg]);
        } else if (const Profile* profile = profileNamed(argv[arg])) {
            chosen.push_back(profile);
        } else {
            printUsage();
            return 2;
        }
    }
    if (chosen.empty()) {
        for (const Profile& profile : profiles)
            chosen.push_back(&profile);
    }
    for (const Profile* profile : chosen) {
        for (const bool withRealTime : realTime)
            run(*profile, edits, withRealTime);
    }
    return 0;
}
