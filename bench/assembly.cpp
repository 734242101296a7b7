// A thirty-event list assembled on the virtual decks, headless, with the sequence's set
// pauses as long as in service: how many events are not on tape exactly as the list says
// (goal 0), and the time each event takes against its floor, what the decks themselves need:
// the longer of the two decks' cue winding (at the decks' 50 times play speed), the preroll,
// the edit's length (and an assemble edit's two seconds past its out point) and the settle
// after edit off (the edit delay and two frames). The overhead Kestrix adds per event is the
// difference; its goal is under a second.
//
//   bench_assembly [profile...] [events]
//
// Profiles: ideal, realistic, usb (all by default, in this order); 30 events by default,
// inserts and assemble edits of one to four seconds, from one reel, one after the other on
// the record tape with three seconds between them.
#include "assembly/AssemblyRun.h"
#include "assembly/DeckEventPerformer.h"
#include "tests/assembly/AssemblyTestSupport.h"
#include "tests/engine/EngineRig.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

using namespace assemblytest;
using decksim::Role;
using Clock = std::chrono::steady_clock;

namespace {

struct Profile {
    const char* name;
    const char* description;
    decksim::Options options;
    int adjust;
};

const Profile profiles[] = {
    {"ideal", "replies at once, no edit delay, EditAdjust 0", enginetest::options([](auto&) {}), 0},
    {"realistic", "3 ms replies, edit delay 5 frames, EditAdjust -5", enginetest::options([](auto& o) {
         o.replyDelayMs = 3;
         o.editDelayFrames = 5;
     }),
     -5},
    {"usb", "USB adapter, 16 ms latency timer", enginetest::options([](auto& o) { o.adapterLatencyMs = 16; }), 0},
};

constexpr int prerollSeconds = 1;
constexpr double seekSpeed = 50.0;

// The sequence's waits as in service: nothing shortened, nothing aborted. The pauses of a
// second or more are added up: the auto edit's fixed waits (a second and five more after the
// preroll command, two after the edit) and its waits for a deck to reach its preroll point,
// a second at a time; the shorter waits for cue-up overlap the decks' winding.
class ServiceClock : public EditClock {
public:
    bool waitUntil(Clock::time_point when) override
    {
        std::this_thread::sleep_until(when);
        return true;
    }
    bool aborted() const override { return false; }
    bool pause(std::chrono::milliseconds span) override
    {
        const auto from = Clock::now();
        std::this_thread::sleep_for(span);
        if (span >= std::chrono::seconds(1))
            paused += Clock::now() - from;
        return true;
    }
    Clock::duration paused{};
};

EventList benchList(TimeBase base, int events)
{
    EventList list(base);
    const int second = base.labelsPerSecond();
    int record = 10 * second;
    int source = 20 * second;
    for (int number = 1; number <= events; ++number) {
        const int length = (1 + number % 4) * second + number % 7;
        // Every fifth an assemble edit, which records everything; of the others every third
        // an insert of video alone.
        const bool assemble = number % 5 == 0;
        const bool videoAlone = !assemble && number % 3 == 0;
        Event event = eventOf(list, number, "A", videoAlone ? video() : everything(), source, record, length);
        event.assemble = assemble;
        list.append(event);
        const int overrun = event.assemble ? EditEngine::assembleOverrunSeconds * second : 0;
        record += length + overrun + 3 * second;
        source += length + 5 * second;
    }
    return list;
}

// The times of an event: when it began (the run reported it cueing or, for the first, when
// the run started) and when the recorder had confirmed it.
class Stopwatch : public Operator {
public:
    explicit Stopwatch(const ServiceClock& clock) : clock_(clock) {}

    void event(const EventReport& report) override
    {
        Operator::event(report);
        if (report.state == EventState::Recorded || report.state == EventState::Failed) {
            ends[report.number] = Clock::now();
            pausedBy[report.number] = clock_.paused;
        }
    }
    std::map<int, Clock::time_point> ends;
    // The fixed waits of the run when the event ended.
    std::map<int, Clock::duration> pausedBy;

private:
    const ServiceClock& clock_;
};

double seconds(Clock::duration span)
{
    return std::chrono::duration<double>(span).count();
}

struct Figures {
    std::vector<double> overheads;
    std::vector<double> beyondPauses;
    int inexact = 0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void run(const Profile& profile, int events)
{
    std::printf("%s: %s\n", profile.name, profile.description);
    std::printf("  event  length   took      floor     overhead  of it fixed waits  tape\n");
    decksim::Options options = profile.options;
    options.playerReels = {"A"};
    enginetest::EngineRig rig(options, enginetest::insertAll);
    ServiceClock clock;
    DeckEventPerformer performer(*rig.player, *rig.recorder, clock, {prerollSeconds, prerollSeconds, profile.adjust});
    Stopwatch watch(clock);
    const EventList list = benchList(rig.base, events);
    AssemblySetup setup;
    setup.mountedReel = "A";
    AssemblyRun assembly(list, setup, performer, clock, watch);

    // The decks wind from where the event before left them: the player at its source out,
    // the recorder where its recording ended; the first event from where the decks stand.
    int player = rig.decks.positionFrames(Role::Player);
    int recorder = rig.decks.positionFrames(Role::Recorder);
    const auto began = Clock::now();
    AssemblyOutcome outcome = assembly.start();
    while (outcome.kind == AssemblyOutcome::Kind::Stopped) {
        std::printf("  event %d not exact: %s\n", list[*outcome.event].number, outcome.text.c_str());
        outcome = assembly.skip();
    }

    const int second = rig.base.labelsPerSecond();
    const auto tape = rig.decks.segments();
    Figures figures;
    auto previousEnd = began;
    Clock::duration previousPaused{};
    for (std::size_t index = 0; index < list.size(); ++index) {
        const Event& event = list[index];
        const EditLine& line = event.lines.front();
        const int overrun = event.assemble ? EditEngine::assembleOverrunSeconds * second : 0;
        std::vector<decksim::Report::Segment> near;
        for (const auto& segment : tape) {
            if (segment.recLast >= line.recordIn - second && segment.recFirst < line.recordOut + overrun + second)
                near.push_back(segment);
        }
        const bool exact = watch.latest(event.number).state == EventState::Recorded
            && ExpectedTape(list, {index}).differences(near).empty();
        figures.inexact += exact ? 0 : 1;
        const auto end = watch.ends.count(event.number) ? watch.ends[event.number] : previousEnd;
        const auto paused = watch.pausedBy.count(event.number) ? watch.pausedBy[event.number] : previousPaused;
        const double took = seconds(end - previousEnd);
        const double pauses = seconds(paused - previousPaused);
        previousEnd = end;
        previousPaused = paused;
        const int prerollFrames = prerollSeconds * second;
        const double winding = std::max(std::abs(player - (line.sourceIn - prerollFrames)),
                                        std::abs(recorder - (line.recordIn - prerollFrames)))
            / (seekSpeed * second);
        const double floor = winding + prerollSeconds + static_cast<double>(line.recordLength() + overrun) / second
            + static_cast<double>(2 + profile.options.editDelayFrames) / second;
        figures.overheads.push_back(took - floor);
        figures.beyondPauses.push_back(took - floor - pauses);
        player = line.sourceOut;
        recorder = line.recordOut + overrun;
        std::printf("  %5d  %5.2f s  %6.2f s  %6.2f s  %6.2f s  %6.2f s          %s\n", event.number,
                    static_cast<double>(line.recordLength()) / second, took, floor, took - floor, pauses,
                    exact ? "exact" : "NOT EXACT");
    }
    std::printf("  %d events, %d not exact; overhead per event: median %.2f s, worst %.2f s (goal under 1 s);\n"
                "  without the fixed waits: median %.2f s, worst %.2f s\n\n",
                events, figures.inexact, median(figures.overheads),
                *std::max_element(figures.overheads.begin(), figures.overheads.end()), median(figures.beyondPauses),
                *std::max_element(figures.beyondPauses.begin(), figures.beyondPauses.end()));
}

const Profile* profileNamed(const char* name)
{
    for (const Profile& profile : profiles) {
        if (std::strcmp(profile.name, name) == 0)
            return &profile;
    }
    return nullptr;
}

}

int main(int argc, char* argv[])
{
    std::vector<const Profile*> chosen;
    int events = 30;
    for (int i = 1; i < argc; ++i) {
        if (const Profile* profile = profileNamed(argv[i]))
            chosen.push_back(profile);
        else if (std::atoi(argv[i]) > 0)
            events = std::atoi(argv[i]);
        else {
            std::fprintf(stderr, "usage: bench_assembly [ideal|realistic|usb...] [events]\n");
            return 2;
        }
    }
    if (chosen.empty()) {
        for (const Profile& profile : profiles)
            chosen.push_back(&profile);
    }
    for (const Profile* profile : chosen)
        run(*profile, events);
    return 0;
}
