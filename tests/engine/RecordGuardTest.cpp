// The record guard on decks that misbehave: every edit confirmed by the recorder, and no way
// out of an edit that leaves the recorder recording.

#include "deck/RecordGuard.h"
#include "tests/engine/EngineRig.h"

#include <gtest/gtest.h>

#include <thread>

using decksim::DeckCommand;
using decksim::Role;
using namespace enginetest;

namespace {

const Packet editOff{0x20, 0x64, 0x84};
const Packet stop{0x20, 0x00, 0x20};

// The recorder frames on tape, from the decks' own report.
std::vector<decksim::Report::Segment> tape(const EngineRig& rig)
{
    return rig.decks.segments();
}

void markTenSecondInsert(EngineRig& rig)
{
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:20:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:30:00");
}

// Runs the edit on a thread of its own, so the test can act on the decks meanwhile.
class EditInBackground {
public:
    explicit EditInBackground(EngineRig& rig) : thread_([this, &rig] { outcome_ = rig.edit(); }) {}
    ~EditInBackground()
    {
        if (thread_.joinable())
            thread_.join();
    }
    EditOutcome outcome()
    {
        thread_.join();
        return outcome_;
    }

private:
    EditOutcome outcome_;
    std::thread thread_;
};

}

TEST(RecordGuard, ARecorderUnpluggedWhileRecordingIsStoppedFirstThingWhenBack)
{
    EngineRig rig(options([](auto&) {}), insertAll);
    markTenSecondInsert(rig);
    EditOutcome outcome;
    {
        EditInBackground edit(rig);
        ASSERT_TRUE(decktest::waitFor([&] { return rig.progress.reached(EditStep::EditOn); }, 60000));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        rig.decks.unplug(Role::Recorder);
        outcome = edit.outcome();
    }
    EXPECT_FALSE(outcome.onTape) << "nothing logged";
    EXPECT_TRUE(decktest::waitFor([&] { return rig.recorderView->alarm() == RecordGuard::alarmText; }));
    // A real deck does not notice its cable: it records on.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    ASSERT_TRUE(rig.recorderShowsRecord());
    rig.decks.clearTrace();
    const auto pluggedBack = std::chrono::steady_clock::now();
    rig.decks.plugBack(Role::Recorder);

    ASSERT_TRUE(decktest::waitFor([&] { return !rig.recorderShowsRecord(); }, 2000));
    const auto stoppedAfter = std::chrono::steady_clock::now() - pluggedBack;
    // The guard tries the port every 100 ms; the deck leaves record in the frame after.
    EXPECT_LT(stoppedAfter, std::chrono::milliseconds(250));
    const auto received = decktest::waitForReceived(rig.decks, Role::Recorder, 1);
    ASSERT_FALSE(received.empty());
    EXPECT_TRUE(received.front() == editOff || received.front() == stop) << "first block after plug-back";
    EXPECT_TRUE(rig.recorder->recordGuard().waitUntilClear(std::chrono::seconds(2)));
    EXPECT_EQ(rig.recorderView->alarm(), "") << "the alarm clears once the deck confirmed";
}

TEST(RecordGuard, ARecorderThatRefusesEditOffAndStopIsTriedUntilItTakesThem)
{
    // A deck switched to LOCAL for a while: twenty edit offs refused, and every stop.
    EngineRig rig(options([](auto& o) {
                      o.refusals = {{Role::Recorder, DeckCommand::EditOff, 20}, {Role::Recorder, DeckCommand::Stop, {}}};
                  }),
                  insertAll);
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:11:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:21:00");

    const EditOutcome outcome = rig.edit();

    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Failed);
    EXPECT_FALSE(outcome.onTape);
    const auto statuses = rig.progress.statuses();
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "EDIT FAILED - RECORDER DID NOT STOP"), statuses.end());
    // The guard keeps at it until the refusals run out; then the deck leaves record.
    EXPECT_TRUE(rig.recorder->recordGuard().waitUntilClear(std::chrono::seconds(10)));
    EXPECT_FALSE(rig.recorderShowsRecord());
    EXPECT_EQ(rig.recorderView->alarms(), std::vector<std::string>{RecordGuard::alarmText});
    EXPECT_EQ(rig.recorderView->alarm(), "") << "cleared once the deck confirmed";
    const auto made = tape(rig);
    ASSERT_FALSE(made.empty());
    EXPECT_EQ(made.front().recFirst, rig.frames("00:00:20:00"));
    EXPECT_GT(made.back().recLast + 1, rig.frames("00:00:21:00")) << "it did record past its out point";
}

TEST(RecordGuard, AnEditOnTheRecorderRefusesRecordsNothingAndIsNotLogged)
{
    // Each refusal takes the deck's 8 ms to come back: the retries run out of frame.
    EngineRig rig(options([](auto& o) {
                      o.replyDelayMs = 8;
                      o.refusals = {{Role::Recorder, DeckCommand::EditOn, 5}};
                  }),
                  insertAll);
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:11:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:21:00");

    const EditOutcome outcome = rig.edit();

    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Failed);
    EXPECT_FALSE(outcome.onTape);
    EXPECT_EQ(rig.progress.statuses().back(), "EDIT FAILED - NOTHING RECORDED");
    EXPECT_TRUE(tape(rig).empty());
    EXPECT_FALSE(rig.recorderView->recordTallyEverOn()) << "the tally follows the deck, not the intention";
    EXPECT_FALSE(rig.recorder->recordGuard().active());
}

TEST(RecordGuard, AnEditTheRecorderConfirmsLightsTheTallyFromItsStatus)
{
    EngineRig rig(options([](auto&) {}), insertAll);
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:12:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:22:00");

    const EditOutcome outcome = rig.edit();

    ASSERT_EQ(outcome.kind, EditOutcome::Kind::Completed) << testing::PrintToString(rig.progress.statuses());
    EXPECT_TRUE(outcome.exact);
    EXPECT_TRUE(rig.recorderView->recordTallyEverOn());
    EXPECT_FALSE(rig.recorderView->recordTally());
    ASSERT_TRUE(outcome.recorded);
    EXPECT_EQ(*outcome.recorded, (RecordedStretch{rig.frames("00:00:20:00"), rig.frames("00:00:22:00")}));
}

namespace {

struct Unready {
    const char* name;
    decksim::Options options;
    const char* text;
};

class RefusedBeforeAnyMotion : public testing::TestWithParam<Unready> {};

}

TEST_P(RefusedBeforeAnyMotion, WithItsOwnText)
{
    EngineRig rig(GetParam().options, insertAll);
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:11:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:21:00");
    rig.decks.clearTrace();

    const EditOutcome outcome = rig.edit();

    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Refused);
    EXPECT_EQ(rig.progress.statuses(), std::vector<std::string>{GetParam().text});
    for (const auto& entry : rig.decks.trace()) {
        if (entry.received) {
            const auto command = decksim::DeckCommands::of(entry.bytes);
            EXPECT_TRUE(command == DeckCommand::Status || command == DeckCommand::TimeCode
                        || command == DeckCommand::Preset)
                << "nothing that moves tape: " << decksim::DeckCommands::name(*command);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Decks, RefusedBeforeAnyMotion,
    testing::Values(Unready{"RecordInhibit", options([](auto& o) { o.recordInhibit = true; }), "RECORDER: RECORD INHIBIT"},
                    Unready{"PlayerInLocal", options([](auto& o) { o.playerLocal = true; }), "PLAYER: DECK IN LOCAL"},
                    Unready{"RecorderInLocal", options([](auto& o) { o.recorderLocal = true; }),
                            "RECORDER: DECK IN LOCAL"},
                    Unready{"NoTapeInTheRecorder", options([](auto& o) { o.recorderNoTape = true; }),
                            "RECORDER: NO TAPE"},
                    Unready{"NoTapeInThePlayer", options([](auto& o) { o.playerNoTape = true; }), "PLAYER: NO TAPE"},
                    Unready{"ModePresetRefused",
                            options([](auto& o) { o.refusals = {{Role::Recorder, DeckCommand::Preset, {}}}; }),
                            "RECORDER: EDIT PRESET REFUSED"}),
    [](const testing::TestParamInfo<Unready>& info) { return std::string(info.param.name); });

TEST(RecordGuard, ARefusedModePresetIsSentAgainAndTheEditGoesOn)
{
    EngineRig rig(options([](auto& o) { o.refusals = {{Role::Recorder, DeckCommand::Preset, 1}}; }), 0x50);
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:11:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:21:00");
    rig.decks.clearTrace();

    const EditOutcome outcome = rig.edit();

    ASSERT_EQ(outcome.kind, EditOutcome::Kind::Completed) << testing::PrintToString(rig.progress.statuses());
    EXPECT_EQ(rig.decks.editPreset(Role::Recorder), 0x50);
    const auto made = tape(rig);
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made.front().channels, decksim::ChannelSet{decksim::channelBit(decksim::Channel::V)});
}

TEST(RecordGuard, ADeckSwitchedOffWhileUnpluggedGetsItsPresetsAgain)
{
    EngineRig rig(options([](auto&) {}), 0x41);
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:21:00");
    ASSERT_EQ(rig.decks.editPreset(Role::Recorder), 0x41);
    rig.decks.unplug(Role::Recorder);
    ASSERT_TRUE(decktest::waitFor([&] { return !rig.recorder->online(); }));
    rig.decks.powerCycle(Role::Recorder);
    rig.decks.plugBack(Role::Recorder);

    ASSERT_TRUE(decktest::waitFor([&] { return rig.decks.editPreset(Role::Recorder) == 0x41; }, 5000));
    EXPECT_TRUE(decktest::waitFor([&] { return rig.decks.prerollFrames(Role::Recorder) == 30; }));
    EXPECT_TRUE(decktest::waitFor([&] { return rig.decks.inPoint(Role::Recorder) == rig.frames("00:00:20:00"); }));
    EXPECT_TRUE(decktest::waitFor([&] { return rig.decks.outPoint(Role::Recorder) == rig.frames("00:00:21:00"); }));
}
