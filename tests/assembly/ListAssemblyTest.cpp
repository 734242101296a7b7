// Lists assembled on the virtual decks, checked on the recorder's own report of its tape
// (the reel and the source frame of every channel of every frame): a thirty-event list over
// two reels in A-mode and B-mode at 30 and 29.97 drop-frame, and runs that meet a deck that
// will not go on, each stopped at its event with the decks safe and nothing recorded after it.

#include "deck/RecordGuard.h"
#include "tests/assembly/AssemblyRig.h"

#include <gtest/gtest.h>

#include <thread>

using decksim::DeckCommand;
using decksim::Role;
using namespace assemblytest;
using Kind = AssemblyOutcome::Kind;

namespace {

constexpr std::uint8_t stopBit = 0x20;

enum class Edit { Video, Audios, All, Assemble, AudioDelayed, VideoDelayed };

struct Planned {
    char reel;
    Edit edit;
};

// Events 2 to 30; event 1 is black. Assemble edits come from reel A only: in B-mode reel B
// is recorded after A, and a B assemble would record past its out point over A's events.
const Planned planned[] = {
    {'A', Edit::Assemble}, {'A', Edit::Video},  {'B', Edit::Audios},       {'A', Edit::All},
    {'B', Edit::Video},    {'B', Edit::All},    {'A', Edit::Audios},       {'A', Edit::Assemble},
    {'B', Edit::Video},    {'B', Edit::AudioDelayed}, {'A', Edit::All},    {'B', Edit::Audios},
    {'A', Edit::Video},    {'A', Edit::VideoDelayed}, {'B', Edit::All},    {'B', Edit::Video},
    {'A', Edit::Assemble}, {'A', Edit::Audios}, {'B', Edit::All},          {'A', Edit::Video},
    {'B', Edit::Audios},   {'A', Edit::All},    {'A', Edit::Video},        {'B', Edit::Video},
    {'B', Edit::All},      {'A', Edit::Assemble}, {'B', Edit::Audios},     {'A', Edit::Video},
    {'B', Edit::All},
};

int frameOf(TimeBase base, const char* label)
{
    return *base.frameOf(label);
}

// Thirty events of 12 to 20 frames, one after the other on the record tape, the sources of
// each reel a couple of seconds apart so that the player winds between them. On the
// drop-frame base the record tape and both reels' sources cross minutes whose first two
// labels are skipped.
EventList thirtyEvents(TimeBase base)
{
    EventList list(base);
    const bool df = base.dropFrame();
    int record = frameOf(base, df ? "00:00:55:00" : "00:00:10:00");
    int sourceA = frameOf(base, df ? "00:00:58:00" : "00:00:20:00");
    int sourceB = frameOf(base, df ? "00:01:58:00" : "00:00:40:00");
    list.append(eventOf(list, 1, "BL", video(), 0, record, 20));
    record += 20;
    int number = 2;
    for (const Planned& p : planned) {
        const int length = 12 + (number * 5) % 9;
        int& source = p.reel == 'A' ? sourceA : sourceB;
        const std::string reel(1, p.reel);
        Event event = eventOf(list, number, reel, everything(), source, record, length);
        switch (p.edit) {
        case Edit::Video:
            event.lines[0].channels = video();
            break;
        case Edit::Audios:
            event.lines[0].channels = bothAudios();
            break;
        case Edit::All:
            break;
        case Edit::Assemble:
            event.assemble = true;
            break;
        case Edit::AudioDelayed:
        case Edit::VideoDelayed: {
            const bool audioLater = p.edit == Edit::AudioDelayed;
            const int delay = audioLater ? 6 : 8;
            event.lines[0].channels = audioLater ? video() : bothAudios();
            EditLine later = eventOf(list, number, reel, audioLater ? bothAudios() : video(), source + delay,
                                     record + delay, length - delay)
                                 .lines[0];
            event.lines.push_back(later);
            event.split = {audioLater ? Split::Delay::Audio : Split::Delay::Video, delay};
            break;
        }
        }
        list.append(event);
        record += length;
        source += length + 2 * base.labelsPerSecond();
        ++number;
    }
    return list;
}

int reelChangesInListOrder(const EventList& list, std::string mounted)
{
    int changes = 0;
    for (std::size_t index = 0; index < list.size(); ++index) {
        const std::string& reel = list[index].lines.front().reel;
        if (reel != "BL" && reel != mounted) {
            ++changes;
            mounted = reel;
        }
    }
    return changes;
}

struct Assembly {
    const char* name;
    decksim::TimeBase base;
    AssemblyMode mode;
};

class ThirtyEventListRealTime : public testing::TestWithParam<Assembly> {};

void PrintTo(const Assembly& assembly, std::ostream* out)
{
    *out << assembly.name;
}

}

TEST_P(ThirtyEventListRealTime, TheRecordersTapeIsTheListFrameForFrameAndChannelForChannel)
{
    const Assembly& assembly = GetParam();
    AssemblyRig rig(twoReels([&](decksim::Options& o) { o.timeBase = assembly.base; }));
    const EventList list = thirtyEvents(rig.engine.base);
    AssemblySetup setup;
    setup.mode = assembly.mode;
    setup.mountedReel = "A";

    const AssemblyOutcome outcome = rig.runOf(list, setup).start();

    ASSERT_EQ(outcome.kind, Kind::Completed) << outcome.text << " at list index " << outcome.event.value_or(0) << "\n"
                                             << rig.lastTexts() << joined(rig.engine.decks.reportLines());
    EXPECT_EQ(outcome.recorded, 30);
    const auto differences = tapeOf(list).differences(rig.engine.decks.segments());
    EXPECT_TRUE(differences.empty()) << joined(differences);
    EXPECT_EQ(rig.op.questions().size(), 1u) << "the routing of black, once";
    if (assembly.mode == AssemblyMode::ByReel)
        EXPECT_EQ(rig.op.prompts(), std::vector<std::string>{"MOUNT REEL B ON THE PLAYER"});
    else
        EXPECT_EQ(static_cast<int>(rig.op.prompts().size()), reelChangesInListOrder(list, "A"));
    for (const auto& event : {list[0], list[29]})
        EXPECT_EQ(rig.op.latest(event.number).state, EventState::Recorded) << event.number;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ThirtyEventListRealTime,
    testing::Values(Assembly{"Fps30ListOrder", decksim::TimeBase::fps30, AssemblyMode::ListOrder},
                    Assembly{"Fps30ByReel", decksim::TimeBase::fps30, AssemblyMode::ByReel},
                    Assembly{"DropFrameListOrder", decksim::TimeBase::fps2997DropFrame, AssemblyMode::ListOrder},
                    Assembly{"DropFrameByReel", decksim::TimeBase::fps2997DropFrame, AssemblyMode::ByReel}),
    [](const testing::TestParamInfo<Assembly>& info) { return std::string(info.param.name); });

namespace {

// Four events of reel A, one after the other on the record tape.
EventList fourEvents(TimeBase base)
{
    EventList list(base);
    for (int number = 1; number <= 4; ++number) {
        list.append(eventOf(list, number, "A", everything(), frameOf(base, "00:00:20:00") + 90 * number,
                            frameOf(base, "00:00:10:00") + 20 * (number - 1), 20));
    }
    return list;
}

// What the run meets at event 2, and what stops it there.
struct Fault {
    const char* name;
    decksim::Options options;
    const char* text;
    // Done at the moment event 2 reaches the state, by a thread of its own.
    EventState when;
    std::function<void(AssemblyRig&)> act;
};

class FaultRealTime : public testing::TestWithParam<Fault> {};

void PrintTo(const Fault& fault, std::ostream* out)
{
    *out << fault.name;
}

// Each frame the recorder recorded belongs to the events before the one the run stopped at,
// or to that event's source running on: nothing of an event after it.
void expectNothingAfter(const EventList& list, std::size_t stoppedAt, const std::vector<decksim::Report::Segment>& tape)
{
    const EditLine& stopped = list[stoppedAt].lines.front();
    for (const auto& segment : tape) {
        const int offset = segment.srcFirst - segment.recFirst;
        bool known = offset == stopped.sourceIn - stopped.recordIn && segment.recFirst >= stopped.recordIn;
        for (std::size_t index = 0; index < stoppedAt && !known; ++index) {
            const EditLine& line = list[index].lines.front();
            known = offset == line.sourceIn - line.recordIn && segment.recFirst >= line.recordIn
                && segment.recLast < line.recordOut;
        }
        EXPECT_TRUE(known) << "frames " << segment.recFirst << "-" << segment.recLast << " from source "
                           << segment.srcFirst;
    }
}

}

TEST_P(FaultRealTime, StopsTheRunAtItsEventWithTheDecksSafeAndNothingRecordedAfterIt)
{
    const Fault& fault = GetParam();
    AssemblyRig rig(fault.options);
    const EventList list = fourEvents(rig.engine.base);
    std::thread actor([&] {
        if (decktest::waitFor([&] { return rig.op.reached(2, fault.when); }, 120000))
            fault.act(rig);
    });
    AssemblySetup setup;
    setup.mountedReel = "A";

    const AssemblyOutcome outcome = rig.runOf(list, setup).start();
    actor.join();

    ASSERT_EQ(outcome.kind, Kind::Stopped) << outcome.text;
    EXPECT_EQ(outcome.event, 1u);
    EXPECT_EQ(outcome.text, fault.text);
    EXPECT_EQ(outcome.recorded, 1);
    EXPECT_TRUE(outcome.decksSafe);
    EXPECT_EQ(rig.op.latest(2).state, EventState::Failed);
    EXPECT_EQ(rig.op.latest(3).state, EventState::Pending);
    EXPECT_FALSE(rig.engine.recorder->recordGuard().active());
    EXPECT_FALSE(rig.engine.recorderShowsRecord());
    EXPECT_TRUE(decktest::waitFor([&] { return (rig.engine.decks.statusBytes(Role::Recorder)[1] & stopBit) != 0; }));
    const auto tape = rig.engine.decks.segments();
    ASSERT_FALSE(tape.empty());
    EXPECT_EQ(tape.front().recFirst, list[0].recordIn()) << "event 1 is on tape";
    expectNothingAfter(list, 1, tape);
}

INSTANTIATE_TEST_SUITE_P(
    Decks, FaultRealTime,
    testing::Values(
        Fault{"RecorderRefusesEditOff", twoReels(), "EDIT FAILED - RECORDER DID NOT STOP", EventState::Cueing,
              [](AssemblyRig& rig) { rig.engine.decks.refuse(Role::Recorder, DeckCommand::EditOff, 20); }},
        Fault{"PlayerLostWhileRecording", twoReels(), "PLAYER: DECK OFFLINE", EventState::Recording,
              [](AssemblyRig& rig) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // into the recording
                  rig.engine.decks.unplug(Role::Player);
              }},
        Fault{"AllStopWhileRecording", twoReels(), "EDIT ABORTED", EventState::Recording,
              [](AssemblyRig& rig) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(200));
                  rig.engine.clock.abort();
              }}),
    [](const testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

TEST(RecordInhibitRealTime, ACassetteProtectedMidRunStopsItAtTheNextEventAndARetryGoesOnOnceItIsNot)
{
    AssemblyRig rig(twoReels());
    const EventList list = fourEvents(rig.engine.base);
    // The cassette is swapped for a protected one as event 2 ends.
    rig.op.whenReported([&](const EventReport& report) {
        if (report.number == 2 && report.state == EventState::Recorded)
            rig.engine.decks.setRecordInhibit(Role::Recorder, true);
    });
    AssemblySetup setup;
    setup.mountedReel = "A";
    AssemblyRun& run = rig.runOf(list, setup);

    const AssemblyOutcome stopped = run.start();

    ASSERT_EQ(stopped.kind, Kind::Stopped) << stopped.text;
    EXPECT_EQ(stopped.event, 2u);
    EXPECT_EQ(stopped.text, "RECORDER: RECORD INHIBIT");
    EXPECT_TRUE(stopped.decksSafe);
    EXPECT_FALSE(rig.op.reached(3, EventState::Cueing)) << "refused before anything moved";
    const auto beforeRetry = rig.engine.decks.segments();
    expectNothingAfter(list, 2, beforeRetry);

    rig.engine.decks.setRecordInhibit(Role::Recorder, false);
    const AssemblyOutcome done = run.retry();

    ASSERT_EQ(done.kind, Kind::Completed) << done.text;
    EXPECT_EQ(done.recorded, 4);
    const auto differences = tapeOf(list).differences(rig.engine.decks.segments());
    EXPECT_TRUE(differences.empty()) << joined(differences);
}
