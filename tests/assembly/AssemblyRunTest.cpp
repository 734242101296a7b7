// A run over a performer that plays the decks' part as scripted: reel prompts, the stop on
// the first event in doubt with retry and skip, ALL STOP, runs that must not start, the
// routing question, the journal and resuming, and the countdowns.

#include "assembly/AssemblyJournal.h"
#include "assembly/AssemblyRun.h"
#include "tests/assembly/AssemblyTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace assemblytest;
using Kind = AssemblyOutcome::Kind;

namespace {

// Six one-second events on reels A, B, A, B, C, A, one after the other on the record tape.
const char* const threeReels = "001  A        V     C        00:10:00:00 00:10:01:00 00:00:10:00 00:00:11:00\n"
                               "002  B        V     C        00:20:00:00 00:20:01:00 00:00:11:00 00:00:12:00\n"
                               "003  A        V     C        00:10:05:00 00:10:06:00 00:00:12:00 00:00:13:00\n"
                               "004  B        V     C        00:20:05:00 00:20:06:00 00:00:13:00 00:00:14:00\n"
                               "005  C        V     C        00:30:00:00 00:30:01:00 00:00:14:00 00:00:15:00\n"
                               "006  A        V     C        00:10:10:00 00:10:11:00 00:00:15:00 00:00:16:00\n";

// Five one-second events from reel A.
const char* const oneReel = "001  A        V     C        00:10:00:00 00:10:01:00 00:00:10:00 00:00:11:00\n"
                            "002  A        V     C        00:10:05:00 00:10:06:00 00:00:11:00 00:00:12:00\n"
                            "003  A        V     C        00:10:10:00 00:10:11:00 00:00:12:00 00:00:13:00\n"
                            "004  A        V     C        00:10:15:00 00:10:16:00 00:00:13:00 00:00:14:00\n"
                            "005  A        V     C        00:10:20:00 00:10:21:00 00:00:14:00 00:00:15:00\n";

AssemblySetup setupOf(AssemblyMode mode, const std::string& mounted)
{
    AssemblySetup setup;
    setup.mode = mode;
    setup.mountedReel = mounted;
    return setup;
}

struct Bench {
    explicit Bench(const char* events) : list(listOf(events)) {}

    AssemblyRun run(const AssemblySetup& setup, AssemblyJournal* journal = nullptr)
    {
        return AssemblyRun(list, setup, performer, clock, op, journal);
    }

    EventList list;
    ScriptedPerformer performer;
    InstantClock clock;
    Operator op;
};

}

TEST(AssemblyRun, ListOrderPromptsAtEveryReelChangeAndByReelOncePerReel)
{
    for (const auto mode : {AssemblyMode::ListOrder, AssemblyMode::ByReel}) {
        Bench bench(threeReels);
        std::vector<std::string> mounted;
        bench.op.mountsWith([&](const std::string& reel) {
            mounted.push_back(reel);
            return true;
        });

        const AssemblyOutcome outcome = bench.run(setupOf(mode, "A")).start();

        EXPECT_EQ(outcome.kind, Kind::Completed);
        EXPECT_EQ(outcome.recorded, 6);
        EXPECT_EQ(outcome.events, 6);
        if (mode == AssemblyMode::ListOrder) {
            EXPECT_EQ(bench.performer.performed, (std::vector<int>{1, 2, 3, 4, 5, 6}));
            EXPECT_EQ(mounted, (std::vector<std::string>{"B", "A", "B", "C", "A"}));
        } else {
            EXPECT_EQ(bench.performer.performed, (std::vector<int>{1, 3, 6, 2, 4, 5}));
            EXPECT_EQ(mounted, (std::vector<std::string>{"B", "C"}));
        }
        EXPECT_EQ(bench.op.prompts().front(), "MOUNT REEL B ON THE PLAYER");
        for (int number = 1; number <= 6; ++number) {
            EXPECT_EQ(bench.op.latest(number).state, EventState::Recorded) << number;
            EXPECT_TRUE(bench.op.reached(number, EventState::Cueing)) << number;
        }
        EXPECT_EQ(bench.op.latest(1).text, "RECORDED 00:00:10:00 TO 00:00:10:29");
    }
}

TEST(AssemblyRun, AReelNoOneMountsStopsTheRunBeforeItsEventAndARetryAsksAgain)
{
    Bench bench(threeReels);

    AssemblyRun run = bench.run(setupOf(AssemblyMode::ListOrder, "A"));
    const AssemblyOutcome stopped = run.start();

    EXPECT_EQ(stopped.kind, Kind::Stopped);
    EXPECT_EQ(stopped.event, indexOf(bench.list, 2));
    EXPECT_EQ(stopped.text, "REEL B NOT MOUNTED");
    EXPECT_EQ(bench.performer.performed, std::vector<int>{1});
    EXPECT_EQ(bench.op.latest(2).state, EventState::Pending);

    bench.op.mountsWith([](const std::string&) { return true; });
    const AssemblyOutcome done = run.retry();

    EXPECT_EQ(done.kind, Kind::Completed);
    EXPECT_EQ(bench.op.prompts().size(), 6u) << "B asked again, then every change after it";
    EXPECT_EQ(bench.performer.performed, (std::vector<int>{1, 2, 3, 4, 5, 6}));
}

TEST(AssemblyRun, TheFirstEventInDoubtStopsTheRunWithTheDecksStoppedAndIsRetriedOrSkipped)
{
    Bench bench(oneReel);
    bench.performer.then(2, EventResult::Kind::NotExact, "EDIT OVERRAN BY 3 FRAMES");
    bench.performer.then(4, EventResult::Kind::Failed, "EDIT MISSED - NOTHING RECORDED");
    bench.performer.then(4, EventResult::Kind::Failed, "RECORDER: RECORD INHIBIT");
    AssemblyRun run = bench.run(setupOf(AssemblyMode::ListOrder, "A"));

    const AssemblyOutcome first = run.start();
    EXPECT_EQ(first.kind, Kind::Stopped);
    EXPECT_EQ(first.event, indexOf(bench.list, 2));
    EXPECT_EQ(first.text, "EDIT OVERRAN BY 3 FRAMES");
    EXPECT_TRUE(first.decksSafe);
    EXPECT_EQ(bench.performer.performed, (std::vector<int>{1, 2})) << "nothing after it";
    const int stopsBefore = bench.performer.stops;
    EXPECT_EQ(bench.op.latest(2).state, EventState::Failed);
    EXPECT_EQ(bench.op.latest(2).text, "EDIT OVERRAN BY 3 FRAMES");
    EXPECT_EQ(bench.op.latest(3).state, EventState::Pending);

    const AssemblyOutcome second = run.retry();
    EXPECT_GT(bench.performer.stops, stopsBefore) << "the decks are stopped at each stop";
    EXPECT_EQ(second.kind, Kind::Stopped);
    EXPECT_EQ(second.event, indexOf(bench.list, 4));
    EXPECT_EQ(run.retry().text, "RECORDER: RECORD INHIBIT");

    const AssemblyOutcome done = run.skip();
    EXPECT_EQ(done.kind, Kind::Completed);
    EXPECT_EQ(done.recorded, 4);
    EXPECT_EQ(done.events, 5);
    EXPECT_EQ(bench.op.latest(4).state, EventState::Skipped);
    EXPECT_EQ(bench.performer.performed, (std::vector<int>{1, 2, 2, 3, 4, 4, 5}));
    EXPECT_EQ(run.skip().kind, Kind::Completed) << "nothing to skip once complete";
    EXPECT_EQ(bench.performer.performed.size(), 7u);
}

TEST(AssemblyRun, AllStopEndsTheRunAtTheEventItStopped)
{
    {
        Bench during(oneReel);
        during.performer.whenStarting(2, [&] { during.clock.abort(); });
        during.performer.then(2, EventResult::Kind::Aborted, "EDIT ABORTED");
        const AssemblyOutcome outcome = during.run(setupOf(AssemblyMode::ListOrder, "A")).start();
        EXPECT_EQ(outcome.kind, Kind::Stopped);
        EXPECT_EQ(outcome.event, indexOf(during.list, 2));
        EXPECT_EQ(outcome.text, "EDIT ABORTED");
        EXPECT_EQ(during.performer.performed, (std::vector<int>{1, 2}));
    }
    {
        // Pressed as event 2 was ending: it is on tape, and nothing starts after it.
        Bench after(oneReel);
        after.performer.whenStarting(2, [&] { after.clock.abort(); });
        const AssemblyOutcome outcome = after.run(setupOf(AssemblyMode::ListOrder, "A")).start();
        EXPECT_EQ(outcome.kind, Kind::Stopped);
        EXPECT_EQ(outcome.event, indexOf(after.list, 3));
        EXPECT_EQ(outcome.recorded, 2);
        EXPECT_EQ(after.performer.performed, (std::vector<int>{1, 2}));
    }
}

TEST(AssemblyRun, AListWithADissolveSendsNothingAndNamesTheEvent)
{
    Bench bench("001  A        V     C        00:10:00:00 00:10:01:00 00:00:10:00 00:00:11:00\n"
                "002  A        V     C        00:10:05:00 00:10:05:00 00:00:11:00 00:00:11:00\n"
                "002  A        V     D    015 00:10:09:00 00:10:10:00 00:00:11:00 00:00:12:00\n");
    TempDir dir;
    AssemblyJournal journal(dir.file("list.edl.journal"));

    const AssemblyOutcome outcome = bench.run(setupOf(AssemblyMode::ListOrder, "A"), &journal).start();

    EXPECT_EQ(outcome.kind, Kind::NotStarted);
    EXPECT_EQ(outcome.text, "NEEDS A SWITCHER: EVENT 2");
    EXPECT_TRUE(bench.performer.performed.empty());
    EXPECT_EQ(bench.performer.stops, 0) << "nothing sent to the decks";
    EXPECT_TRUE(bench.op.reports().empty());
    EXPECT_FALSE(std::filesystem::exists(journal.path()));
}

TEST(AssemblyRun, RecorderOnlyEventsWaitForTheRoutingToBeConfirmedOncePerRun)
{
    const char* events = "001  BL       V     C        00:00:00:00 00:00:01:00 00:00:10:00 00:00:11:00\n"
                         "002  A        V     C        00:10:05:00 00:10:06:00 00:00:11:00 00:00:12:00\n"
                         "003  AX       AA/V  C        00:00:00:00 00:00:01:00 00:00:12:00 00:00:13:00\n"
                         "004  BL       V     C        00:00:00:00 00:00:01:00 00:00:13:00 00:00:14:00\n";
    const std::string question = "RECORDER'S INPUT ROUTED FOR EVENTS 1, 3, 4 (AX, BL)?";
    {
        Bench declined(events);
        const AssemblyOutcome outcome = declined.run(setupOf(AssemblyMode::ListOrder, "A")).start();
        EXPECT_EQ(outcome.kind, Kind::NotStarted);
        EXPECT_EQ(outcome.text, "SOURCE NOT ROUTED: EVENTS 1, 3, 4");
        EXPECT_EQ(declined.op.questions(), std::vector<std::string>{question});
        EXPECT_TRUE(declined.performer.performed.empty());
    }
    Bench confirmed(events);
    confirmed.op.confirms(true);
    const AssemblyOutcome outcome = confirmed.run(setupOf(AssemblyMode::ListOrder, "A")).start();
    EXPECT_EQ(outcome.kind, Kind::Completed);
    EXPECT_EQ(confirmed.op.questions(), std::vector<std::string>{question});
    EXPECT_TRUE(confirmed.op.prompts().empty()) << "black and the auxiliary source need no reel";
    EXPECT_EQ(confirmed.performer.performed, (std::vector<int>{1, 2, 3, 4}));
}

TEST(AssemblyRun, AResumedRunRecordsOnlyWhatTheJournalDoesNotHaveOnTape)
{
    TempDir dir;
    const std::string path = dir.file("programme.edl.journal");
    Bench first(oneReel);
    first.performer.then(3, EventResult::Kind::Failed, "EDIT FAILED - NOTHING RECORDED");
    AssemblyJournal journal(path);
    ASSERT_EQ(first.run(setupOf(AssemblyMode::ListOrder, "A"), &journal).start().kind, Kind::Stopped);

    // The program starts again on the same list.
    Bench second(oneReel);
    AssemblyJournal reread = AssemblyJournal::load(path);
    AssemblySetup resume = setupOf(AssemblyMode::ListOrder, "A");
    resume.resume = true;
    const AssemblyOutcome outcome = second.run(resume, &reread).start();
    EXPECT_EQ(outcome.kind, Kind::Completed);
    EXPECT_EQ(outcome.recorded, 5);
    EXPECT_EQ(second.performer.performed, (std::vector<int>{3, 4, 5}));
    EXPECT_EQ(second.op.latest(1).text, "RECORDED EARLIER");
    EXPECT_EQ(second.op.latest(1).state, EventState::Recorded);
    EXPECT_EQ(AssemblyJournal::load(path).onTape(second.list).size(), 5u);

    // Event 2 trimmed since: no longer the event the tape holds.
    Bench trimmed(oneReel);
    trimmed.list.trim(indexOf(trimmed.list, 2), TrimPoint::RecordOut, -5, Ripple::Off);
    AssemblyJournal again = AssemblyJournal::load(path);
    EXPECT_EQ(trimmed.run(resume, &again).start().kind, Kind::Completed);
    EXPECT_EQ(trimmed.performer.performed, std::vector<int>{2});

    // A run that does not resume records everything and the journal forgets it first.
    Bench fresh(oneReel);
    fresh.performer.then(1, EventResult::Kind::Failed, "EDIT FAILED - NOTHING RECORDED");
    AssemblyJournal last = AssemblyJournal::load(path);
    EXPECT_EQ(fresh.run(setupOf(AssemblyMode::ListOrder, "A"), &last).start().kind, Kind::Stopped);
    EXPECT_TRUE(AssemblyJournal::load(path).onTape(fresh.list).empty());
}

TEST(AssemblyRun, AJournalThatCannotBeWrittenStopsTheRunAtTheEventItMissed)
{
    TempDir dir;
    Bench bench(oneReel);
    AssemblyJournal journal(dir.file("gone/programme.edl.journal"));

    const AssemblyOutcome outcome = bench.run(setupOf(AssemblyMode::ListOrder, "A"), &journal).start();

    EXPECT_EQ(outcome.kind, Kind::Stopped);
    EXPECT_EQ(outcome.event, indexOf(bench.list, 1));
    EXPECT_EQ(outcome.text.rfind("JOURNAL NOT WRITTEN: ", 0), 0u) << outcome.text;
    EXPECT_EQ(outcome.recorded, 0);
    EXPECT_EQ(bench.performer.performed, std::vector<int>{1});
}

TEST(AssemblyRun, CountsDownToTheNextReelChangeAndToTheEnd)
{
    // One-second events, A A B B; ten seconds guessed around each edit until one is made.
    Bench bench("001  A        V     C        00:10:00:00 00:10:01:00 00:00:10:00 00:00:11:00\n"
                "002  A        V     C        00:10:05:00 00:10:06:00 00:00:11:00 00:00:12:00\n"
                "003  B        V     C        00:20:00:00 00:20:01:00 00:00:12:00 00:00:13:00\n"
                "004  B        V     C        00:20:05:00 00:20:06:00 00:00:13:00 00:00:14:00\n");
    bench.op.mountsWith([](const std::string&) { return true; });

    ASSERT_EQ(bench.run(setupOf(AssemblyMode::ListOrder, "A")).start().kind, Kind::Completed);

    using std::chrono::seconds;
    const auto countdowns = bench.op.countdowns();
    ASSERT_EQ(countdowns.size(), 4u);
    EXPECT_EQ(countdowns[0].toEnd, seconds(44));
    EXPECT_EQ(countdowns[0].toReelChange, seconds(22));
    // The first event took no time beyond its length here: that is what the rest will take.
    EXPECT_EQ(countdowns[1].toEnd, seconds(3));
    EXPECT_EQ(countdowns[1].toReelChange, seconds(1));
    EXPECT_EQ(countdowns[2].toReelChange, seconds(0)) << "the change is due now";
    EXPECT_EQ(countdowns[3].toReelChange, std::nullopt);
    EXPECT_EQ(countdowns[3].toEnd, seconds(1));
}
