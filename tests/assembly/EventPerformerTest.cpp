// Events performed on the virtual decks through the edit engine: split edits of both kinds
// land channel by channel on the frames the list gives, on decks that are late and ramp up;
// an event whose second edit fails or is aborted stops there and says which.

#include "assembly/EventEdits.h"
#include "assembly/EventPerformer.h"
#include "assembly/PerformedEvent.h"
#include "tests/assembly/TapeOracle.h"
#include "tests/engine/EngineRig.h"

#include <gtest/gtest.h>

using decksim::DeckCommand;
using decksim::Role;
using namespace enginetest;

namespace {

struct SplitCase {
    const char* name;
    decksim::Options options;
    int adjust;
    Split::Delay delay;
    std::uint8_t leading, delayed;
    FrameCountMode labels;
    // Source in, record in (frame counts on the decks' base), length, delay.
    int source, record, length, frames;
};

void PrintTo(const SplitCase& c, std::ostream* out)
{
    *out << c.name;
}

decksim::Options withReels(decksim::Options options)
{
    options.playerReels = {"TAPE1", "TAPE2"};
    return options;
}

Event splitEvent(const SplitCase& c)
{
    const auto line = [&](std::uint8_t bits, int offset) {
        return Event::fromEdit(0x40 | bits, "TAPE1",
                               {c.source + offset, c.source + c.length, c.record + offset, c.record + c.length},
                               c.labels)
            .lines[0];
    };
    Event event;
    event.number = 12;
    event.frameCount = c.labels;
    event.lines = {line(c.leading, 0), line(c.delayed, c.frames)};
    event.split = {c.delay, c.frames};
    return event;
}

EventOutcome perform(EngineRig& rig, const Event& event, int adjust = 0)
{
    const auto edits = EventEdits::of(event, rig.base, {1, 1, adjust});
    return EventPerformer(*rig.player, *rig.recorder, rig.clock, rig.progress).perform(edits);
}

const SplitCase splitCases[] = {
    {"audio delay on late decks that ramp up",
     withReels(options([](auto& o) {
         o.replyDelayMs = 3;
         o.editDelayFrames = 5;
         o.lockFrames = 4;
         o.lockRamp = true;
         o.sampleDelayMs = 4;
         o.seed = 7;
     })),
     -5, Split::Delay::Audio, 0x10, 0x03, FrameCountMode::NonDrop, 370, 600, 45, 6},
    {"video delay on drop-frame decks through a USB adapter",
     withReels(options([](auto& o) {
         o.timeBase = decksim::TimeBase::fps2997DropFrame;
         o.adapterLatencyMs = 16;
     })),
     0, Split::Delay::Video, 0x03, 0x10, FrameCountMode::DropFrame, 1750, 1780, 50, 9},
};

class SplitEditRealTime : public testing::TestWithParam<SplitCase> {};

}

TEST_P(SplitEditRealTime, EveryFramesChannelsOnTheTapeAreTheLists)
{
    const SplitCase& c = GetParam();
    EngineRig rig(c.options, 0x53);
    const Event event = splitEvent(c);

    const EventOutcome outcome = perform(rig, event, c.adjust);

    ASSERT_EQ(outcome.kind, EditOutcome::Kind::Completed) << testing::PrintToString(rig.progress.statuses());
    EXPECT_TRUE(outcome.allOnTape(2));
    EXPECT_TRUE(outcome.exact(2));
    const tapeoracle::Tape tape = tapeoracle::fromSegments(rig.decks.segments());
    EXPECT_EQ(tapeoracle::differences(tapeoracle::fromEvents({event}), tape), "");
    const auto performed = PerformedEvent::of(event, outcome);
    ASSERT_TRUE(performed);
    EXPECT_EQ(*performed, event) << "an exact split is on the tape as listed";
}

INSTANTIATE_TEST_SUITE_P(Profiles, SplitEditRealTime, testing::ValuesIn(splitCases),
                         [](const testing::TestParamInfo<SplitCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

TEST(EventPerformerRealTime, ADelayedEditTheRecorderRefusesStopsTheEventNamingItAndLeavesTheLeadingChannels)
{
    const SplitCase& c = splitCases[0];
    EngineRig rig(c.options, 0x53);
    const Event event = splitEvent(c);
    // Once the leading edit is on the tape, the recorder refuses every edit on.
    rig.progress.whenReached(EditStep::CueRecorderOut, [&] { rig.decks.refuse(Role::Recorder, DeckCommand::EditOn); });

    const EventOutcome outcome = perform(rig, event, c.adjust);

    EXPECT_NE(outcome.kind, EditOutcome::Kind::Completed);
    ASSERT_EQ(outcome.stoppedAt, std::optional<std::size_t>(1));
    EXPECT_EQ(outcome.text, "DELAYED AA FAILED - EDIT FAILED - NOTHING RECORDED");
    EXPECT_EQ(rig.progress.statuses().back(), outcome.text);
    ASSERT_EQ(outcome.edits.size(), 2u);
    EXPECT_TRUE(outcome.edits[0].onTape);
    EXPECT_FALSE(outcome.edits[1].onTape);
    Event leading = event;
    leading.lines.pop_back();
    leading.split = {};
    const tapeoracle::Tape tape = tapeoracle::fromSegments(rig.decks.segments());
    EXPECT_EQ(tapeoracle::differences(tapeoracle::fromEvents({leading}), tape), "");
    EXPECT_EQ(PerformedEvent::of(event, outcome), std::optional<Event>(leading));
}

TEST(EventPerformerRealTime, AnAbortBetweenTheTwoEditsBeginsNoSecond)
{
    const SplitCase& c = splitCases[0];
    EngineRig rig(c.options, 0x53);
    const Event event = splitEvent(c);
    rig.progress.whenReached(EditStep::CueRecorderOut, [&] { rig.clock.abort(); });

    const EventOutcome outcome = perform(rig, event, c.adjust);

    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Aborted);
    EXPECT_EQ(outcome.stoppedAt, std::optional<std::size_t>(1));
    ASSERT_EQ(outcome.edits.size(), 1u);
    const std::vector<std::uint8_t> editOn{0x20, 0x65, 0x85};
    const auto received = decktest::blocks(rig.decks, Role::Recorder);
    EXPECT_EQ(std::count(received.begin(), received.end(), editOn), 1);
    for (const auto& segment : rig.decks.segments())
        EXPECT_EQ(segment.channels, decksim::channelBit(decksim::Channel::V)) << "no audio was recorded";
}

TEST(EventPerformer, APointThePlayersLabelsDoNotHaveIsRefusedBeforeAnythingMoves)
{
    // On drop-frame decks, an event counted without drops names 00:01:00:00, a label
    // drop-frame counting skips.
    EngineRig rig(options([](auto& o) { o.timeBase = decksim::TimeBase::fps2997DropFrame; }), 0x53);
    const Event event = Event::fromEdit(0x50, "001", {1800, 1830, 2400, 2430}, FrameCountMode::NonDrop);
    rig.decks.clearTrace();

    const EventOutcome outcome = perform(rig, event);

    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Refused);
    EXPECT_EQ(outcome.text, "V: INVALID TIME CODE");
    EXPECT_TRUE(outcome.edits.empty());
    for (const auto& entry : rig.decks.trace()) {
        if (entry.received) {
            EXPECT_TRUE(entry.bytes == VCR::bsgettc || entry.bytes == VCR::bsgetstatus) << "only polling";
        }
    }
    EXPECT_TRUE(rig.decks.segments().empty());
}
