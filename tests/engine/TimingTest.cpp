// Timing that knows its own error: a timed write that can no longer reach its frame is not
// made, a recording is bounded whatever the roll's thread does, and an abort reports the
// frames the tape really holds.

#include "tests/engine/EngineRig.h"

#include <gtest/gtest.h>

using decksim::Role;
using namespace enginetest;

namespace {

std::optional<decksim::Report::Segment> onlySegment(const EngineRig& rig)
{
    const auto made = rig.decks.segments();
    if (made.size() != 1)
        return std::nullopt;
    return made.front();
}

void markTwoSecondInsert(EngineRig& rig)
{
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:12:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:22:00");
}

// The two-second insert is on tape from its in point, and the edit reports the frames it
// really recorded (the log gives them): the frames past the out point it recorded.
int expectReportedAsRecorded(const EngineRig& rig, const EditOutcome& outcome)
{
    const auto made = onlySegment(rig);
    EXPECT_TRUE(made);
    EXPECT_TRUE(outcome.recorded);
    if (!made || !outcome.recorded)
        return 0;
    const int plannedEnd = rig.frames("00:00:22:00");
    const int recordedEnd = made->recLast + 1;
    EXPECT_EQ(made->recFirst, rig.frames("00:00:20:00"));
    EXPECT_EQ(outcome.recorded->end, recordedEnd) << "the log gives the real record out";
    EXPECT_EQ(outcome.overrun, recordedEnd - plannedEnd);
    EXPECT_EQ(outcome.exact, recordedEnd == plannedEnd);
    return recordedEnd - plannedEnd;
}

}

TEST(EditTiming, EditOnWokenTooLateIsNotSentAndNothingIsRecorded)
{
    EngineRig rig(options([](auto&) {}), insertAll);
    markTwoSecondInsert(rig);
    rig.clock.wakeLate(EditClock::Write::EditOn, std::chrono::milliseconds(30));

    const EditOutcome outcome = rig.edit();

    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Failed);
    EXPECT_FALSE(outcome.onTape);
    EXPECT_EQ(rig.progress.statuses().back(), "EDIT MISSED - NOTHING RECORDED");
    EXPECT_TRUE(rig.decks.segments().empty());
    EXPECT_FALSE(rig.progress.reached(EditStep::EditOn));
}

TEST(EditTiming, EditOffWokenFarTooLateIsBoundedByTheWatchdogAndReportedAsRecorded)
{
    EngineRig rig(options([](auto&) {}), insertAll);
    markTwoSecondInsert(rig);
    rig.clock.wakeLate(EditClock::Write::EditOff, std::chrono::milliseconds(200));

    const EditOutcome outcome = rig.edit();

    ASSERT_EQ(outcome.kind, EditOutcome::Kind::Completed) << testing::PrintToString(rig.progress.statuses());
    const int past = expectReportedAsRecorded(rig, outcome);
    EXPECT_GT(past, 0);
    // Edit off no later than edit on, the planned length and two frames: the deck acts on it
    // at the start of the next frame.
    EXPECT_LE(past, 3) << "the watchdog's bound";
    EXPECT_TRUE(outcome.onTape);
    EXPECT_EQ(rig.progress.statuses().back(), "EDIT OVERRAN BY " + std::to_string(outcome.overrun) + " FRAMES");
}

// Edit off refused twice through a slow adapter, from decks that sample late: each refusal
// comes back about half a frame after its write, and a retry sent at once would land where
// the estimate cannot tell two frames apart. The frame each retry lands on, so the frames
// really recorded, is what the edit reports and the log says.
TEST(EditTiming, EditOffRefusedThroughAUsbAdapterReportsTheFramesTheTapeHolds)
{
    EngineRig rig(options([](auto& o) {
                      o.adapterLatencyMs = 16;
                      o.sampleDelayMs = 9;
                      o.refusals = {{Role::Recorder, decksim::DeckCommand::EditOff, 2}};
                  }),
                  insertAll);
    markTwoSecondInsert(rig);

    const EditOutcome outcome = rig.edit();

    ASSERT_EQ(outcome.kind, EditOutcome::Kind::Completed) << testing::PrintToString(rig.progress.statuses());
    expectReportedAsRecorded(rig, outcome);
}

namespace {

class AbortAt : public testing::TestWithParam<EditStep> {};

}

TEST_P(AbortAt, TheRecordedStretchIsWhatTheTapeHolds)
{
    EngineRig rig(options([](auto& o) { o.editDelayFrames = 3; }), insertAll);
    rig.request.adjust = -3;
    markTwoSecondInsert(rig);
    rig.progress.whenReached(GetParam(), [&rig] { rig.clock.abort(); });

    const EditOutcome outcome = rig.edit();

    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Aborted) << testing::PrintToString(rig.progress.statuses());
    const auto made = onlySegment(rig);
    ASSERT_TRUE(made) << "an abort after edit on leaves what it recorded";
    ASSERT_TRUE(outcome.recorded) << "the console gives the recorded stretch";
    EXPECT_EQ(outcome.recorded->first, made->recFirst);
    EXPECT_EQ(outcome.recorded->end, made->recLast + 1);
    EXPECT_EQ(made->recFirst, rig.frames("00:00:20:00"));
    EXPECT_FALSE(rig.recorder->recordGuard().active());
}

INSTANTIATE_TEST_SUITE_P(EditSteps, AbortAt, testing::Values(EditStep::EditOn, EditStep::EditOff),
                         [](const testing::TestParamInfo<EditStep>& info) {
                             return info.param == EditStep::EditOn ? "EditOn" : "EditOff";
                         });
