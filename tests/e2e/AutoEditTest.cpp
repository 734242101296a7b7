#include "tests/e2e/EditRig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

using decksim::Role;

namespace {

const std::vector<std::uint8_t> play{0x20, 0x01, 0x21};
const std::vector<std::uint8_t> stop{0x20, 0x00, 0x20};
const std::vector<std::uint8_t> editOn{0x20, 0x65, 0x85};
const std::vector<std::uint8_t> editOff{0x20, 0x64, 0x84};
const std::vector<std::uint8_t> preroll{0x20, 0x30, 0x50};

std::string blanks(int n)
{
    return std::string(static_cast<std::size_t>(n), ' ');
}

// Milliseconds from the player's play command to the recorder's edit on, as the decks saw them.
double rollToEditOnMs(const EditRig& rig)
{
    const auto rolled = rig.received(Role::Player, play);
    const auto on = rig.received(Role::Recorder, editOn);
    if (!rolled || !on)
        return -1;
    return static_cast<double>(*on - *rolled) / 1000.0;
}

// Prints how far the recorded stretch lies from the marked points, in frames.
void printErrors(const EditRig::Segment& segment, int playIn, int recIn, int recOut)
{
    std::printf("record in %+d, record out %+d, source vs record %+d frames\n", segment.recFirst - recIn,
                segment.recLast + 1 - recOut, (segment.srcFirst - segment.recFirst) - (playIn - recIn));
}

}

TEST(AutoEdit, InsertEditLandsOnTheRecorderAndIsLogged)
{
    EditRig rig({.preroll = 1, .adjust = -4});
    rig.setPoints(*rig.player, "00:00:02:00", "00:00:04:00");
    rig.setPoints(*rig.recorder, "00:00:10:00", "00:00:12:00");
    rig.chooseMode(0x53);

    rig.panel().bautostart.click();
    ASSERT_TRUE(rig.waitForStatus("Edit Completed", 60000)) << rig.panel().statusfield.text();

    // Play to edit on: the preroll plus the adjust of -4 frames, -133 ms.
    const double rollMs = rollToEditOnMs(rig);
    std::printf("play to edit on: %.1f ms (waited 867 ms)\n", rollMs);
    EXPECT_GE(rollMs, 865);
    EXPECT_LE(rollMs, 867 + 80);

    const auto segments = rig.segments();
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].channels, "V,A1,A2");
    printErrors(segments[0], 60, 300, 360);
    EXPECT_NEAR(segments[0].recFirst, 300, 6);
    EXPECT_NEAR(segments[0].recLast + 1, 360, 6);
    EXPECT_NEAR(segments[0].srcFirst - segments[0].recFirst, 60 - 300, 1);

    EXPECT_EQ(rig.edl(), "001" + blanks(12) + "AA/V  C" + blanks(9) +
                             "00:00:02:00  00:00:04:00  00:00:10:00  00:00:12:00\n");
    // Afterwards the recorder stands at its out point.
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.decks.positionFrames(Role::Recorder) == 360; }, 10000));
}

TEST(AutoEdit, AssembleEditWithFiveSecondPrerollsGoesIntoEditAfterPrerollAndAdjust)
{
    EditRig rig({.preroll = 5, .adjust = 3});
    rig.setPoints(*rig.player, "00:00:06:00", "00:00:07:00");
    rig.setPoints(*rig.recorder, "00:00:10:00", "00:00:11:00");
    rig.chooseMode(0x20);

    rig.panel().bautostart.click();
    ASSERT_TRUE(rig.waitForStatus("Edit Completed", 90000)) << rig.panel().statusfield.text();

    const double rollMs = rollToEditOnMs(rig);
    std::printf("play to edit on: %.1f ms (waited 5099 ms)\n", rollMs);
    EXPECT_GE(rollMs, 5097);
    EXPECT_LE(rollMs, 5099 + 80);

    // Assemble records all three channels and runs two seconds past the edit length.
    const auto segments = rig.segments();
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].channels, "V,A1,A2");
    printErrors(segments[0], 180, 300, 330);
    EXPECT_NEAR(segments[0].recFirst, 300, 6);
    EXPECT_NEAR(segments[0].recLast + 1, 330 + 60, 6);
    EXPECT_NEAR(segments[0].srcFirst - segments[0].recFirst, 180 - 300, 1);
    EXPECT_EQ(rig.edl(), "001" + blanks(12) + "ASM   C" + blanks(9) +
                             "00:00:06:00  00:00:07:00  00:00:10:00  00:00:11:00\n");
}

TEST(AutoEdit, AllStopAbortsARunningEdit)
{
    EditRig rig({.preroll = 1});
    rig.setPoints(*rig.player, "00:00:02:00", "00:00:06:00");
    rig.setPoints(*rig.recorder, "00:00:10:00", "00:00:14:00");
    rig.chooseMode(0x50);

    rig.panel().bautostart.click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.received(Role::Recorder, editOn).has_value(); }, 60000));
    const std::int64_t on = *rig.received(Role::Recorder, editOn);
    rig.panel().ballstop.click();
    ASSERT_TRUE(rig.waitForStatus("ALL STOP", 5000));
    ui::OperatorThread::instance().waitUntilIdle();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.statusShown("ALL STOP"); }, 2000));

    EXPECT_TRUE(rig.statusShown("EDIT ABORTED"));
    EXPECT_FALSE(rig.statusShown("Edit Completed"));
    // The sequence sent nothing more: no edit off, no cue of the recorder; ALL STOP stopped both.
    EXPECT_EQ(rig.countReceived(Role::Recorder, editOff), 0);
    for (const decksim::TraceEntry& entry : rig.decks.trace()) {
        if (entry.received && entry.micros > on) {
            EXPECT_FALSE(entry.bytes.size() > 2 && entry.bytes[0] == 0x24 && entry.bytes[1] == 0x31);
        }
    }
    EXPECT_GE(rig.countReceived(Role::Recorder, stop, on), 1);
    EXPECT_GE(rig.countReceived(Role::Player, stop, on), 1);
    const int stoppedAt = rig.decks.positionFrames(Role::Recorder);
    QTest::qWait(300);
    EXPECT_EQ(rig.decks.positionFrames(Role::Recorder), stoppedAt);
    EXPECT_EQ(rig.edl(), "");
}

TEST(AutoEditLong, CueingFailsWhenNeitherDeckCues)
{
    EditRig rig({.preroll = 1});
    rig.setPoints(*rig.player, "00:00:02:00", "00:00:04:00");
    rig.setPoints(*rig.recorder, "00:00:10:00", "00:00:12:00");
    rig.chooseMode(0x50);
    rig.decks.setNoCue(Role::Player, true);
    rig.decks.setNoCue(Role::Recorder, true);

    rig.panel().bautostart.click();
    // Up to 200 waits of 200 ms for each deck.
    ASSERT_TRUE(rig.waitForStatus("CUEING FAILED - NO EDIT", 120000)) << rig.panel().statusfield.text();
    EXPECT_EQ(rig.countReceived(Role::Player, preroll), 0);
    EXPECT_EQ(rig.countReceived(Role::Recorder, preroll), 0);
    EXPECT_EQ(rig.edl(), "");
}

TEST(AutoEditLong, EditGoesOnWhenOnlyTheRecorderCues)
{
    EditRig rig({.preroll = 1});
    rig.setPoints(*rig.player, "00:00:02:00", "00:00:03:00");
    rig.setPoints(*rig.recorder, "00:00:10:00", "00:00:11:00");
    rig.chooseMode(0x50);
    rig.decks.setNoCue(Role::Player, true);

    rig.panel().bautostart.click();
    ASSERT_TRUE(rig.waitForStatus("Edit Completed", 150000)) << rig.panel().statusfield.text();
    EXPECT_EQ(rig.countReceived(Role::Recorder, editOn), 1);
    ASSERT_EQ(rig.segments().size(), 1u);
    EXPECT_EQ(rig.segments()[0].channels, "V");
}

TEST(AutoEditLong, PrerollFailsWhenNeitherDeckCuesAfterThePreroll)
{
    EditRig rig({.preroll = 1});
    rig.setPoints(*rig.player, "00:00:02:00", "00:00:04:00");
    rig.setPoints(*rig.recorder, "00:00:10:00", "00:00:12:00");
    rig.chooseMode(0x50);

    rig.panel().bautostart.click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.received(Role::Recorder, preroll).has_value(); }, 30000));
    rig.decks.setNoCue(Role::Player, true);
    rig.decks.setNoCue(Role::Recorder, true);
    // 6 s after the preroll, then up to 10 waits of 1 s for each deck.
    ASSERT_TRUE(rig.waitForStatus("PREROLL FAILED - NO EDIT", 60000)) << rig.panel().statusfield.text();
    EXPECT_EQ(rig.countReceived(Role::Player, VCR::bsplay), 0);
    EXPECT_EQ(rig.countReceived(Role::Recorder, editOn), 0);
    EXPECT_EQ(rig.edl(), "");
}
