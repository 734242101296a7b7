// Edits the recorder makes alone, recording its own input (black, an auxiliary source): exact
// on the marked frames whatever state the player is in, the player never sent anything that
// moves it, and the record guard as watchful as in an auto edit.

#include "deck/RecordGuard.h"
#include "tests/engine/EngineRig.h"

#include <gtest/gtest.h>

using decksim::DeckCommand;
using decksim::Role;
using namespace enginetest;

namespace {

constexpr std::uint8_t insertVideo = 0x50;

// A recorder-only edit of the recorder's marked stretch; the player's points are left empty,
// so that reading them would throw.
EditOutcome recorderOnly(EngineRig& rig, const std::string& in, const std::string& out)
{
    rig.setPoints(*rig.recorder, in, out);
    rig.request.playIn = rig.request.playOut = "";
    return EditEngine(*rig.player, *rig.recorder, rig.clock, rig.progress).recorderOnlyEdit(rig.request);
}

// The recorder frames [first, end) hold video and nothing else, in one or more segments.
void expectVideoExactly(const std::vector<decksim::Report::Segment>& segments, int first, int end)
{
    ASSERT_FALSE(segments.empty());
    int next = first;
    for (const auto& segment : segments) {
        EXPECT_EQ(segment.channels, decksim::ChannelSet{decksim::channelBit(decksim::Channel::V)});
        EXPECT_EQ(segment.recFirst, next) << "no gap, no frame twice";
        next = segment.recLast + 1;
    }
    EXPECT_EQ(next, end) << "record out";
}

bool onlySenseRequests(const decksim::VirtualDecks& decks, Role role)
{
    for (const auto& entry : decks.trace()) {
        if (entry.deck != role || !entry.received)
            continue;
        const auto command = decksim::DeckCommands::of(entry.bytes);
        if (command != DeckCommand::Status && command != DeckCommand::TimeCode)
            return false;
    }
    return true;
}

}

TEST(RecorderOnlyEditRealTime, LandsOnTheMarkedFramesWhetherThePlayerIsInLocalOrUnplugged)
{
    // A player switched to LOCAL refuses everything but sense requests: an auto edit could
    // not be made, an edit of the recorder alone must not care.
    EngineRig rig(options([](auto& o) { o.playerLocal = true; }), insertVideo);
    const int playerAt = rig.decks.positionFrames(Role::Player);
    rig.decks.clearTrace();

    const EditOutcome first = recorderOnly(rig, "00:00:20:00", "00:00:21:05");

    ASSERT_EQ(first.kind, EditOutcome::Kind::Completed) << testing::PrintToString(rig.progress.statuses());
    EXPECT_TRUE(first.onTape);
    EXPECT_TRUE(first.exact);
    ASSERT_TRUE(first.recorded);
    EXPECT_EQ(*first.recorded, (RecordedStretch{rig.frames("00:00:20:00"), rig.frames("00:00:21:05")}));
    expectVideoExactly(rig.decks.segments(), rig.frames("00:00:20:00"), rig.frames("00:00:21:05"));
    EXPECT_TRUE(onlySenseRequests(rig.decks, Role::Player)) << "the player is not used";
    EXPECT_EQ(rig.decks.positionFrames(Role::Player), playerAt);
    EXPECT_FALSE(rig.progress.reached(EditStep::CuePlayer));

    rig.decks.unplug(Role::Player);
    ASSERT_TRUE(decktest::waitFor([&] { return !rig.player->online(); }));
    const EditOutcome second = recorderOnly(rig, "00:00:30:00", "00:00:30:20");

    ASSERT_EQ(second.kind, EditOutcome::Kind::Completed) << testing::PrintToString(rig.progress.statuses());
    EXPECT_TRUE(second.exact);
    auto segments = rig.decks.segments();
    std::erase_if(segments, [&](const auto& segment) { return segment.recLast < rig.frames("00:00:30:00"); });
    expectVideoExactly(segments, rig.frames("00:00:30:00"), rig.frames("00:00:30:20"));
}

TEST(RecorderOnlyEditRealTime, ARecorderThatRefusesEditOffIsStoppedByItsGuardAndTheEditFails)
{
    EngineRig rig(options([](auto& o) { o.refusals = {{Role::Recorder, DeckCommand::EditOff, 20}}; }), insertVideo);

    const EditOutcome outcome = recorderOnly(rig, "00:00:20:00", "00:00:21:00");

    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Failed);
    EXPECT_FALSE(outcome.onTape);
    const auto statuses = rig.progress.statuses();
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "EDIT FAILED - RECORDER DID NOT STOP"), statuses.end());
    EXPECT_TRUE(rig.recorder->recordGuard().waitUntilClear(std::chrono::seconds(10)));
    EXPECT_FALSE(rig.recorderShowsRecord());
    EXPECT_EQ(rig.recorderView->alarms(), std::vector<std::string>{RecordGuard::alarmText});
}
