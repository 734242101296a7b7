// The deck model on an injected clock: positions, status bits, cueing and the signal path
// are checked exactly, with time stepped by the test.

#include "tools/decksim/Clock.h"
#include "tools/decksim/DeckPair.h"
#include "tools/decksim/Report.h"
#include "tools/decksim/TimeCode.h"

#include <gtest/gtest.h>

#include <functional>

namespace decksim {
namespace {

constexpr std::int64_t second = 1'000'000;

class DeckModelTest : public ::testing::Test {
protected:
    explicit DeckModelTest(Options options = {}) : pair(options, clock) {}

    Deck& player() { return pair.deck(Role::Player); }
    Deck& recorder() { return pair.deck(Role::Recorder); }
    std::int64_t now() { return pair.advanceToNow(); }
    void wait(std::int64_t micros)
    {
        clock.advanceMicros(micros);
        pair.advanceToNow();
    }
    int frame(Deck& deck) { return deck.positionFrameAt(now()); }
    StatusBits status(Deck& deck) { return deck.statusAt(now()); }

    ManualClock clock{5 * second};
    DeckPair pair;
};

TEST_F(DeckModelTest, PlayAdvancesExactlyThirtyFramesPerSecond)
{
    player().play(now());
    wait(second);
    EXPECT_EQ(frame(player()), 30);
    wait(player().framesToMicros(1) - 1);
    EXPECT_EQ(frame(player()), 30);
    wait(1);
    EXPECT_EQ(frame(player()), 31);
    wait(3600 * second);
    EXPECT_EQ(frame(player()), 31 + 108000);
}

struct TransportCase {
    const char* name;
    std::function<void(Deck&, std::int64_t)> command;
    std::vector<StatusBits::Bit> set;
    std::vector<StatusBits::Bit> clear;
};

TEST_F(DeckModelTest, StatusBitsFollowEachTransportCommand)
{
    using S = StatusBits;
    const std::vector<TransportCase> cases{
        {"stop", [](Deck& d, std::int64_t t) { d.stop(t); }, {S::stop, S::still, S::standby}, {S::play, S::record}},
        {"play", [](Deck& d, std::int64_t t) { d.play(t); }, {S::play, S::servoLock, S::lampForward}, {S::stop, S::still}},
        {"record", [](Deck& d, std::int64_t t) { d.record(t); }, {S::play, S::record}, {S::edit, S::stop}},
        {"fast forward", [](Deck& d, std::int64_t t) { d.fastForward(t); }, {S::fastForward}, {S::reverse, S::play}},
        {"rewind", [](Deck& d, std::int64_t t) { d.rewind(t); }, {S::rewind, S::reverse, S::lampReverse}, {S::fastForward}},
        {"jog reverse", [](Deck& d, std::int64_t t) { d.jog(t, true, 0x10); }, {S::jog, S::reverse}, {S::shuttle, S::still}},
        {"shuttle forward", [](Deck& d, std::int64_t t) { d.shuttle(t, false, 0x40); }, {S::shuttle}, {S::reverse, S::still}},
        {"shuttle still", [](Deck& d, std::int64_t t) { d.shuttle(t, false, 0x00); }, {S::shuttle, S::still}, {S::stop}},
        {"standby off", [](Deck& d, std::int64_t t) { d.stop(t); d.setStandby(t, false); }, {S::stop, S::tensionRelease}, {S::standby}},
        {"standby on", [](Deck& d, std::int64_t t) { d.stop(t); d.setStandby(t, false); d.setStandby(t, true); }, {S::standby}, {S::tensionRelease}},
        {"cue", [](Deck& d, std::int64_t t) { d.cueUp(t, 9000); }, {S::cueing}, {S::cueUpComplete, S::still}},
        {"eject", [](Deck& d, std::int64_t t) { d.eject(t); }, {S::eject}, {S::cassetteOut}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        player().fastForward(now());
        wait(second);
        c.command(player(), now());
        wait(1);
        const StatusBits bits = status(player());
        for (const auto& bit : c.set) {
            EXPECT_TRUE(bits.test(bit)) << "byte " << bit.byte << " bit " << bit.bit;
        }
        for (const auto& bit : c.clear) {
            EXPECT_FALSE(bits.test(bit)) << "byte " << bit.byte << " bit " << bit.bit;
        }
        if (std::string(c.name) == "eject") {
            wait(Deck::ejectMicros);
            EXPECT_TRUE(status(player()).test(StatusBits::cassetteOut));
        }
    }
}

TEST_F(DeckModelTest, CueSearchesAtSeekSpeedAndParksExactlyOnTheTarget)
{
    const int target = 3000;  // 100 s of tape: 2 s at 50x
    player().cueUp(now(), target);
    wait(second);
    EXPECT_TRUE(status(player()).test(StatusBits::cueing));
    EXPECT_FALSE(status(player()).test(StatusBits::cueUpComplete));
    EXPECT_EQ(frame(player()), 1500);
    wait(second);
    EXPECT_EQ(player().positionTicksAt(now()), std::int64_t{target} * TapeMotion::ticksPerFrame);
    EXPECT_TRUE(status(player()).test(StatusBits::cueUpComplete));
    EXPECT_FALSE(status(player()).test(StatusBits::cueing));
    EXPECT_TRUE(status(player()).test(StatusBits::still));

    // The controller's still command after a cue neither moves the tape nor clears cue-up.
    player().shuttle(now(), false, 0);
    wait(10 * second);
    EXPECT_EQ(frame(player()), target);
    EXPECT_TRUE(status(player()).test(StatusBits::cueUpComplete));

    player().play(now());
    EXPECT_FALSE(status(player()).test(StatusBits::cueUpComplete));
}

TEST_F(DeckModelTest, CueBackwardsAndBeyondTheTapeEndStayOnTheTape)
{
    player().cueUp(now(), 600);
    wait(10 * second);
    player().cueUp(now(), 300);
    wait(10 * second);
    EXPECT_EQ(frame(player()), 300);
    player().cueUp(now(), TimeCode::tapeEndFrame() + 500);
    wait(200 * second);
    EXPECT_EQ(frame(player()), TimeCode::tapeEndFrame());
    EXPECT_TRUE(status(player()).test(StatusBits::endOfTape));
}

TEST_F(DeckModelTest, NoCueDeckMovesButNeverReportsCueUpComplete)
{
    player().setNoCue(true);
    player().cueUp(now(), 60);
    wait(10 * second);
    EXPECT_EQ(frame(player()), 60);
    EXPECT_FALSE(status(player()).test(StatusBits::cueUpComplete));
}

TEST_F(DeckModelTest, PrerollCuesToTheInPointMinusThePrerollTime)
{
    player().setInPoint(9000);
    player().setPrerollFrames(150);
    player().preroll(now());
    EXPECT_TRUE(status(player()).test(StatusBits::cueing));
    wait(20 * second);
    EXPECT_EQ(frame(player()), 8850);
    EXPECT_TRUE(status(player()).test(StatusBits::cueUpComplete));
}

TEST_F(DeckModelTest, TapeEndsStopTheTransport)
{
    player().rewind(now());
    wait(second);
    EXPECT_EQ(frame(player()), 0);
    EXPECT_TRUE(status(player()).test(StatusBits::stop));
    player().fastForward(now());
    wait(200 * second);
    EXPECT_EQ(frame(player()), TimeCode::tapeEndFrame());
    EXPECT_TRUE(status(player()).test(StatusBits::stop));
}

TEST(DeckSpeed, SpeedByteFollowsTheLogarithmicScaleUpToTheTopSpeed)
{
    EXPECT_EQ(Deck::speedFromByte(0x00), 0.0);
    EXPECT_NEAR(Deck::speedFromByte(0x20), 0.1, 1e-9);
    EXPECT_NEAR(Deck::speedFromByte(0x40), 1.0, 1e-9);
    EXPECT_NEAR(Deck::speedFromByte(0x60), 10.0, 1e-9);
    EXPECT_NEAR(Deck::speedFromByte(0x76), 48.7, 0.05);
    EXPECT_EQ(Deck::speedFromByte(0x80), 50.0);
}

class LockedDeckModelTest : public DeckModelTest {
protected:
    LockedDeckModelTest() : DeckModelTest(Options{2, 0, 5, 50.0, 0, 0}) {}
};

TEST_F(LockedDeckModelTest, PlayMovesOnlyAfterTheLockFrames)
{
    player().play(now());
    wait(player().framesToMicros(5) - 1);
    EXPECT_EQ(frame(player()), 0);
    EXPECT_TRUE(status(player()).test(StatusBits::play));
    EXPECT_FALSE(status(player()).test(StatusBits::servoLock));
    wait(1 + second);
    EXPECT_EQ(frame(player()), 30);
    EXPECT_TRUE(status(player()).test(StatusBits::servoLock));
}

Options unevenLock(std::optional<int> playerLockFrames, std::optional<int> recorderLockFrames)
{
    Options options;
    options.lockFrames = 5;
    options.playerLockFrames = playerLockFrames;
    options.recorderLockFrames = recorderLockFrames;
    return options;
}

TEST(UnevenLock, EachDeckLocksAfterItsOwnFramesOrTheSharedOnes)
{
    const struct {
        std::optional<int> player, recorder;
        int playerLock, recorderLock;
    } cases[] = {{2, std::nullopt, 2, 5}, {std::nullopt, 0, 5, 0}, {9, 3, 9, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.playerLock) + " and " + std::to_string(c.recorderLock));
        ManualClock clock{second};
        DeckPair pair(unevenLock(c.player, c.recorder), clock);
        const std::int64_t start = pair.advanceToNow();
        pair.deck(Role::Player).play(start);
        pair.deck(Role::Recorder).play(start);
        const auto lockedAt = [&](Role role, std::int64_t at) {
            clock.advanceMicros(at - clock.nowMicros());
            return pair.deck(role).statusAt(pair.advanceToNow()).test(StatusBits::servoLock);
        };
        for (int frame = 1; frame <= 10; ++frame) {
            const std::int64_t frameStart = start + pair.deck(Role::Player).framesToMicros(frame);
            EXPECT_EQ(lockedAt(Role::Player, frameStart - 1), c.playerLock < frame) << frame;
            EXPECT_EQ(lockedAt(Role::Recorder, frameStart - 1), c.recorderLock < frame) << frame;
            EXPECT_EQ(lockedAt(Role::Player, frameStart), c.playerLock <= frame) << frame;
            EXPECT_EQ(lockedAt(Role::Recorder, frameStart), c.recorderLock <= frame) << frame;
        }
    }
}

// The signal path ------------------------------------------------------------------------

class SignalPathTest : public DeckModelTest {
protected:
    SignalPathTest() : DeckModelTest(Options{2, 5, 0, 50.0, 1000, 4000}) {}

    std::vector<Report::Segment> segments() { return Report::segments(pair.recorderTape(), pair.reelNames()); }
};

TEST_F(SignalPathTest, InsertEditRecordsThePresetChannelsAfterTheEditDelay)
{
    recorder().setEditPreset(0x50);  // insert, video only
    player().play(now());
    recorder().play(now());
    wait(second);                     // player at 1030, recorder at 4030
    recorder().editOn(now());         // takes effect 5 frames later, at 4035
    wait(2 * second);
    recorder().editOff(now());        // at 4090, leaves record at 4095
    EXPECT_TRUE(status(recorder()).test(StatusBits::edit));
    EXPECT_TRUE(status(recorder()).test(StatusBits::record));
    wait(second);
    EXPECT_FALSE(status(recorder()).test(StatusBits::edit));
    EXPECT_FALSE(status(recorder()).test(StatusBits::record));

    const Report::Segment expected{channelBit(Channel::V), 4035, 4094, 1035, 1094, "001"};
    ASSERT_EQ(segments(), std::vector<Report::Segment>{expected});
}

TEST_F(SignalPathTest, AWriteProtectSetBetweenTwoEditsHoldsForTheNextEditOnly)
{
    recorder().setEditPreset(0x50);
    player().play(now());
    recorder().play(now());
    wait(second);
    recorder().editOn(now());
    wait(second);
    recorder().editOff(now());
    wait(second);
    ASSERT_EQ(segments().size(), 1u);

    recorder().setRecordInhibit(true);
    EXPECT_TRUE(status(recorder()).test(StatusBits::recordInhibit));
    recorder().editOn(now());
    wait(second);
    EXPECT_FALSE(status(recorder()).test(StatusBits::edit));
    EXPECT_EQ(segments().size(), 1u) << "nothing recorded on a protected cassette";

    recorder().setRecordInhibit(false);
    EXPECT_FALSE(status(recorder()).test(StatusBits::recordInhibit));
    recorder().editOn(now());
    wait(second);
    EXPECT_TRUE(status(recorder()).test(StatusBits::edit));
    EXPECT_EQ(segments().size(), 2u);
}

TEST_F(SignalPathTest, FrameBoundariesBetweenTheDecksAreExact)
{
    recorder().setEditPreset(0x20);
    recorder().play(now());
    wait(player().framesToMicros(1) / 2);  // the recorder is half a frame ahead
    player().play(now());
    recorder().record(now());
    wait(second);
    recorder().stop(now());
    // Recorder frame 4001 begins a full frame after the recorder started, when the player
    // has played half a frame: it still shows frame 1000.
    const auto recorded = segments();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].recFirst, 4001);
    EXPECT_EQ(recorded[0].srcFirst, 1000);
    EXPECT_EQ(recorded[0].channels, allChannels);
    EXPECT_EQ(recorded[0].recLast - recorded[0].recFirst, recorded[0].srcLast - recorded[0].srcFirst);
}

TEST_F(SignalPathTest, AutoEditRecordsAllChannelsFromInToOut)
{
    recorder().setEditPreset(0x20);  // assemble
    recorder().setInPoint(4300);
    recorder().setOutPoint(4390);
    recorder().setPrerollFrames(90);
    player().play(now());
    recorder().autoEdit(now());
    EXPECT_TRUE(status(recorder()).test(StatusBits::autoEdit));
    wait(30 * second);
    EXPECT_FALSE(status(recorder()).test(StatusBits::autoEdit));
    ASSERT_EQ(segments().size(), 1u);
    const Report::Segment edit = segments()[0];
    EXPECT_EQ(edit.channels, allChannels);
    EXPECT_EQ(edit.recFirst, 4300);
    EXPECT_EQ(edit.recLast, 4389);
    EXPECT_EQ(edit.srcLast - edit.srcFirst, 89);
    EXPECT_TRUE(status(recorder()).test(StatusBits::stop));
}

TEST_F(SignalPathTest, PreviewRecordsNothingAndReviewReplaysTheLastEdit)
{
    recorder().setEditPreset(0x41);
    recorder().setInPoint(4100);
    recorder().setOutPoint(4130);
    recorder().setPrerollFrames(60);
    player().play(now());
    recorder().preview(now());
    wait(20 * second);
    EXPECT_TRUE(segments().empty());
    recorder().review(now());
    wait(second);
    EXPECT_FALSE(status(recorder()).test(StatusBits::review));  // no edit made yet

    recorder().autoEdit(now());
    wait(20 * second);
    ASSERT_EQ(segments().size(), 1u);
    EXPECT_EQ(segments()[0].channels, channelBit(Channel::A1));
    recorder().review(now());
    EXPECT_TRUE(status(recorder()).test(StatusBits::review));
    wait(20 * second);
    EXPECT_EQ(segments().size(), 1u);
    EXPECT_FALSE(status(recorder()).test(StatusBits::review));
}

TEST_F(SignalPathTest, StopEndsRecordingAndAStillPlayerRecordsOneFrameOverAndOver)
{
    recorder().record(now());
    wait(player().framesToMicros(3));
    recorder().stop(now());
    wait(second);
    const auto recorded = segments();
    ASSERT_EQ(recorded.size(), 3u);  // frame 4003 begins as the deck stops
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        EXPECT_EQ(recorded[i].recFirst, 4000 + static_cast<int>(i));
        EXPECT_EQ(recorded[i].srcFirst, 1000);
    }
}

// Lock ramp, power cycle, reels ---------------------------------------------------------

Options rampingLock()
{
    Options options{2, 0, 10, 50.0, 1000, 4000};
    options.lockRamp = true;
    return options;
}

class LockRampTest : public DeckModelTest {
protected:
    LockRampTest() : DeckModelTest(rampingLock()) {}
};

TEST_F(LockRampTest, TapeSpeedsUpFrameByFrameAndLocksAtPlaySpeedAfterTheLockFrames)
{
    const std::int64_t start = now();
    const std::int64_t startTicks = player().positionTicksAt(start);
    player().play(start);
    std::int64_t ticks = startTicks;
    std::int64_t lastStep = 0;
    for (int frame = 1; frame <= 10; ++frame) {
        wait(start + player().framesToMicros(frame) - 1 - now());
        EXPECT_FALSE(status(player()).test(StatusBits::servoLock)) << frame;
        EXPECT_TRUE(status(player()).test(StatusBits::play)) << frame;
        wait(1);
        const std::int64_t step = player().positionTicksAt(now()) - ticks;
        ticks += step;
        EXPECT_GT(step, lastStep) << "frame " << frame << " is no faster than the one before";
        EXPECT_LT(step, TapeMotion::ticksPerFrame) << frame;
        lastStep = step;
    }
    // Locked at the end of the lock frames, half of them moved, as on a straight ramp.
    EXPECT_TRUE(status(player()).test(StatusBits::servoLock));
    EXPECT_NEAR(player().positionTicksAt(now()) - startTicks, 5 * TapeMotion::ticksPerFrame, TapeMotion::ticksPerFrame / 100);
    const int locked = frame(player());
    wait(second);
    EXPECT_EQ(frame(player()), locked + 30);
}

TEST_F(LockRampTest, RecorderRecordsNothingUntilItRollsAtPlaySpeed)
{
    player().play(now());
    wait(second);
    recorder().record(now());
    wait(recorder().framesToMicros(10) - 1);
    ASSERT_FALSE(status(recorder()).test(StatusBits::servoLock));
    const std::int64_t ticksBeforeLock = recorder().positionTicksAt(now());
    wait(1);
    ASSERT_TRUE(status(recorder()).test(StatusBits::servoLock));
    wait(second);
    // The first frame recorded is the first the tape reaches once the deck is locked.
    const auto recorded = Report::segments(pair.recorderTape(), pair.reelNames());
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].recFirst, ticksBeforeLock / TapeMotion::ticksPerFrame + 1);
    EXPECT_GE(recorded[0].recFirst, 4005);
}

TEST_F(SignalPathTest, PowerCycleStopsTheDeckAndForgetsItsPresetsButNotItsTape)
{
    recorder().setEditPreset(0x50);
    recorder().setInPoint(4300);
    recorder().setOutPoint(4390);
    recorder().setPrerollFrames(90);
    recorder().setTimeMode(0x01);
    recorder().setFullEE(true);
    recorder().setLocal(true);
    recorder().setNoCue(true);
    player().play(now());
    recorder().play(now());
    recorder().editOn(now());
    wait(2 * second);
    const std::int64_t cut = now();
    const std::int64_t ticksAtCut = recorder().positionTicksAt(cut);
    const int lastFrameBegun = static_cast<int>(recorder().positionTicksAt(cut - 1) / TapeMotion::ticksPerFrame);
    recorder().powerCycle(cut);
    wait(second);

    const StatusBits bits = status(recorder());
    EXPECT_TRUE(bits.test(StatusBits::stop));
    EXPECT_TRUE(bits.test(StatusBits::standby));
    for (const auto bit : {StatusBits::play, StatusBits::record, StatusBits::edit, StatusBits::fullEE, StatusBits::inSet,
                           StatusBits::outSet, StatusBits::cueUpComplete}) {
        EXPECT_FALSE(bits.test(bit)) << "byte " << bit.byte << " bit " << bit.bit;
    }
    EXPECT_EQ(bits.bytes()[StatusBits::editPresetByte], 0);
    EXPECT_EQ(recorder().prerollFrames(), Deck::defaultPrerollSeconds * 30);
    EXPECT_EQ(recorder().timeMode(), 0);
    EXPECT_EQ(recorder().positionTicksAt(now()), ticksAtCut);
    // Its switches are where they were.
    EXPECT_TRUE(bits.test(StatusBits::local));
    recorder().cueUp(now(), 4100);
    wait(10 * second);
    EXPECT_FALSE(status(recorder()).test(StatusBits::cueUpComplete));

    // The edit ends where the power went, and review has no last edit to replay.
    const auto recorded = segments();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].recLast, lastFrameBegun);
    recorder().review(now());
    EXPECT_FALSE(status(recorder()).test(StatusBits::review));
}

Options twoReels()
{
    Options options{2, 0, 0, 50.0, 1000, 4000};
    options.playerReels = {"A", "B"};
    return options;
}

class ReelsTest : public DeckModelTest {
protected:
    ReelsTest() : DeckModelTest(twoReels()) {}

    // Records one second of the player onto the recorder and stops both.
    void recordASecond()
    {
        player().play(now());
        recorder().record(now());
        wait(second);
        recorder().stop(now());
        player().stop(now());
    }
};

TEST_F(ReelsTest, EachReelIsItsOwnTapeWithItsOwnPosition)
{
    EXPECT_EQ(player().reel(), 0);
    recordASecond();
    const int leftOnA = frame(player());
    player().mount(now(), 1);
    EXPECT_EQ(player().reel(), 1);
    EXPECT_EQ(frame(player()), 1000);  // reel B starts where the player starts
    recordASecond();
    player().play(now());
    wait(second / 2);
    const int leftOnB = frame(player());
    player().mount(now(), 0);  // the player stops where reel A was taken out
    EXPECT_TRUE(status(player()).test(StatusBits::stop));
    EXPECT_EQ(frame(player()), leftOnA);
    wait(second);
    EXPECT_EQ(frame(player()), leftOnA);
    player().mount(now(), 1);
    EXPECT_EQ(frame(player()), leftOnB);

    // The same source frames from the two reels are told apart.
    const auto recorded = Report::segments(pair.recorderTape(), pair.reelNames());
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[0].reel, "A");
    EXPECT_EQ(recorded[1].reel, "B");
    EXPECT_EQ(recorded[0].srcFirst, 1000);
    EXPECT_EQ(recorded[1].srcFirst, 1000);
    EXPECT_EQ(recorded[1].recFirst, recorded[0].recLast + 1);
}

}  // namespace
}  // namespace decksim
