// Option parsing of kestrix-decksim.

#include "tools/decksim/CommandLine.h"

#include <gtest/gtest.h>

namespace decksim {
namespace {

TEST(CommandLine, EveryOptionReachesItsSetting)
{
    const CommandLine c = CommandLine::parse({"--dir", "d", "--report=r.txt", "--trace", "t.txt", "--preroll", "5",
                                              "--adjust", "-3", "--reply-delay-ms", "8", "--edit-delay-frames", "5",
                                              "--lock-frames", "4", "--seek-speed", "12.5", "--player-start",
                                              "01:00:00:00", "--recorder-start", "00:00:01:02", "--mute", "recorder",
                                              "--no-cue", "player"});
    EXPECT_EQ(c.dir, "d");
    EXPECT_EQ(c.report, "r.txt");
    EXPECT_EQ(c.trace, "t.txt");
    EXPECT_EQ(c.prerollSeconds, 5);
    EXPECT_EQ(c.adjustFrames, -3);
    EXPECT_EQ(c.decks.replyDelayMs, 8);
    EXPECT_EQ(c.decks.editDelayFrames, 5);
    EXPECT_EQ(c.decks.lockFrames, 4);
    EXPECT_EQ(c.decks.seekSpeed, 12.5);
    EXPECT_EQ(c.decks.playerStartFrame, 108000);
    EXPECT_EQ(c.decks.recorderStartFrame, 32);
    EXPECT_TRUE(c.muteRecorder);
    EXPECT_FALSE(c.mutePlayer);
    EXPECT_TRUE(c.noCuePlayer);
    EXPECT_FALSE(c.noCueRecorder);
    EXPECT_TRUE(CommandLine::parse({"--help"}).help);
    EXPECT_EQ(c.decks.timeBase, TimeBase::fps30);
    EXPECT_FALSE(c.decks.echo);
    EXPECT_FALSE(c.decks.noVarispeed);
}

TEST(CommandLine, LineFaultsAndDeckOptionsReachTheirSettings)
{
    const CommandLine c = CommandLine::parse({"--adapter-latency-ms", "16", "--nak-every=7", "--garble-every", "5", "--echo",
                                              "--player-lock-frames", "3", "--recorder-lock-frames=9", "--lock-frames", "4",
                                              "--no-varispeed"});
    EXPECT_EQ(c.decks.adapterLatencyMs, 16);
    EXPECT_EQ(c.decks.nakEvery, 7);
    EXPECT_EQ(c.decks.garbleEvery, 5);
    EXPECT_TRUE(c.decks.echo);
    EXPECT_EQ(c.decks.playerLockFrames, 3);
    EXPECT_EQ(c.decks.recorderLockFrames, 9);
    EXPECT_EQ(c.decks.lockFrames, 4);
    EXPECT_TRUE(c.decks.noVarispeed);
    EXPECT_FALSE(CommandLine::parse({"--lock-frames", "4"}).decks.playerLockFrames.has_value());
}

TEST(CommandLine, StartPositionsAreLabelsOfTheTimeBaseWhereverItIsGiven)
{
    const CommandLine before = CommandLine::parse({"--player-start", "00:00:01:00", "--timebase", "25"});
    EXPECT_EQ(before.decks.timeBase, TimeBase::fps25);
    EXPECT_EQ(before.decks.playerStartFrame, 25);
    const CommandLine dropFrame = CommandLine::parse({"--timebase=29.97DF", "--recorder-start", "00:10:00:00"});
    EXPECT_EQ(dropFrame.decks.timeBase, TimeBase::fps2997DropFrame);
    EXPECT_EQ(dropFrame.decks.recorderStartFrame, 17982);
    EXPECT_EQ(CommandLine::parse({"--timebase", "29.97"}).decks.timeBase, TimeBase::fps2997);
    EXPECT_EQ(CommandLine::parse({"--timebase", "30"}).decks.timeBase, TimeBase::fps30);
}

TEST(CommandLine, MistakesAreNamed)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--speed", "3"}, "unknown option: --speed"},
        {{"extra"}, "unexpected argument: extra"},
        {{"--dir"}, "missing value for --dir"},
        {{"--reply-delay-ms", "9"}, "invalid value for --reply-delay-ms: \"9\" (a whole number from 0 to 8)"},
        {{"--lock-frames", "2x"}, "invalid value for --lock-frames: \"2x\" (a whole number from 0 to 300)"},
        {{"--edit-delay-frames", "-1"}, "invalid value for --edit-delay-frames: \"-1\" (a whole number from 0 to 300)"},
        {{"--preroll", "60"}, "invalid value for --preroll: \"60\" (a whole number from 0 to 59)"},
        {{"--adjust="}, "invalid value for --adjust: \"\" (a whole number from -999 to 999)"},
        {{"--seek-speed", "0"}, "invalid value for --seek-speed: \"0\" (a speed above 0, at most 1000)"},
        {{"--seek-speed", "nan"}, "invalid value for --seek-speed: \"nan\" (a speed above 0, at most 1000)"},
        {{"--player-start", "02:00:00:01"},
         "invalid time code for --player-start: \"02:00:00:01\" (HH:MM:SS:FF from 00:00:00:00 to 02:00:00:00)"},
        {{"--recorder-start", "00:00:00:30"},
         "invalid time code for --recorder-start: \"00:00:00:30\" (HH:MM:SS:FF from 00:00:00:00 to 02:00:00:00)"},
        {{"--mute", "both"}, "invalid deck for --mute: \"both\" (player or recorder)"},
        {{"--no-cue", "Player"}, "invalid deck for --no-cue: \"Player\" (player or recorder)"},
        {{"--timebase", "29.97NDF"}, "invalid value for --timebase: \"29.97NDF\" (30, 29.97, 29.97DF or 25)"},
        {{"--timebase", "25", "--player-start", "00:00:00:25"},
         "invalid time code for --player-start: \"00:00:00:25\" (HH:MM:SS:FF from 00:00:00:00 to 02:00:00:00)"},
        {{"--recorder-start", "00:01:00:01", "--timebase", "29.97DF"},
         "invalid time code for --recorder-start: \"00:01:00:01\" (HH:MM:SS:FF from 00:00:00:00 to 02:00:00:00)"},
        {{"--echo=yes"}, "option --echo takes no value"},
        {{"--nak-every", "-1"}, "invalid value for --nak-every: \"-1\" (a whole number from 0 to 1000000)"},
        {{"--adapter-latency-ms", "1001"}, "invalid value for --adapter-latency-ms: \"1001\" (a whole number from 0 to 1000)"},
    };
    for (const auto& [arguments, message] : cases) {
        try {
            CommandLine::parse(arguments);
            ADD_FAILURE() << "accepted: " << message;
        } catch (const UsageError& error) {
            EXPECT_EQ(error.what(), message);
        }
    }
}

TEST(PlugCommand, NamesTheDeckAndWhetherItIsPluggedOrPulled)
{
    const struct {
        const char* line;
        Role role;
        bool plugged;
    } commands[] = {
        {"unplug player", Role::Player, false},
        {"plug player", Role::Player, true},
        {"unplug recorder\r", Role::Recorder, false},
        {"  plug recorder ", Role::Recorder, true},
    };
    for (const auto& c : commands) {
        const auto command = PlugCommand::parse(c.line);
        ASSERT_TRUE(command.has_value()) << c.line;
        EXPECT_EQ(command->role, c.role) << c.line;
        EXPECT_EQ(command->plugged, c.plugged) << c.line;
    }
    for (const char* line : {"", "unplug", "plug both", "unplug  player", "Unplug player", "replug player"}) {
        EXPECT_FALSE(PlugCommand::parse(line).has_value()) << line;
    }
}

}  // namespace
}  // namespace decksim
