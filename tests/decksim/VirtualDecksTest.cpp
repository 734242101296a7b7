// The virtual decks through real pseudo-terminals, as a controller talks to them.

#include "tests/decksim/ControllerLine.h"
#include "tools/decksim/VirtualDecks.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <numeric>
#include <regex>
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

struct ReportLine {
    std::string channels;
    int recFirst, recLast, srcFirst, srcLast;
};

int frames(const std::string& tc)
{
    return std::stoi(tc.substr(0, 2)) * 108000 + std::stoi(tc.substr(3, 2)) * 1800 + std::stoi(tc.substr(6, 2)) * 30
        + std::stoi(tc.substr(9, 2));
}

std::vector<ReportLine> parse(const std::vector<std::string>& lines)
{
    static const std::regex pattern(R"(segment channels=(\S+) rec=(\S{11})-(\S{11}) src=(\S{11})-(\S{11}))");
    std::vector<ReportLine> parsed;
    for (const auto& line : lines) {
        std::smatch match;
        EXPECT_TRUE(std::regex_match(line, match, pattern)) << line;
        parsed.push_back({match[1], frames(match[2]), frames(match[3]), frames(match[4]), frames(match[5])});
    }
    return parsed;
}

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

    ReportLine runEdit(const char* preset)
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
        const auto lines = parse(decks.reportLines());
        EXPECT_EQ(lines.size(), 1u);
        if (lines.empty()) {
            return {};
        }
        const ReportLine line = lines[0];
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
    EXPECT_EQ(runEdit("41 30 50 C1").channels, "V");
    EXPECT_EQ(decks.editPreset(Role::Recorder), 0x50);
}

TEST_F(ScriptedEdit, AssembleEditRecordsAllThreeChannels)
{
    EXPECT_EQ(runEdit("41 30 20 91").channels, "V,A1,A2");
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

}  // namespace
}  // namespace decksim
