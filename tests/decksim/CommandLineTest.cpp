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

const std::string commandNames = " (device-type, stop, play, record, standby, eject, fast-forward, rewind, jog, var, "
                                 "shuttle, preroll, cue, preview, review, auto-edit, full-ee, edit-off, edit-on, "
                                 "in-preset, out-preset, preroll-preset, preset, time-mode, recon, status, time-code)";

TEST(CommandLine, FaultsOfTheDecksReachTheirSettings)
{
    const CommandLine c = CommandLine::parse({"--refuse", "recorder:edit-off:20", "--refuse=play", "--refuse", "status:3",
                                              "--refuse", "player:time-code", "--rec-inhibit", "--local", "recorder",
                                              "--no-tape", "player", "--sample-delay-ms", "9", "--seed", "77",
                                              "--late-every", "13", "--late-ms=60", "--lock-ramp", "--df-flag-dropout-every",
                                              "5", "--flag-bits", "--player-reels", "A,REEL2,B"});
    const Options& d = c.decks;
    ASSERT_EQ(d.refusals.size(), 4u);
    const auto same = [](const Refusal& a, const Refusal& b) {
        return a.deck == b.deck && a.command == b.command && a.times == b.times;
    };
    EXPECT_TRUE(same(d.refusals[0], {Role::Recorder, DeckCommand::EditOff, 20}));
    EXPECT_TRUE(same(d.refusals[1], {std::nullopt, DeckCommand::Play, std::nullopt}));
    EXPECT_TRUE(same(d.refusals[2], {std::nullopt, DeckCommand::Status, 3}));
    EXPECT_TRUE(same(d.refusals[3], {Role::Player, DeckCommand::TimeCode, std::nullopt}));
    EXPECT_TRUE(d.recordInhibit);
    EXPECT_TRUE(d.recorderLocal);
    EXPECT_FALSE(d.playerLocal);
    EXPECT_TRUE(d.playerNoTape);
    EXPECT_FALSE(d.recorderNoTape);
    EXPECT_EQ(d.sampleDelayMs, 9);
    EXPECT_EQ(d.seed, 77u);
    EXPECT_EQ(d.lateEvery, 13);
    EXPECT_EQ(d.lateMs, 60);
    EXPECT_TRUE(d.lockRamp);
    EXPECT_EQ(d.dfFlagDropoutEvery, 5);
    EXPECT_TRUE(d.flagBits);
    EXPECT_EQ(d.playerReels, (std::vector<std::string>{"A", "REEL2", "B"}));

    // Every fault stays off unless asked for.
    const Options plain = CommandLine::parse({}).decks;
    EXPECT_TRUE(plain.refusals.empty());
    EXPECT_FALSE(plain.recordInhibit || plain.playerLocal || plain.recorderLocal || plain.playerNoTape
                 || plain.recorderNoTape || plain.lockRamp || plain.flagBits);
    EXPECT_EQ(plain.sampleDelayMs + plain.lateEvery + plain.lateMs + plain.dfFlagDropoutEvery, 0);
    EXPECT_TRUE(plain.playerReels.empty());
}

TEST(CommandLine, MistakesInTheDeckFaultsAreNamed)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--refuse", "eject-tape"}, "invalid command for --refuse: \"eject-tape\"" + commandNames},
        {{"--refuse", "recorder"}, "invalid command for --refuse: \"recorder\"" + commandNames},
        {{"--refuse", "play:0"}, "invalid value for --refuse: \"0\" (a whole number from 1 to 1000000)"},
        {{"--refuse", "recorder:play:2:3"}, "invalid value for --refuse: \"recorder:play:2:3\" ([player:|recorder:]COMMAND[:N])"},
        {{"--local", "both"}, "invalid deck for --local: \"both\" (player or recorder)"},
        {{"--no-tape", ""}, "invalid deck for --no-tape: \"\" (player or recorder)"},
        {{"--sample-delay-ms", "10"}, "invalid value for --sample-delay-ms: \"10\" (a whole number from 0 to 9)"},
        {{"--late-every", "13"}, "--late-every and --late-ms go together, each above 0"},
        {{"--late-ms", "60"}, "--late-every and --late-ms go together, each above 0"},
        {{"--player-reels", "A,b"}, "invalid value for --player-reels: \"A,b\": invalid reel name \"b\" (1 to 8 upper-case letters and digits)"},
        {{"--player-reels", "A,,B"}, "invalid value for --player-reels: \"A,,B\": invalid reel name \"\" (1 to 8 upper-case letters and digits)"},
        {{"--player-reels", "ABCDEFGHI"}, "invalid value for --player-reels: \"ABCDEFGHI\": invalid reel name \"ABCDEFGHI\" (1 to 8 upper-case letters and digits)"},
        {{"--player-reels", "A,B,A"}, "invalid value for --player-reels: \"A,B,A\": reel \"A\" is named twice"},
        {{"--flag-bits=1"}, "option --flag-bits takes no value"},
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

TEST(InputCommand, NamesWhatToDoAndToWhichDecks)
{
    using K = InputCommand::Kind;
    const auto player = std::vector<Role>{Role::Player};
    const auto recorder = std::vector<Role>{Role::Recorder};
    const auto both = std::vector<Role>{Role::Player, Role::Recorder};
    const struct {
        const char* line;
        K kind;
        std::vector<Role> decks;
        DeckCommand command;
        std::optional<int> times;
        std::string reel;
    } commands[] = {
        {"unplug player", K::Unplug, player, DeckCommand::Play, std::nullopt, ""},
        {"  plug recorder \r", K::Plug, recorder, DeckCommand::Play, std::nullopt, ""},
        {"power-cycle recorder", K::PowerCycle, recorder, DeckCommand::Play, std::nullopt, ""},
        {"local player", K::Local, player, DeckCommand::Play, std::nullopt, ""},
        {"remote player", K::Remote, player, DeckCommand::Play, std::nullopt, ""},
        {"refuse recorder edit-off 20", K::Refuse, recorder, DeckCommand::EditOff, 20, ""},
        {"refuse edit-on", K::Refuse, both, DeckCommand::EditOn, std::nullopt, ""},
        {"refuse time-code 1", K::Refuse, both, DeckCommand::TimeCode, 1, ""},
        {"allow recorder edit-off", K::Allow, recorder, DeckCommand::EditOff, std::nullopt, ""},
        {"allow stop", K::Allow, both, DeckCommand::Stop, std::nullopt, ""},
        {"mount REEL2", K::Mount, player, DeckCommand::Play, std::nullopt, "REEL2"},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(c.line);
        const InputCommand command = InputCommand::parse(c.line);
        EXPECT_EQ(command.kind, c.kind);
        EXPECT_EQ(command.decks, c.decks);
        if (c.kind == K::Refuse || c.kind == K::Allow) {
            EXPECT_EQ(command.command, c.command);
        }
        EXPECT_EQ(command.times, c.times);
        EXPECT_EQ(command.reel, c.reel);
    }
    const std::pair<const char*, std::string> mistakes[] = {
        {"unplug", "unplug takes player or recorder: \"unplug\""},
        {"plug both", "plug takes player or recorder: \"plug both\""},
        {"Unplug player", "unknown command: \"Unplug player\" (unplug, plug, power-cycle, local, remote, refuse, allow or mount)"},
        {"refuse recorder", "missing command in \"refuse recorder\" (refuse [player|recorder] COMMAND [N])"},
        {"refuse recorder edit-off 0", "invalid value for refuse: \"0\" (a whole number from 1 to 1000000)"},
        {"allow edit-off 3", "too many words in \"allow edit-off 3\" (allow [player|recorder] COMMAND)"},
        {"refuse recorder eat-tape", "invalid command for refuse: \"eat-tape\"" + commandNames},
        {"mount reel2", "mount takes a reel name: \"mount reel2\""},
    };
    for (const auto& [line, message] : mistakes) {
        try {
            InputCommand::parse(line);
            ADD_FAILURE() << "accepted: " << line;
        } catch (const UsageError& error) {
            EXPECT_EQ(error.what(), message);
        }
    }
}

}  // namespace
}  // namespace decksim
