// The edit engine on the virtual decks, headless: edits land exactly on the marked frames on
// every kind of deck and line, and an edit that cannot be made exact records nothing.

#include "tests/engine/EngineRig.h"

#include <gtest/gtest.h>

#include <thread>

using decksim::Role;
using namespace enginetest;

namespace {

void imperfect(decksim::Options& decks, decksim::TimeBase base)
{
    decks.timeBase = base;
    decks.sampleDelayMs = 9;
    decks.lockRamp = true;
    decks.lockFrames = 5;
    decks.lateEvery = 17;
    decks.lateMs = 60;
}

struct Profile {
    const char* name;
    decksim::Options options;
    int adjust;
    std::uint8_t mode;
    // Points: player in, recorder in, length in frames.
    const char* playIn;
    const char* recIn;
    int length;
    int prerollSeconds = 1;
};

const Profile profiles[] = {
    {"ideal insert", options([](auto&) {}), 0, insertAll, "00:00:10:05", "00:00:20:00", 47},
    {"ideal assemble", options([](auto&) {}), 0, assemble, "00:00:11:00", "00:00:30:17", 31},
    {"realistic insert", options([](auto& o) { o.replyDelayMs = 3; o.editDelayFrames = 5; }), -5, insertAll,
     "00:00:12:10", "00:00:25:00", 62},
    {"realistic assemble", options([](auto& o) { o.replyDelayMs = 3; o.editDelayFrames = 5; }), -5, assemble,
     "00:00:12:10", "00:00:40:21", 40},
    {"USB adapter", options([](auto& o) { o.adapterLatencyMs = 16; }), 0, insertAll, "00:00:09:29", "00:00:21:03", 55},
    {"uneven servo lock", options([](auto& o) { o.playerLockFrames = 4; o.recorderLockFrames = 1; }), 0, insertAll,
     "00:00:15:00", "00:00:22:11", 44},
    // Through a slow line the decks' positions are known to a third of a frame each: given a
    // preroll long enough for the readings to narrow, the player, locking two frames later, is
    // still brought into step.
    {"uneven servo lock through a USB adapter", options([](auto& o) {
         o.adapterLatencyMs = 16;
         o.playerLockFrames = 3;
         o.recorderLockFrames = 1;
     }),
     0, insertAll, "00:00:16:00", "00:00:23:11", 44, 3},
    {"29.97 drop-frame across a dropped minute",
     options([](auto& o) { o.timeBase = decksim::TimeBase::fps2997DropFrame; }), 0, insertAll, "00:00:30:00",
     "00:00:59:20", 40},
    {"29.97 drop-frame from just after a dropped minute",
     options([](auto& o) { o.timeBase = decksim::TimeBase::fps2997DropFrame; }), 0, insertAll, "00:01:00:04",
     "00:02:00:03", 40},
    {"25 fps", options([](auto& o) { o.timeBase = decksim::TimeBase::fps25; }), 0, insertAll, "00:00:10:24",
     "00:00:20:12", 38},
    // Decks that are not ideal: they sample their tape up to their 9 ms turnaround late, their
    // servos ramp up to speed, and every 17th reply comes past the controller's deadline.
    {"imperfect decks at 30", options([](auto& o) { imperfect(o, decksim::TimeBase::fps30); }), 0, insertAll,
     "00:00:12:03", "00:00:24:17", 41},
    {"imperfect decks at 29.97 drop-frame", options([](auto& o) { imperfect(o, decksim::TimeBase::fps2997DropFrame); }),
     0, insertAll, "00:00:40:00", "00:00:59:24", 36},
    {"imperfect decks at 25", options([](auto& o) { imperfect(o, decksim::TimeBase::fps25); }), 0, insertAll,
     "00:00:12:03", "00:00:24:17", 41},
    // Flag bits a controller must mask, and replies that lose the drop-frame flag.
    {"flag bits and drop-frame flag dropouts", options([](auto& o) {
         o.timeBase = decksim::TimeBase::fps2997DropFrame;
         o.flagBits = true;
         o.dfFlagDropoutEvery = 5;
     }),
     0, insertAll, "00:00:30:00", "00:00:59:20", 40},
};

void PrintTo(const Profile& profile, std::ostream* out)
{
    *out << profile.name;
}

class EditLandsExactly : public testing::TestWithParam<Profile> {};

}

TEST_P(EditLandsExactly, OnTheMarkedFramesWithTheSourceInStep)
{
    const Profile& profile = GetParam();
    EngineRig rig(profile.options, profile.mode);
    rig.request.adjust = profile.adjust;
    rig.setPreroll(profile.prerollSeconds);
    const int playIn = rig.frames(profile.playIn);
    const int recIn = rig.frames(profile.recIn);
    const int recOut = recIn + profile.length;
    rig.setPoints(*rig.player, profile.playIn, rig.base.labelOf(playIn + profile.length));
    rig.setPoints(*rig.recorder, profile.recIn, rig.base.labelOf(recOut));

    const EditOutcome outcome = rig.edit();

    ASSERT_EQ(outcome.kind, EditOutcome::Kind::Completed) << testing::PrintToString(rig.progress.statuses());
    EXPECT_TRUE(outcome.onTape);
    const auto segments = rig.segments();
    ASSERT_EQ(segments.size(), 1u);
    const Segment& made = segments.front();
    const int overrun = profile.mode == assemble ? 2 * rig.base.labelsPerSecond() : 0;
    EXPECT_EQ(made.recFirst, recIn) << "record in";
    EXPECT_EQ(made.recLast + 1, recOut + overrun) << "record out";
    EXPECT_EQ(made.srcFirst - made.recFirst, playIn - recIn) << "source against record";
    EXPECT_EQ(made.srcLast - made.recLast, playIn - recIn) << "source against record at the end";
}

INSTANTIATE_TEST_SUITE_P(Profiles, EditLandsExactly, testing::ValuesIn(profiles),
                         [](const testing::TestParamInfo<Profile>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(EditEngine, ReportsTheStepsOfAnEditInOrder)
{
    EngineRig rig(options([](auto& o) { o.playerLockFrames = 3; }), insertAll);
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:11:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:21:00");
    ASSERT_EQ(rig.edit().kind, EditOutcome::Kind::Completed);
    const std::vector<EditStep> expected{EditStep::CuePlayer, EditStep::CueRecorder, EditStep::Preroll,
                                         EditStep::Roll,      EditStep::Synchronised, EditStep::EditOn,
                                         EditStep::EditOff,   EditStep::Stopped,     EditStep::CueRecorderOut};
    EXPECT_EQ(rig.progress.steps(), expected);
}

TEST(EditEngine, APlayerThatRefusesVariableSpeedOutOfStepRecordsNothing)
{
    EngineRig rig(options([](auto& o) {
                      o.noVarispeed = true;
                      o.playerLockFrames = 4;
                      o.recorderLockFrames = 1;
                  }),
                  insertAll);
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:12:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:22:00");

    const EditOutcome outcome = rig.edit();

    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Refused);
    EXPECT_FALSE(outcome.onTape);
    EXPECT_EQ(rig.progress.statuses(), std::vector<std::string>{"SYNC ERROR - NO EDIT"});
    EXPECT_TRUE(rig.segments().empty());
    EXPECT_FALSE(rig.progress.reached(EditStep::EditOn));
    EXPECT_TRUE(decktest::waitFor([&] { return rig.decks.statusBytes(Role::Recorder)[1] & 0x20; })) << "stopped";
    EXPECT_TRUE(decktest::waitFor([&] { return rig.decks.statusBytes(Role::Player)[1] & 0x20; })) << "stopped";
}

TEST(EditEngine, AnEditOfNoLengthSendsNothing)
{
    EngineRig rig(options([](auto&) {}), insertAll);
    rig.request = {"00:00:10:00", "00:00:10:00", "00:00:20:00", "00:00:20:00", insertAll, 1, 1, 0};
    rig.decks.clearTrace();

    const EditOutcome outcome = rig.edit();

    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Refused);
    EXPECT_EQ(rig.progress.statuses(), std::vector<std::string>{"OUTPOINT NOT VALID"});
    for (const auto& entry : rig.decks.trace()) {
        if (entry.received) {
            EXPECT_TRUE(entry.bytes == VCR::bsgettc || entry.bytes == VCR::bsgetstatus) << "only polling";
        }
    }
}

TEST(EditEngine, AnAbortWhileRecordingTakesTheRecorderOutOfRecordAtOnce)
{
    EngineRig rig(options([](auto&) {}), insertAll);
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:40:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:50:00");
    std::thread stopper([&] {
        decktest::waitFor([&] { return rig.progress.reached(EditStep::EditOn); }, 60000);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        rig.clock.abort();
    });

    const EditOutcome outcome = rig.edit();
    stopper.join();
    const int stoppedAt = rig.decks.positionFrames(Role::Recorder);

    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Aborted);
    EXPECT_FALSE(outcome.onTape);
    const auto segments = rig.segments();
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments.front().recFirst, rig.frames("00:00:20:00"));
    EXPECT_LE(segments.front().recLast, stoppedAt) << "nothing recorded after the abort";
    EXPECT_LT(segments.front().recLast, rig.frames("00:00:22:00"));
    EXPECT_TRUE(decktest::waitFor([&] { return (rig.decks.statusBytes(Role::Recorder)[1] & 0x02) == 0; }));
}

TEST(ShortInsertRealTime, IsSeenRecordingBeforeItsEditOffAndLandsExactly)
{
    // A few frames leave no room for the status read every fourth round; a status read after
    // edit off may already show the recording over, and is no proof that none began.
    EngineRig rig(options([](auto&) {}), 0x50);
    for (const int length : {5, 6, 7, 8}) {
        SCOPED_TRACE(length);
        const int recIn = rig.frames("00:00:20:00") + 60 * length;
        const int playIn = rig.frames("00:00:10:00") + 45 * length;
        rig.setPoints(*rig.player, rig.base.labelOf(playIn), rig.base.labelOf(playIn + length));
        rig.setPoints(*rig.recorder, rig.base.labelOf(recIn), rig.base.labelOf(recIn + length));

        const EditOutcome outcome = rig.edit();

        ASSERT_EQ(outcome.kind, EditOutcome::Kind::Completed) << testing::PrintToString(rig.progress.statuses());
        EXPECT_TRUE(outcome.exact);
        const auto segments = rig.segments();
        ASSERT_FALSE(segments.empty());
        EXPECT_EQ(segments.back().recFirst, recIn);
        EXPECT_EQ(segments.back().recLast + 1, recIn + length);
        EXPECT_EQ(segments.back().srcFirst, playIn);
    }
}
