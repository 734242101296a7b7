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

}  // namespace
}  // namespace decksim
