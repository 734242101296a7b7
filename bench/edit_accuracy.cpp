// Auto edits by the edit engine on the virtual decks, headless, and how many frames each
// recorded stretch lies from its marked points: record in, record out (assemble edits record
// on for 2 s past the out point by design), and the source against the record. 0 is the goal.
// After each edit the whole of the recorder's tape is checked: the edit added exactly one
// segment, with the channels of its mode, and every earlier segment is as it was. Points and
// what the tape holds are counted with the virtual decks' own time code, never the
// controller's.
//
//   bench_edit_accuracy [profile...] [edits]
//
// Profiles: ideal, realistic, usb, servo, drop-frame, 25fps, busy (all by default, in this
// order); edits per profile: 20 by default, lengths spread evenly from 1 s to 60 s.
#include "tests/engine/EngineRig.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace enginetest;

namespace {

struct Profile {
    const char* name;
    const char* description;
    decksim::Options options;
    int adjust;
    bool otherCoreBusy;
};

const decksim::Options realisticDecks = options([](auto& o) {
    o.replyDelayMs = 3;
    o.editDelayFrames = 5;
});

const Profile profiles[] = {
    {"ideal", "replies at once, no edit delay, EditAdjust 0", options([](auto&) {}), 0, false},
    {"realistic", "3 ms replies, edit delay 5 frames, EditAdjust -5", realisticDecks, -5, false},
    {"usb", "USB adapter, 16 ms latency timer", options([](auto& o) { o.adapterLatencyMs = 16; }), 0, false},
    {"servo", "uneven servo lock, player 4 frames, recorder 1",
     options([](auto& o) {
         o.playerLockFrames = 4;
         o.recorderLockFrames = 1;
     }),
     0, false},
    {"drop-frame", "29.97 drop-frame, every edit across a dropped minute",
     options([](auto& o) { o.timeBase = decksim::TimeBase::fps2997DropFrame; }), 0, false},
    {"25fps", "25 fps", options([](auto& o) { o.timeBase = decksim::TimeBase::fps25; }), 0, false},
    {"busy", "realistic decks with the other core kept busy", realisticDecks, -5, true},
};

// Spins on a core of its own for its lifetime, as another program would.
class BusyCore {
public:
    BusyCore()
        : spinner_([this] {
              while (!stop_.load(std::memory_order_relaxed)) {
              }
          })
    {
    }
    ~BusyCore()
    {
        stop_ = true;
        spinner_.join();
    }
    BusyCore(const BusyCore&) = delete;
    BusyCore& operator=(const BusyCore&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread spinner_;
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

class Table {
public:
    void add(const Errors& errors)
    {
        ++measured_;
        exact_ += errors.exact() ? 1 : 0;
        worst_ = {larger(worst_.recIn, errors.recIn), larger(worst_.recOut, errors.recOut),
                  larger(worst_.source, errors.source)};
    }
    void printSummary(int edits) const
    {
        std::printf("  %d edits, %d exact; worst: rec in %+d, rec out %+d, src vs rec %+d", edits, exact_,
                    worst_.recIn, worst_.recOut, worst_.source);
        if (measured_ < edits)
            std::printf("; %d not measured", edits - measured_);
        std::printf("\n\n");
    }

private:
    int measured_ = 0;
    int exact_ = 0;
    Errors worst_;
};

std::string joined(const std::vector<std::string>& texts)
{
    std::string all;
    for (const std::string& text : texts)
        all += (all.empty() ? "" : " | ") + text;
    return all;
}

// Performs one edit; prints its line and, when its recording could be measured, returns it.
std::optional<Errors> performEdit(EngineRig& rig, TapeRecord& tape, int number, const Points& points)
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
    if (outcome.kind != EditOutcome::Kind::Completed) {
        const auto statuses = rig.progress.statuses();
        std::printf("not completed: %s%s%s\n", joined({statuses.begin() + statusesBefore, statuses.end()}).c_str(),
                    fault.empty() ? "" : "; tape: ", fault.c_str());
        return std::nullopt;
    }
    if (!made) {
        std::printf("%s\n", fault.c_str());
        return std::nullopt;
    }
    const Errors errors = errorsOf(*made, points);
    std::printf("%+6d  %+7d  %+10d%s%s\n", errors.recIn, errors.recOut, errors.source,
                errors.channelsRight ? "" : "  channels ", errors.channelsRight ? "" : made->channels.c_str());
    return errors;
}

void run(const Profile& profile, int edits)
{
    std::printf("%s: %s\n", profile.name, profile.description);
    std::printf("  edit  mode      length  player in    recorder in  rec in  rec out  src vs rec\n");
    std::optional<BusyCore> busy;
    if (profile.otherCoreBusy)
        busy.emplace();
    EngineRig rig(profile.options, insertAll);
    rig.request.adjust = profile.adjust;
    Layout layout(rig);
    TapeRecord tape;
    Table table;
    for (int index = 0; index < edits; ++index) {
        if (const auto errors = performEdit(rig, tape, index + 1, layout.next(index, edits)))
            table.add(*errors);
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
    std::fprintf(stderr, "usage: bench_edit_accuracy [profile...] [edits]\nprofiles:");
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
    std::vector<const Profile*> chosen;
    for (int arg = 1; arg < argc; ++arg) {
        if (isCount(argv[arg])) {
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
    for (const Profile* profile : chosen)
        run(*profile, edits);
    return 0;
}
