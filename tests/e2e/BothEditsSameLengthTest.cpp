#include "EditRig.h"

#include <gtest/gtest.h>

using decksim::Role;

namespace {

void type(ui::TextField& field, const std::string& text)
{
    field.type(text, true);
    ui::OperatorThread::instance().waitUntilIdle();
}

}

TEST(BothEditsSameLength, ChangingOneDecksPointsRemakesTheOtherDecksOutPoint)
{
    EditRig rig({});
    VCRPanel& player = VCRPanel::of(*rig.player);
    VCRPanel& recorder = VCRPanel::of(*rig.recorder);
    type(player.cuefield, "00:01:00:00");

    // The recorder's edit sets the player's out point.
    type(recorder.cuefield, "00:02:00:00");
    type(recorder.endfield, "00:02:10:00");
    EXPECT_EQ(player.endfield.text(), "00:01:10:00");
    EXPECT_EQ(rig.player->duration(), 300);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.decks.outPoint(Role::Player) == 2100; }, 2000));

    // And the player's edit sets the recorder's.
    type(player.endfield, "00:01:05:15");
    EXPECT_EQ(recorder.endfield.text(), "00:02:05:15");
    EXPECT_EQ(rig.recorder->duration(), 165);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.decks.outPoint(Role::Recorder) == 3765; }, 2000));
    EXPECT_TRUE(rig.recorder->outok());
    EXPECT_EQ(rig.panel().lengthlabel.text(), "LENGTH 00:00:05:15") << "the edit panel shows the edit's length";
}

TEST(BothEditsSameLength, AnInvalidLengthLeavesTheOtherDeckAlone)
{
    EditRig rig({});
    VCRPanel& player = VCRPanel::of(*rig.player);
    VCRPanel& recorder = VCRPanel::of(*rig.recorder);
    type(player.cuefield, "00:01:00:00");
    type(player.endfield, "00:01:10:00");
    type(recorder.cuefield, "00:02:00:00");
    std::string recorderOut = recorder.endfield.text();

    // An out point before the in point gives no length to copy.
    type(player.endfield, "00:00:50:00");
    EXPECT_FALSE(rig.player->outok());
    EXPECT_EQ(recorder.endfield.text(), recorderOut);

    // A recorder out point before its in point: no length to show.
    type(recorder.endfield, "00:01:50:00");
    EXPECT_EQ(rig.panel().lengthlabel.text(), "");
}

// On drop-frame tape the edit's length is a count of frames, not a label: a minute of tape
// across a minute that skips labels 00 and 01 is 1800 frames, 00:01:00:00.
TEST(BothEditsSameLength, TheLengthOnDropFrameTapeCountsFrames)
{
    EditRig rig({.decks = {.timeBase = decksim::TimeBase::fps2997DropFrame}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.recorder->timeBase().dropFrame() && rig.player->timeBase().dropFrame(); }, 5000));
    VCRPanel& recorder = VCRPanel::of(*rig.recorder);
    type(recorder.cuefield, "00:00:10:00");
    type(recorder.endfield, "00:01:10:02");
    ASSERT_EQ(rig.recorder->duration(), 1800);
    EXPECT_EQ(rig.panel().lengthlabel.text(), "LENGTH 00:01:00:00");
}
