// An edit during which a deck's port vanishes (its USB adapter pulled out): the edit ends
// safely, nothing is logged as on tape, and once the deck is back the next edit is exact.

#include "tests/engine/EngineRig.h"

#include <gtest/gtest.h>

#include <thread>

using decksim::Role;
using namespace enginetest;

namespace {

constexpr std::uint8_t stopBit = 0x20;

// Pulls a deck's line once the edit has reached a step, and a little after it.
class PullWhen {
public:
    PullWhen(EngineRig& rig, Role role, EditStep step, std::chrono::milliseconds after)
        : thread_([&rig, role, step, after] {
              ASSERT_TRUE(decktest::waitFor([&] { return rig.progress.reached(step); }, 60000));
              std::this_thread::sleep_for(after);  // into the step, not a speed assumption
              rig.decks.unplug(role);
          })
    {
    }
    ~PullWhen() { thread_.join(); }
    PullWhen(const PullWhen&) = delete;
    PullWhen& operator=(const PullWhen&) = delete;

private:
    std::thread thread_;
};

bool stopped(EngineRig& rig, Role role)
{
    return decktest::waitFor([&] { return (rig.decks.statusBytes(role)[1] & stopBit) != 0; });
}

bool notRecording(EngineRig& rig)
{
    return decktest::waitFor([&] { return !rig.recorderShowsRecord(); });
}

// Plugs the deck back and makes an edit of 40 frames that must land exactly.
void plugBackAndEditExactly(EngineRig& rig, Role role)
{
    rig.decks.plugBack(role);
    VCR& deck = role == Role::Player ? *rig.player : *rig.recorder;
    ASSERT_TRUE(decktest::waitFor([&] { return deck.online(); }, 10000));
    ASSERT_TRUE(decktest::waitFor([&] { return rig.viewOf(deck).message() == "DECK ONLINE"; }));
    ASSERT_TRUE(rig.recorder->recordGuard().waitUntilClear(std::chrono::seconds(5)));
    rig.setPoints(*rig.player, "00:01:00:00", "00:01:01:10");
    rig.setPoints(*rig.recorder, "00:02:00:00", "00:02:01:10");
    const EditOutcome outcome = rig.edit();
    ASSERT_EQ(outcome.kind, EditOutcome::Kind::Completed) << testing::PrintToString(rig.progress.statuses());
    EXPECT_TRUE(outcome.onTape);
    const int recIn = rig.frames("00:02:00:00");
    for (const Segment& made : rig.segments()) {
        if (made.recFirst < recIn - 5)
            continue;  // what the aborted edit left
        EXPECT_EQ(made.recFirst, recIn) << "record in";
        EXPECT_EQ(made.recLast + 1, recIn + 40) << "record out";
        EXPECT_EQ(made.srcFirst - made.recFirst, rig.frames("00:01:00:00") - recIn) << "source against record";
        return;
    }
    ADD_FAILURE() << "the edit after plugging back is not on tape";
}

}

TEST(EditWithAPulledDeck, RecorderPulledBeforeEditOnRecordsNothingAndStopsThePlayer)
{
    EngineRig rig(options([](auto&) {}), insertAll);
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:16:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:26:00");
    EditOutcome outcome;
    {
        PullWhen pull(rig, Role::Recorder, EditStep::Roll, std::chrono::milliseconds(100));
        outcome = rig.edit();
    }
    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Aborted);
    EXPECT_FALSE(outcome.onTape);
    EXPECT_FALSE(rig.progress.reached(EditStep::EditOn));
    EXPECT_TRUE(rig.segments().empty());
    EXPECT_TRUE(stopped(rig, Role::Player));
    plugBackAndEditExactly(rig, Role::Recorder);
}

TEST(EditWithAPulledDeck, PlayerPulledWhileRecordingTakesTheRecorderOutOfRecord)
{
    EngineRig rig(options([](auto&) {}), insertAll);
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:20:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:30:00");
    EditOutcome outcome;
    {
        PullWhen pull(rig, Role::Player, EditStep::EditOn, std::chrono::milliseconds(300));
        outcome = rig.edit();
    }
    const int stoppedAt = rig.decks.positionFrames(Role::Recorder);
    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Aborted);
    EXPECT_FALSE(outcome.onTape);
    const auto segments = rig.segments();
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments.front().recFirst, rig.frames("00:00:20:00"));
    EXPECT_LE(segments.front().recLast, stoppedAt) << "nothing recorded after the abort";
    EXPECT_LT(segments.front().recLast, rig.frames("00:00:25:00"));
    EXPECT_TRUE(notRecording(rig));
    EXPECT_TRUE(stopped(rig, Role::Recorder));
    plugBackAndEditExactly(rig, Role::Player);
}

TEST(EditWithAPulledDeck, RecorderPulledWhileRecordingStopsThePlayer)
{
    EngineRig rig(options([](auto&) {}), insertAll);
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:20:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:30:00");
    EditOutcome outcome;
    {
        PullWhen pull(rig, Role::Recorder, EditStep::EditOn, std::chrono::milliseconds(300));
        outcome = rig.edit();
    }
    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Aborted);
    EXPECT_FALSE(outcome.onTape);
    EXPECT_FALSE(rig.progress.reached(EditStep::EditOff));
    EXPECT_TRUE(stopped(rig, Role::Player));
    // No command reaches the recorder until it is back; then it leaves record at once, before
    // anything else is asked of it.
    rig.decks.plugBack(Role::Recorder);
    EXPECT_TRUE(decktest::waitFor([&] { return rig.recorder->online(); }, 10000));
    EXPECT_TRUE(notRecording(rig)) << "the recorder records on once it is back";
    EXPECT_TRUE(stopped(rig, Role::Recorder));
    plugBackAndEditExactly(rig, Role::Recorder);
}
