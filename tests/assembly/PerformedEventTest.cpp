// The event as the tape holds it after it was performed.

#include "assembly/PerformedEvent.h"

#include <gtest/gtest.h>

namespace {

EditOutcome onTape(int overrun = 0)
{
    EditOutcome outcome;
    outcome.kind = EditOutcome::Kind::Completed;
    outcome.onTape = true;
    outcome.exact = overrun == 0;
    outcome.overrun = overrun;
    return outcome;
}

EditOutcome failed()
{
    EditOutcome outcome;
    outcome.kind = EditOutcome::Kind::Failed;
    return outcome;
}

Event audioDelay()
{
    Event event = Event::fromEdit(0x50, "TAPE1", {370, 415, 600, 645}, FrameCountMode::NonDrop);
    event.lines.push_back(Event::fromEdit(0x43, "TAPE1", {376, 415, 606, 645}, FrameCountMode::NonDrop).lines[0]);
    event.split = {Split::Delay::Audio, 6};
    event.number = 4;
    return event;
}

}

TEST(PerformedEvent, LateEditOffsLengthenTheirOwnLinesAndAnUnrecordedDelayedLineLeavesAPlainEvent)
{
    EventOutcome both;
    both.kind = EditOutcome::Kind::Completed;
    both.edits = {onTape(0), onTape(3)};
    const auto performed = PerformedEvent::of(audioDelay(), both);
    ASSERT_TRUE(performed);
    EXPECT_EQ(performed->lines[0], audioDelay().lines[0]);
    EXPECT_EQ(performed->lines[1].recordOut, 648);
    EXPECT_EQ(performed->lines[1].sourceOut, 418);
    EXPECT_EQ(performed->lines[1].recordIn, 606) << "only the out moves";
    EXPECT_EQ(performed->split, audioDelay().split);
    EXPECT_EQ(performed->number, 4);

    EventOutcome leadingOnly;
    leadingOnly.kind = EditOutcome::Kind::Failed;
    leadingOnly.edits = {onTape(), failed()};
    leadingOnly.stoppedAt = 1;
    const auto partial = PerformedEvent::of(audioDelay(), leadingOnly);
    ASSERT_TRUE(partial);
    ASSERT_EQ(partial->lines.size(), 1u);
    EXPECT_EQ(partial->lines[0], audioDelay().lines[0]);
    EXPECT_EQ(partial->split.delay, Split::Delay::None) << "a single line is no split";
    EXPECT_FALSE(partial->fault(TimeBase()));

    EventOutcome nothing;
    nothing.kind = EditOutcome::Kind::Failed;
    nothing.edits = {failed()};
    nothing.stoppedAt = 0;
    EXPECT_FALSE(PerformedEvent::of(audioDelay(), nothing));
}
