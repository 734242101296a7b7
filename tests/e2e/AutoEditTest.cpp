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

// A video insert of whole seconds: the player from 00:00:02:00, the recorder from 00:00:10:00.
void markVideoInsert(EditRig& rig, int seconds)
{
    rig.setPoints(*rig.player, "00:00:02:00", "00:00:0" + std::to_string(2 + seconds) + ":00");
    rig.setPoints(*rig.recorder, "00:00:10:00", "00:00:1" + std::to_string(seconds) + ":00");
    rig.chooseMode(0x50);
}

// The recorded stretch lies exactly on the marked points, and the source in step with it.
void expectExact(const EditRig::Segment& segment, int playIn, int recIn, int recOut)
{
    EXPECT_EQ(segment.recFirst, recIn) << "record in";
    EXPECT_EQ(segment.recLast + 1, recOut) << "record out";
    EXPECT_EQ(segment.srcFirst - segment.recFirst, playIn - recIn) << "source against record";
}

}

TEST(AutoEdit, InsertEditLandsOnTheRecorderAndIsLogged)
{
    // A recorder that enters record 4 frames after edit on, made up for by an adjust of -4.
    EditRig rig({.decks = {.editDelayFrames = 4}, .preroll = 1, .adjust = -4});
    rig.setPoints(*rig.player, "00:00:02:00", "00:00:04:00");
    rig.setPoints(*rig.recorder, "00:00:10:00", "00:00:12:00");
    rig.chooseMode(0x53);

    rig.panel().bautostart.click();
    ASSERT_TRUE(rig.waitForStatus("Edit Completed", 60000)) << rig.panel().statusfield.text();

    const auto segments = rig.segments();
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].channels, "V,A1,A2");
    expectExact(segments[0], 60, 300, 360);
    EXPECT_EQ(rig.edl(), "001" + blanks(12) + "AA/V  C" + blanks(9) +
                             "00:00:02:00  00:00:04:00  00:00:10:00  00:00:12:00\n");
    // The panel showed the edit's phases in order, with their countdowns, then its outcome.
    std::vector<std::string> phases;
    const auto pressed = std::find(rig.statusHistory.begin(), rig.statusHistory.end(), "DO EDIT");
    for (const std::string& text : std::vector<std::string>(pressed, rig.statusHistory.end())) {
        std::string phase = text;
        for (const std::string counting : {"PREROLL ", "RECORDING "}) {
            if (text.rfind(counting, 0) == 0)
                phase = counting + "<countdown>";
        }
        if (phases.empty() || phases.back() != phase)
            phases.push_back(phase);
    }
    const std::vector<std::string> expected{"DO EDIT", "CUEING", "PREROLL", "PREROLL <countdown>", "RECORDING",
                                            "RECORDING <countdown>", "EDIT OFF", "Edit Completed"};
    EXPECT_EQ(phases, expected);
    EXPECT_FALSE(VCRPanel::of(*rig.recorder).recordTallyOn());
    // Afterwards the recorder stands at its out point.
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.decks.positionFrames(Role::Recorder) == 360; }, 10000));
}

TEST(AutoEdit, AssembleEditWithFiveSecondPrerollsRunsTwoSecondsPastTheOutPoint)
{
    EditRig rig({.preroll = 5});
    rig.setPoints(*rig.player, "00:00:06:00", "00:00:07:00");
    rig.setPoints(*rig.recorder, "00:00:10:00", "00:00:11:00");
    rig.chooseMode(0x20);

    rig.panel().bautostart.click();
    ASSERT_TRUE(rig.waitForStatus("Edit Completed", 90000)) << rig.panel().statusfield.text();

    // Assemble records all three channels and runs two seconds past the out point.
    const auto segments = rig.segments();
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].channels, "V,A1,A2");
    expectExact(segments[0], 180, 300, 330 + 60);
    EXPECT_EQ(rig.edl(), "001" + blanks(12) + "ASM   C" + blanks(9) +
                             "00:00:06:00  00:00:07:00  00:00:10:00  00:00:11:00\n");
}

TEST(AutoEdit, AllStopWhileRecordingEndsTheRecordingAtOnceAndLogsNothing)
{
    EditRig rig({.preroll = 1});
    markVideoInsert(rig, 4);

    rig.panel().bautostart.click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.received(Role::Recorder, editOn).has_value(); }, 60000));
    const std::int64_t on = *rig.received(Role::Recorder, editOn);
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.decks.positionFrames(Role::Recorder) >= 310; }, 5000));
    EXPECT_TRUE(VCRPanel::of(*rig.recorder).recordTallyOn()) << "the tally shows the recording";
    rig.panel().ballstop.click();
    ui::OperatorThread::instance().waitUntilIdle();

    EXPECT_EQ(rig.panel().statusfield.text(), "EDIT ABORTED") << "it stays through the stop that caused it";
    EXPECT_FALSE(VCRPanel::of(*rig.recorder).recordTallyOn());
    EXPECT_FALSE(rig.statusShown("Edit Completed"));
    // Edit off at once, then stop; no cue of the recorder; ALL STOP stopped both.
    EXPECT_EQ(rig.countReceived(Role::Recorder, editOff, on), 1);
    for (const decksim::TraceEntry& entry : rig.decks.trace()) {
        if (entry.received && entry.micros > on) {
            EXPECT_FALSE(entry.bytes.size() > 2 && entry.bytes[0] == 0x24 && entry.bytes[1] == 0x31);
        }
    }
    EXPECT_GE(rig.countReceived(Role::Recorder, stop, on), 1);
    EXPECT_GE(rig.countReceived(Role::Player, stop, on), 1);
    const auto segments = rig.segments();
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_LT(segments[0].recLast + 1, 420) << "the recording ended at the stop";
    const int stoppedAt = rig.decks.positionFrames(Role::Recorder);
    QTest::qWait(300);
    EXPECT_EQ(rig.decks.positionFrames(Role::Recorder), stoppedAt);
    EXPECT_EQ(rig.edl(), "");
}

TEST(AutoEdit, ADoubledDoEditThenAllStopPerformsNoEdit)
{
    EditRig rig({.preroll = 1});
    markVideoInsert(rig, 1);

    rig.panel().bautostart.click();
    rig.panel().bautostart.click();
    const std::vector<std::uint8_t> cueToPlayerIn{0x24, 0x31, 0x00, 0x02, 0x00, 0x00, 0x57};
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.received(Role::Player, cueToPlayerIn).has_value(); }, 10000));
    rig.panel().ballstop.click();
    ui::OperatorThread::instance().waitUntilIdle();
    QTest::qWait(500);
    ui::OperatorThread::instance().waitUntilIdle();

    EXPECT_EQ(rig.countReceived(Role::Recorder, editOn), 0);
    EXPECT_EQ(rig.countReceived(Role::Recorder, preroll), 0) << "the second press did not run after the stop";
    EXPECT_TRUE(rig.segments().empty());
    EXPECT_EQ(rig.edl(), "");
}

TEST(AutoEdit, PressesDuringAnEditAreRefusedAndTypingChangesNeitherTheEditNorItsLog)
{
    EditRig rig({.preroll = 1});
    markVideoInsert(rig, 1);

    rig.panel().bautostart.click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.received(Role::Recorder, preroll).has_value(); }, 30000));
    EXPECT_FALSE(VCRPanel::of(*rig.recorder).endfield.isEditable()) << "the points are the edit's";
    VCRPanel::of(*rig.recorder).endfield.type("00:00:15:00", true);
    rig.panel().bgorecout.click();
    EXPECT_EQ(rig.panel().statusfield.text(), "EDIT IN PROGRESS");
    ASSERT_TRUE(rig.waitForStatus("Edit Completed", 60000)) << rig.panel().statusfield.text();

    const auto segments = rig.segments();
    ASSERT_EQ(segments.size(), 1u);
    expectExact(segments[0], 60, 300, 330);
    EXPECT_EQ(rig.edl(), "001" + blanks(12) + "  /V  C" + blanks(9) +
                             "00:00:02:00  00:00:03:00  00:00:10:00  00:00:11:00\n");
    // Once the recorder is cued to its out point, its points can be typed again.
    EXPECT_TRUE(QTest::qWaitFor([&] { return VCRPanel::of(*rig.recorder).endfield.isEditable(); }, 10000));
}

TEST(AutoEdit, AnEditAbortedAfterEditOffIsLogged)
{
    EditRig rig({.preroll = 1});
    markVideoInsert(rig, 1);

    rig.panel().bautostart.click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.received(Role::Recorder, editOff).has_value(); }, 60000));
    rig.panel().bautoend.click();
    ui::OperatorThread::instance().waitUntilIdle();

    EXPECT_EQ(rig.panel().statusfield.text(), "EDIT ABORTED");
    ASSERT_EQ(rig.segments().size(), 1u);
    expectExact(rig.segments()[0], 60, 300, 330);
    EXPECT_EQ(rig.edl(), "001" + blanks(12) + "  /V  C" + blanks(9) +
                             "00:00:02:00  00:00:03:00  00:00:10:00  00:00:11:00\n");
}

TEST(AutoEditLong, CueingFailsWhenNeitherDeckCues)
{
    EditRig rig({.preroll = 1});
    markVideoInsert(rig, 2);
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
    markVideoInsert(rig, 1);
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
    markVideoInsert(rig, 2);

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

TEST(AutoEdit, APreviewGivesBothDecksTheirPointsAndTheirOwnPreview)
{
    EditRig rig({.preroll = 1});
    markVideoInsert(rig, 1);
    const std::vector<std::uint8_t> previewCommand{0x20, 0x40, 0x60};

    rig.panel().bpreview.click();
    ASSERT_TRUE(rig.waitForStatus("PREVIEWING", 10000)) << rig.panel().statusfield.text();

    EXPECT_TRUE(rig.statusShown("PREVIEW"));
    EXPECT_EQ(rig.countReceived(Role::Player, previewCommand), 1);
    EXPECT_EQ(rig.countReceived(Role::Recorder, previewCommand), 1);
    EXPECT_EQ(rig.countReceived(Role::Recorder, editOn), 0);
}

TEST(AutoEdit, ADeckPanelsStopButtonAbortsTheEditLikeAllStop)
{
    EditRig rig({.preroll = 1});
    markVideoInsert(rig, 4);

    rig.panel().bautostart.click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.decks.positionFrames(Role::Recorder) >= 310; }, 60000));
    ASSERT_TRUE(rig.received(Role::Recorder, editOn).has_value());
    VCRPanel::of(*rig.player).bpause.click();
    ui::OperatorThread::instance().waitUntilIdle();

    EXPECT_EQ(rig.panel().statusfield.text(), "EDIT ABORTED");
    EXPECT_EQ(rig.countReceived(Role::Recorder, editOff), 1) << "the recorder left record at once";
    EXPECT_TRUE(QTest::qWaitFor([&] { return (rig.decks.statusBytes(Role::Recorder)[1] & 0x02) == 0; }, 2000));
    EXPECT_EQ(rig.edl(), "");
}
