// The virtual decks through real pseudo-terminals, as a controller talks to them.

#include "tests/decksim/ControllerLine.h"
#include "tools/decksim/Report.h"
#include "tools/decksim/VirtualDecks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <numeric>
#include <thread>

namespace decksim {
namespace {

using test::ControllerLine;
using test::hex;
using SteadyTime = std::chrono::steady_clock;

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline = std::chrono::seconds(20))
{
    const auto end = SteadyTime::now() + deadline;
    while (!condition()) {
        if (SteadyTime::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

constexpr std::uint8_t cueUpCompleteBit = 0x01;  // status byte 2

TEST(VirtualDecks, AnswerControllerPacketsOnBothLines)
{
    VirtualDecks decks;
    ControllerLine player(decks.path(Role::Player));
    ControllerLine recorder(decks.path(Role::Recorder));
    EXPECT_EQ(player.exchange("00 11 11", 5), hex("12 11 20 25 68"));
    EXPECT_EQ(recorder.exchange("41 36 00 77", 3), hex("10 01 11"));
    EXPECT_EQ(recorder.exchange("61 20 09 8A", 12), hex("79 20 00 A0 02 00 00 00 40 00 00 7B"));
    EXPECT_EQ(player.exchange("61 0C 03 70", 7), hex("74 04 00 00 00 00 78"));
    EXPECT_EQ(player.exchange("20 01 22", 4), hex("11 12 04 27"));
    EXPECT_EQ(player.exchange("20 77 97", 4), hex("11 12 01 24"));
    EXPECT_EQ(recorder.exchange("F3 02 D0 00 10 D5", 3), hex("10 01 11"));
    EXPECT_EQ(decks.reconPackets(Role::Recorder), std::vector<Bytes>{hex("F3 02 D0 00 10 D5")});
    EXPECT_TRUE(decks.reconPackets(Role::Player).empty());
}

TEST(VirtualDecks, StatusBitsAfterTransportCommands)
{
    VirtualDecks decks(Options{2, 0, 0, 50.0, 108000, 0});  // mid-tape, so reverse motion has room
    ControllerLine line(decks.path(Role::Player));
    const struct {
        const char* packet;
        int byte;
        std::uint8_t mask;
        std::uint8_t expected;
    } cases[] = {
        {"20 01 21", 1, 0xFF, 0x01},        // play
        {"20 10 30", 1, 0xFF, 0x04},        // fast forward
        {"20 20 40", 2, 0x04, 0x04},        // rewind: direction reverse
        {"21 11 10 42", 2, 0x34, 0x10},     // jog forward
        {"21 23 40 84", 2, 0x34, 0x24},     // shuttle reverse
        {"21 13 00 34", 2, 0x22, 0x22},     // shuttle still
        {"20 02 22", 1, 0x03, 0x03},        // record: record and play
        {"20 00 20", 1, 0xA0, 0xA0},        // stop, standby on
        {"20 04 24", 1, 0xE0, 0x60},        // standby off: tension released
        {"20 61 81", 4, 0x40, 0x40},        // full EE on
        {"20 60 80", 4, 0x40, 0x00},        // full EE off
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.packet);
        ASSERT_EQ(line.exchange(c.packet, 3), hex("10 01 11"));
        EXPECT_EQ(line.status()[c.byte] & c.mask, c.expected);
    }
}

TEST(VirtualDecks, TimeCodeAdvancesThirtyFramesPerSecondWhilePlaying)
{
    VirtualDecks decks;
    ControllerLine line(decks.path(Role::Player));
    line.exchange("20 01 21", 3);
    const auto firstAsked = SteadyTime::now();
    const int first = line.timeCode();
    const auto firstAnswered = SteadyTime::now();
    waitUntil([&] { return SteadyTime::now() - firstAnswered > std::chrono::milliseconds(1200); });
    const auto secondAsked = SteadyTime::now();
    const int second = line.timeCode();
    const auto secondAnswered = SteadyTime::now();
    const auto frames = [](SteadyTime::duration elapsed) { return std::chrono::duration<double>(elapsed).count() * 30.0; };
    EXPECT_GE(second - first, frames(secondAsked - firstAnswered) - 2);
    EXPECT_LE(second - first, frames(secondAnswered - firstAsked) + 2);
}

TEST(VirtualDecks, CueParksExactlyOnTheTargetWithCueUpComplete)
{
    VirtualDecks decks(Options{2, 0, 0, 50.0, 3000, 0});  // player at 00:01:40:00
    ControllerLine line(decks.path(Role::Player));
    ASSERT_EQ(line.exchange("24 31 00 20 00 00 75", 3), hex("10 01 11"));  // 00:00:20:00
    EXPECT_EQ(line.status()[4] & 0x01, 0x01);                                 // cueing
    ASSERT_TRUE(waitUntil([&] { return (line.status()[2] & cueUpCompleteBit) != 0; }));
    EXPECT_EQ(line.timeCode(), 600);
    EXPECT_EQ(line.status()[4] & 0x01, 0x00);
    EXPECT_EQ(line.exchange("21 13 00 34", 3), hex("10 01 11"));  // the controller's still
    EXPECT_EQ(line.timeCode(), 600);
    EXPECT_EQ(line.status()[2] & cueUpCompleteBit, cueUpCompleteBit);
}

TEST(VirtualDecks, PrerollCuesToTheInPointMinusThePresetPreroll)
{
    VirtualDecks decks;
    ControllerLine line(decks.path(Role::Recorder));
    line.exchange("44 14 00 30 00 00 88", 3);     // in point 00:00:30:00
    line.exchange("44 31 00 05 00 00 7A", 3);     // preroll 5 s
    EXPECT_EQ(decks.inPoint(Role::Recorder), 900);
    EXPECT_EQ(decks.prerollFrames(Role::Recorder), 150);
    ASSERT_EQ(line.exchange("20 30 50", 3), hex("10 01 11"));
    ASSERT_TRUE(waitUntil([&] { return (line.status()[2] & cueUpCompleteBit) != 0; }));
    EXPECT_EQ(line.timeCode(), 750);
}

TEST(VirtualDecks, StragglingBlockGetsATimeOutNakAndTheLineRecovers)
{
    VirtualDecks decks;
    ControllerLine line(decks.path(Role::Player));
    line.write(hex("61 20"));
    EXPECT_EQ(line.read(4), hex("11 12 80 A3"));
    EXPECT_EQ(line.exchange("00 11 11", 5), hex("12 11 20 25 68"));
}

TEST(VirtualDecks, ControllerMayCloseAndReopenThePort)
{
    VirtualDecks decks;
    for (int round = 0; round < 3; ++round) {
        ControllerLine line(decks.path(Role::Recorder));
        EXPECT_EQ(line.exchange("00 11 11", 5), hex("12 11 20 25 68"));
    }
}

TEST(VirtualDecks, MutedDeckReadsButNeverAnswers)
{
    VirtualDecks decks;
    decks.setMuted(Role::Player, true);
    ControllerLine line(decks.path(Role::Player));
    line.write(hex("00 11 11"));
    EXPECT_TRUE(line.read(1, std::chrono::milliseconds(200)).empty());
    ASSERT_TRUE(waitUntil([&] { return !decks.trace().empty(); }));
    const auto trace = decks.trace();
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_TRUE(trace[0].received);
    decks.setMuted(Role::Player, false);
    EXPECT_EQ(line.exchange("00 11 11", 5), hex("12 11 20 25 68"));
}

TEST(VirtualDecks, TraceHoldsEveryBlockBothWays)
{
    VirtualDecks decks;
    ControllerLine line(decks.path(Role::Recorder));
    line.exchange("20 01 21", 3);
    line.exchange("61 0C 03 70", 7);
    ASSERT_TRUE(waitUntil([&] { return decks.trace().size() == 4; }));
    const auto trace = decks.trace();
    EXPECT_EQ(trace[0].bytes, hex("20 01 21"));
    EXPECT_TRUE(trace[0].received);
    EXPECT_EQ(trace[1].bytes, hex("10 01 11"));
    EXPECT_FALSE(trace[1].received);
    EXPECT_EQ(trace[3].deck, Role::Recorder);
    EXPECT_LE(trace[0].micros, trace[1].micros);
    EXPECT_LT(trace[1].micros - trace[0].micros, 9000);
    decks.clearTrace();
    EXPECT_TRUE(decks.trace().empty());
}

// Line faults --------------------------------------------------------------------------------

TEST(VirtualDecks, AdapterLatencyDeliversEachReplyWholeButLate)
{
    Options options;
    options.adapterLatencyMs = 40;
    VirtualDecks decks(options);
    ControllerLine line(decks.path(Role::Player));
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        const auto sent = SteadyTime::now();
        line.write(hex("00 11 11"));
        EXPECT_EQ(line.read(5), hex("12 11 20 25 68"));
        EXPECT_GE(SteadyTime::now() - sent, std::chrono::milliseconds(40));
    }
    ASSERT_TRUE(waitUntil([&] { return decks.trace().size() == 10; }));
    // The trace shows when the deck sent the reply, not when the adapter passed it on.
    const auto trace = decks.trace();
    EXPECT_LT(trace[1].micros - trace[0].micros, 40'000);
}

TEST(VirtualDecks, EchoNakAndGarbleReachTheLine)
{
    Options options;
    options.echo = true;
    options.nakEvery = 2;
    options.garbleEvery = 3;
    VirtualDecks decks(options);
    ControllerLine line(decks.path(Role::Recorder));
    EXPECT_EQ(line.exchange("00 11 11", 3 + 5), hex("00 11 11 12 11 20 25 68"));
    EXPECT_EQ(line.exchange("20 01 21", 3 + 4), hex("20 01 21 11 12 04 27"));
    // The third reply is garbled; the status in it shows that the refused play did nothing.
    const Bytes reply = line.exchange("61 20 09 8A", 4 + 12);
    ASSERT_EQ(reply.size(), 16u);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 4), hex("61 20 09 8A"));
    const Bytes status(reply.begin() + 4, reply.end());
    const Bytes stopped = hex("79 20 00 A0 02 00 00 00 40 00 00 7B");
    EXPECT_FALSE(Block::checksumIsValid(status));
    EXPECT_EQ(std::inner_product(status.begin(), status.end(), stopped.begin(), 0, std::plus<>(), std::not_equal_to<>()), 1);
}

// A scripted edit through the lines -------------------------------------------------------

class ScriptedEdit : public ::testing::Test {
protected:
    static constexpr int editDelay = 5;

    ScriptedEdit() : decks(Options{2, editDelay, 0, 50.0, 1800, 18000}), player(decks.path(Role::Player)),
                     recorder(decks.path(Role::Recorder)) {}

    // Sends edit on or off to the rolling recorder and returns the recorder positions just
    // before and just after, which bracket the frame at which the command arrived.
    std::pair<int, int> edit(const char* packet)
    {
        const int before = decks.positionFrames(Role::Recorder);
        EXPECT_EQ(recorder.exchange(packet, 3), hex("10 01 11"));
        return {before, decks.positionFrames(Role::Recorder) + 1};
    }

    Report::Segment runEdit(const char* preset)
    {
        recorder.exchange(preset, 3);
        recorder.exchange("20 01 21", 3);
        player.exchange("20 01 21", 3);
        const int offset = decks.positionFrames(Role::Player) - decks.positionFrames(Role::Recorder);
        const auto on = edit("20 65 85");
        EXPECT_TRUE(waitUntil([&] { return decks.positionFrames(Role::Recorder) > on.second + 30; }));
        const auto off = edit("20 64 84");
        EXPECT_TRUE(waitUntil([&] { return decks.positionFrames(Role::Recorder) > off.second + editDelay + 2; }));
        recorder.exchange("20 00 20", 3);
        const auto lines = decks.segments();
        EXPECT_EQ(lines.size(), 1u);
        if (lines.empty()) {
            return {};
        }
        const Report::Segment line = lines[0];
        EXPECT_EQ(line.reel, "001");
        EXPECT_GE(line.recFirst, on.first + editDelay);
        EXPECT_LE(line.recFirst, on.second + editDelay);
        EXPECT_GE(line.recLast + 1, off.first + editDelay);
        EXPECT_LE(line.recLast + 1, off.second + editDelay);
        EXPECT_EQ(line.srcLast - line.srcFirst, line.recLast - line.recFirst);
        EXPECT_NEAR(line.srcFirst - line.recFirst, offset, 2);
        return line;
    }

    VirtualDecks decks;
    ControllerLine player;
    ControllerLine recorder;
};

TEST_F(ScriptedEdit, InsertEditOfVideoRecordsOnlyVideoBetweenEditOnAndOff)
{
    EXPECT_EQ(runEdit("41 30 50 C1").channels, channelBit(Channel::V));
    EXPECT_EQ(decks.editPreset(Role::Recorder), 0x50);
}

TEST_F(ScriptedEdit, AssembleEditRecordsAllThreeChannels)
{
    EXPECT_EQ(runEdit("41 30 20 91").channels, allChannels);
}

TEST(VirtualDecks, UnpluggedDeckHangsUpAndComesBackAtTheSamePath)
{
    namespace fs = std::filesystem;
    std::string path;
    {
        VirtualDecks decks;
        path = decks.path(Role::Player);
        ASSERT_TRUE(fs::is_symlink(path));
        EXPECT_EQ(fs::read_symlink(path).string().rfind("/dev/pts/", 0), 0u) << fs::read_symlink(path);
        auto player = std::make_unique<ControllerLine>(path);
        ControllerLine recorder(decks.path(Role::Recorder));
        player->exchange("20 01 21", 3);  // play: the tape rolls on while the line is out
        const int before = player->timeCode();

        decks.unplug(Role::Player);
        EXPECT_TRUE(player->hungUp());
        EXPECT_FALSE(fs::exists(fs::symlink_status(path)));
        EXPECT_THROW(ControllerLine{path}, std::runtime_error);
        EXPECT_EQ(recorder.exchange("00 11 11", 5), hex("12 11 20 25 68"));  // the other deck is not touched
        decks.unplug(Role::Player);                                          // already out: nothing happens

        decks.plugBack(Role::Player);
        ASSERT_TRUE(fs::is_symlink(path));
        const fs::path target = fs::read_symlink(path);
        decks.plugBack(Role::Player);  // already in: the same line stays
        EXPECT_EQ(fs::read_symlink(path), target);
        player = std::make_unique<ControllerLine>(path);
        EXPECT_EQ(player->exchange("00 11 11", 5), hex("12 11 20 25 68"));
        EXPECT_TRUE(waitUntil([&] { return player->timeCode() > before; }));  // still playing
        EXPECT_EQ(recorder.exchange("00 11 11", 5), hex("12 11 20 25 68"));
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(path)));  // the decks' links go with them
}

TEST_F(ScriptedEdit, RecorderUnpluggedWhileRecordingGoesOnAndComesBackAsItWas)
{
    recorder.exchange("41 30 50 C1", 3);            // insert video
    recorder.exchange("44 14 00 30 00 00 88", 3);   // in point 00:00:30:00
    recorder.exchange("20 01 21", 3);
    player.exchange("20 01 21", 3);
    ASSERT_EQ(recorder.exchange("20 65 85", 3), hex("10 01 11"));
    ASSERT_TRUE(waitUntil([&] { return (decks.statusBytes(Role::Recorder)[1] & 0x02) != 0; }));
    const int recordingFrom = decks.positionFrames(Role::Recorder);
    ASSERT_TRUE(waitUntil([&] { return decks.positionFrames(Role::Recorder) > recordingFrom + 10; }));
    const int unpluggedAt = decks.positionFrames(Role::Recorder);
    decks.unplug(Role::Recorder);
    ASSERT_TRUE(recorder.hungUp());
    ASSERT_TRUE(waitUntil([&] { return decks.positionFrames(Role::Recorder) > unpluggedAt + 20; }));
    const auto whileOut = decks.statusBytes(Role::Recorder);
    EXPECT_EQ(whileOut[1] & 0x03, 0x03);  // play and record
    EXPECT_EQ(whileOut[4] & 0x10, 0x10);  // edit
    decks.plugBack(Role::Recorder);

    ControllerLine back(decks.path(Role::Recorder));
    const Bytes status = back.status();
    EXPECT_EQ(status[1] & 0x03, 0x03);
    EXPECT_EQ(status[3] & 0x01, 0x01);  // the in point is still set
    EXPECT_EQ(status[4] & 0x10, 0x10);
    EXPECT_EQ(status[5], 0x50);         // and the edit preset
    EXPECT_EQ(decks.inPoint(Role::Recorder), 900);
    ASSERT_EQ(back.exchange("20 64 84", 3), hex("10 01 11"));
    const int offAt = decks.positionFrames(Role::Recorder);
    ASSERT_TRUE(waitUntil([&] { return decks.positionFrames(Role::Recorder) > offAt + editDelay + 2; }));

    // One unbroken recording, through the time the line was out.
    const auto recorded = decks.segments();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_LT(recorded[0].recFirst, unpluggedAt);
    EXPECT_GT(recorded[0].recLast, unpluggedAt + 20);
    EXPECT_EQ(recorded[0].srcLast - recorded[0].srcFirst, recorded[0].recLast - recorded[0].recFirst);
}

TEST(VirtualDecks, DeckPowerCycledWhileUnpluggedComesBackAsSwitchedOnWithItsTapeWhereItWas)
{
    VirtualDecks decks(Options{2, 0, 0, 50.0, 0, 3000});
    {
        ControllerLine line(decks.path(Role::Recorder));
        for (const char* block : {"41 30 44 B5", "44 14 00 30 00 00 88", "44 15 00 31 00 00 8A", "44 31 00 10 00 00 85",
                                  "41 36 01 78", "20 01 21"}) {
            ASSERT_EQ(line.exchange(block, 3), hex("10 01 11")) << block;
        }
    }
    ASSERT_TRUE(waitUntil([&] { return decks.positionFrames(Role::Recorder) > 3010; }));
    decks.unplug(Role::Recorder);
    decks.powerCycle(Role::Recorder);
    const int stoppedAt = decks.positionFrames(Role::Recorder);
    EXPECT_GT(stoppedAt, 3000);
    decks.plugBack(Role::Recorder);
    ControllerLine line(decks.path(Role::Recorder));
    const Bytes status = line.status();
    EXPECT_EQ(status[1], 0xA0);        // stopped, standby on
    EXPECT_EQ(status[3] & 0x03, 0x00); // no in or out point
    EXPECT_EQ(status[5], 0x00);        // no edit preset
    EXPECT_EQ(decks.prerollFrames(Role::Recorder), 150);
    EXPECT_EQ(decks.inPoint(Role::Recorder), -1);
    EXPECT_EQ(line.timeCode(), stoppedAt);
    EXPECT_EQ(decks.positionFrames(Role::Player), 0);  // the other deck is not touched
}

TEST(VirtualDecks, PlayerMountsTheNamedReelStoppedAndRefusesAReelItLacks)
{
    Options options;
    options.playerReels = {"A", "B"};
    VirtualDecks decks(options);
    EXPECT_EQ(decks.mountedReel(), "A");
    ControllerLine player(decks.path(Role::Player));
    player.exchange("20 01 21", 3);
    ASSERT_TRUE(waitUntil([&] { return decks.positionFrames(Role::Player) > 10; }));
    decks.mount("B");
    EXPECT_EQ(decks.mountedReel(), "B");
    EXPECT_EQ(player.status()[1] & 0x21, 0x20);  // stopped
    EXPECT_EQ(player.timeCode(), 0);             // reel B from its start
    EXPECT_THROW(decks.mount("C"), std::invalid_argument);
    EXPECT_EQ(decks.mountedReel(), "B");
    EXPECT_THROW(VirtualDecks(Options{.playerReels = {"A", "a"}}), std::invalid_argument);
}

TEST(VirtualDecks, LateReplyKeepsItsPlaceAheadOfTheNextRequestsReply)
{
    Options options;
    options.lateEvery = 2;
    options.lateMs = 80;
    VirtualDecks decks(options);
    ControllerLine line(decks.path(Role::Player));
    EXPECT_EQ(line.exchange("61 0C 03 70", 7), hex("74 04 00 00 00 00 78"));
    const auto asked = SteadyTime::now();
    line.write(hex("61 20 09 8A"));
    // A controller's deadline passes without the status...
    EXPECT_TRUE(line.read(1, std::chrono::milliseconds(40)).empty());
    // ...so it asks for the time code, and gets the late status first.
    line.write(hex("61 0C 03 70"));
    EXPECT_EQ(line.read(12), hex("79 20 00 A0 02 00 00 00 40 00 00 7B"));
    EXPECT_GE(SteadyTime::now() - asked, std::chrono::milliseconds(80));
    EXPECT_EQ(line.read(7), hex("74 04 00 00 00 00 78"));
}

}  // namespace
}  // namespace decksim
