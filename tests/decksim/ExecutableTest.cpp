// kestrix-decksim as a program: its output lines, files, options and signals.

#include "tests/decksim/ControllerLine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace decksim {
namespace {

using test::ControllerLine;
using test::Bytes;
using test::hex;
namespace fs = std::filesystem;

std::string readFile(const fs::path& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A running kestrix-decksim with its standard output and error captured.
class Decksim {
public:
    explicit Decksim(std::vector<std::string> arguments)
    {
        int in[2];
        int out[2];
        int err[2];
        EXPECT_EQ(::pipe(in), 0);
        EXPECT_EQ(::pipe(out), 0);
        EXPECT_EQ(::pipe(err), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, err[0]);
        arguments.insert(arguments.begin(), KESTRIX_DECKSIM_PATH);
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        in_ = in[1];
        out_ = ::fdopen(out[0], "r");
        err_ = err[0];
    }

    ~Decksim()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(in_);
        std::fclose(out_);
        ::close(err_);
    }

    // Types a line on the program's standard input.
    void command(const std::string& line)
    {
        const std::string typed = line + "\n";
        EXPECT_EQ(::write(in_, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    }

    // The next line of standard output, without its line end; empty at the end.
    std::string line()
    {
        char buffer[512];
        if (!std::fgets(buffer, sizeof buffer, out_)) {
            return {};
        }
        std::string text(buffer);
        if (!text.empty() && text.back() == '\n') {
            text.pop_back();
        }
        return text;
    }

    std::string rest()
    {
        std::string text;
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, out_)) {
            text += buffer;
        }
        return text;
    }

    std::string errors()
    {
        std::string text;
        char buffer[512];
        for (ssize_t got; (got = ::read(err_, buffer, sizeof buffer)) > 0;) {
            text.append(buffer, static_cast<std::size_t>(got));
        }
        return text;
    }

    // Sends the signal (if any) and returns the exit status, or -1 when it did not exit normally.
    int finish(int signal = 0)
    {
        if (signal) {
            ::kill(pid_, signal);
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Reads "player <path>", "recorder <path>", "ready"; each path links to a pseudo-terminal.
    std::pair<std::string, std::string> started()
    {
        const std::regex deckLine(R"((player|recorder) (/\S+))");
        std::smatch player;
        std::smatch recorder;
        const std::string first = line();
        const std::string second = line();
        EXPECT_TRUE(std::regex_match(first, player, deckLine)) << first;
        EXPECT_TRUE(std::regex_match(second, recorder, deckLine)) << second;
        EXPECT_EQ(line(), "ready");
        if (player.size() < 3 || recorder.size() < 3) {
            return {};
        }
        EXPECT_EQ(player[1], "player");
        EXPECT_EQ(recorder[1], "recorder");
        for (const std::string& path : {player[2].str(), recorder[2].str()}) {
            EXPECT_TRUE(std::regex_match(fs::read_symlink(path).string(), std::regex(R"(/dev/pts/\d+)"))) << path;
        }
        return {player[2], recorder[2]};
    }

private:
    pid_t pid_ = -1;
    int in_ = -1;
    FILE* out_ = nullptr;
    int err_ = -1;
};

class DecksimProgram : public ::testing::Test {
protected:
    DecksimProgram() : dir(fs::temp_directory_path() / ("decksim-test-" + std::to_string(::getpid()))) { fs::create_directories(dir); }
    ~DecksimProgram() override { fs::remove_all(dir); }

    fs::path dir;
};

TEST_F(DecksimProgram, WritesSettingsAndEditLogNamingItsDecks)
{
    Decksim decksim({"--dir", dir.string()});
    const auto [player, recorder] = decksim.started();
    EXPECT_EQ(readFile(dir / "KESTRIX_Settings.txt"),
              "KESTRIX Settings\n \nPlayVCRType=RS422\nPlayVCRCOMPort=" + player + "\nPlayVCRPreroll=3\n \n"
                  "RecVCRType=RS422\nRecVCRCOMPort=" + recorder + "\nRecVCRPreroll=3\n \nEditAdjust=0\n \n"
                  "StopOnExit=YES\nLogEdits=YES\n");
    EXPECT_TRUE(fs::exists(dir / "edl.txt"));
    EXPECT_EQ(fs::file_size(dir / "edl.txt"), 0u);
    ControllerLine line(player);
    EXPECT_EQ(line.exchange("00 11 11", 5), hex("12 11 20 25 68"));
    EXPECT_EQ(decksim.finish(SIGINT), 0);
}

TEST_F(DecksimProgram, KeepsTheOperatorsSettingsAndEditLog)
{
    std::ofstream(dir / "KESTRIX_Settings.txt") << "KESTRIX Settings\nPlayVCRCOMPort=COM1\nRecVCRCOMPort=COM2\nEditAdjust=7\n";
    std::ofstream(dir / "edl.txt") << "an earlier edit\n";
    Decksim decksim({"--dir", dir.string(), "--preroll", "5"});
    const auto [player, recorder] = decksim.started();
    EXPECT_EQ(readFile(dir / "KESTRIX_Settings.txt"),
              "KESTRIX Settings\nPlayVCRCOMPort=" + player + "\nRecVCRCOMPort=" + recorder + "\nEditAdjust=7\n");
    EXPECT_EQ(readFile(dir / "edl.txt"), "an earlier edit\n");
    EXPECT_EQ(decksim.finish(SIGTERM), 0);
}

TEST_F(DecksimProgram, ReportAndTraceRecordWhatHappened)
{
    const fs::path report = dir / "tape.txt";
    const fs::path trace = dir / "trace.txt";
    Decksim decksim({"--report", report.string(), "--trace", trace.string(), "--player-start", "00:01:00:00",
                     "--recorder-start", "00:10:00:00", "--reply-delay-ms", "1"});
    const auto [playerPath, recorderPath] = decksim.started();
    EXPECT_EQ(readFile(report), "");
    {
        ControllerLine player(playerPath);
        ControllerLine recorder(recorderPath);
        player.exchange("20 01 21", 3);
        recorder.exchange("20 02 22", 3);  // record: all channels
        const int start = recorder.timeCode();
        while (recorder.timeCode() < start + 10) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        recorder.exchange("20 00 20", 3);
    }
    EXPECT_EQ(decksim.finish(SIGTERM), 0);
    const std::regex segment(R"(segment channels=V,A1,A2 rec=00:10:00:00-00:10:\d\d:\d\d src=00:01:\d\d:\d\d-00:01:\d\d:\d\d)"
                             R"( reel=001 rec-frames=18000-180\d\d src-frames=18\d\d-18\d\d\n)");
    EXPECT_TRUE(std::regex_match(readFile(report), segment)) << readFile(report);
    const std::string traced = readFile(trace);
    EXPECT_TRUE(std::regex_search(traced, std::regex(R"((^|\n)\d+ player rx 20 01 21\n\d+ player tx 10 01 11\n)"))) << traced;
    EXPECT_TRUE(std::regex_search(traced, std::regex(R"(\n\d+ recorder tx 74 04 [0-9A-F]{2} [0-9A-F]{2} 10 00 [0-9A-F]{2}\n)")));
}

TEST_F(DecksimProgram, MuteAndNoCueApplyToTheNamedDeck)
{
    Decksim decksim({"--mute", "player", "--no-cue", "recorder", "--seek-speed", "200"});
    const auto [playerPath, recorderPath] = decksim.started();
    ControllerLine player(playerPath);
    player.write(hex("00 11 11"));
    EXPECT_TRUE(player.read(1, std::chrono::milliseconds(200)).empty());
    ControllerLine recorder(recorderPath);
    recorder.exchange("24 31 00 10 00 00 65", 3);  // cue to 00:00:10:00
    for (int tries = 0; tries < 500 && recorder.timeCode() != 300; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(recorder.timeCode(), 300);
    EXPECT_EQ(recorder.status()[2] & 0x01, 0);
    EXPECT_EQ(decksim.finish(SIGTERM), 0);
}

TEST_F(DecksimProgram, DeckUnpluggedOnStandardInputComesBackAtItsPath)
{
    Decksim decksim({"--dir", dir.string()});
    const auto [player, recorder] = decksim.started();
    auto line = std::make_unique<ControllerLine>(player);
    EXPECT_EQ(line->exchange("00 11 11", 5), hex("12 11 20 25 68"));
    decksim.command("unplug player");
    EXPECT_EQ(decksim.line(), "player unplugged");
    EXPECT_TRUE(line->hungUp());
    EXPECT_FALSE(fs::exists(fs::symlink_status(player)));
    ControllerLine other(recorder);
    EXPECT_EQ(other.exchange("00 11 11", 5), hex("12 11 20 25 68"));
    decksim.command("plug player");
    EXPECT_EQ(decksim.line(), "player plugged");
    line = std::make_unique<ControllerLine>(player);
    EXPECT_EQ(line->exchange("00 11 11", 5), hex("12 11 20 25 68"));
    EXPECT_NE(readFile(dir / "KESTRIX_Settings.txt").find("PlayVCRCOMPort=" + player + "\n"), std::string::npos);
    decksim.command("pull everything");
    EXPECT_EQ(decksim.finish(SIGTERM), 0);
    EXPECT_EQ(decksim.errors(), "kestrix-decksim: unknown command: \"pull everything\" (unplug, plug, power-cycle, local, "
                                "remote, refuse, allow or mount)\n");
    EXPECT_FALSE(fs::exists(fs::symlink_status(player)));
}

TEST_F(DecksimProgram, MisbehavesAsTheOptionsAndStandardInputSay)
{
    const fs::path report = dir / "tape.txt";
    Decksim decksim({"--refuse", "recorder:edit-off:1", "--refuse", "shuttle", "--rec-inhibit", "--local", "player",
                     "--player-reels", "A,B", "--report", report.string(), "--flag-bits", "--player-start", "00:01:00:00"});
    const auto [playerPath, recorderPath] = decksim.started();
    ControllerLine player(playerPath);
    ControllerLine recorder(recorderPath);
    const Bytes refused = hex("11 12 01 24");
    const Bytes ack = hex("10 01 11");

    // Options: the recorder's refusals and write-protect, the player in LOCAL, flagged time data.
    EXPECT_EQ(recorder.exchange("21 13 40 74", 4), refused);
    EXPECT_EQ(recorder.exchange("20 01 21", 3), ack);
    EXPECT_EQ(recorder.exchange("20 64 84", 4), refused);
    EXPECT_EQ(recorder.exchange("20 64 84", 3), ack);
    EXPECT_EQ(recorder.status()[8] & 0x01, 0x01);
    EXPECT_EQ(player.exchange("20 01 21", 4), refused);
    EXPECT_EQ(player.status()[0] & 0x01, 0x01);
    EXPECT_EQ(player.exchange("61 0C 03 70", 7), hex("74 04 80 80 81 C0 B9"));

    // Standard input.
    decksim.command("remote player");
    EXPECT_EQ(decksim.line(), "player remote");
    decksim.command("refuse recorder stop 2");
    EXPECT_EQ(decksim.line(), "recorder refuses stop 2");
    EXPECT_EQ(recorder.exchange("20 00 20", 4), refused);
    decksim.command("allow recorder stop");
    EXPECT_EQ(decksim.line(), "recorder allows stop");
    EXPECT_EQ(recorder.exchange("20 00 20", 3), ack);
    decksim.command("refuse play");
    EXPECT_EQ(decksim.line(), "player refuses play");
    EXPECT_EQ(decksim.line(), "recorder refuses play");
    EXPECT_EQ(player.exchange("20 01 21", 4), refused);
    decksim.command("allow player play");
    EXPECT_EQ(decksim.line(), "player allows play");
    EXPECT_EQ(player.exchange("20 01 21", 3), ack);
    decksim.command("mount B");
    EXPECT_EQ(decksim.line(), "player mounted B");
    EXPECT_EQ(player.status()[1] & 0x21, 0x20);  // stopped
    EXPECT_EQ(player.exchange("41 30 20 91", 3), ack);
    decksim.command("power-cycle player");
    EXPECT_EQ(decksim.line(), "player power-cycled");
    EXPECT_EQ(player.status()[5], 0x00);
    decksim.command("local recorder");
    EXPECT_EQ(decksim.line(), "recorder local");
    EXPECT_EQ(recorder.exchange("20 01 21", 4), refused);
    decksim.command("mount C");
    decksim.command("power-cycle");
    EXPECT_EQ(decksim.finish(SIGTERM), 0);
    EXPECT_EQ(decksim.errors(), "kestrix-decksim: the player has no reel \"C\"\n"
                                "kestrix-decksim: power-cycle takes player or recorder: \"power-cycle\"\n");
    EXPECT_EQ(readFile(report), "");  // write-protected: nothing recorded
}

TEST(DecksimHelp, DescribesEveryOption)
{
    Decksim decksim({"--help"});
    const std::string text = decksim.rest();
    EXPECT_EQ(decksim.finish(), 0);
    for (const char* option : {"--dir", "--report", "--trace", "--reply-delay-ms", "--edit-delay-frames", "--lock-frames",
                               "--seek-speed", "--player-start", "--recorder-start", "--mute", "--no-cue", "--preroll",
                               "--adjust", "--timebase", "29.97DF", "--adapter-latency-ms", "--nak-every", "--garble-every",
                               "--echo", "--player-lock-frames", "--recorder-lock-frames", "--no-varispeed", "SIGTERM",
                               "ready", "unplug DECK", "plug DECK", "power-cycle DECK", "refuse [DECK] COMMAND [N]",
                               "allow [DECK] COMMAND", "local DECK", "remote DECK", "mount REEL", "--refuse", "11 12 01 24",
                               "--rec-inhibit", "--local", "--no-tape", "--sample-delay-ms", "--seed", "--late-every",
                               "--late-ms", "--lock-ramp", "--df-flag-dropout-every", "--flag-bits", "--player-reels",
                               "rec-frames=F-L src-frames=F-L"}) {
        EXPECT_NE(text.find(option), std::string::npos) << option;
    }
}

TEST(DecksimUsage, MistakesEndWithStatusTwoAndAMessage)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--bogus"}, "kestrix-decksim: unknown option: --bogus\nTry 'kestrix-decksim --help'.\n"},
        {{"--mute", "nobody"}, "kestrix-decksim: invalid deck for --mute: \"nobody\" (player or recorder)\nTry 'kestrix-decksim --help'.\n"},
    };
    for (const auto& [arguments, message] : cases) {
        Decksim decksim(arguments);
        EXPECT_EQ(decksim.finish(), 2);
        EXPECT_EQ(decksim.errors(), message);
        EXPECT_EQ(decksim.rest(), "");
    }
}

TEST(DecksimFiles, UnwritableFilesAreReported)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--report", "/nonexistent/tape.txt"}, "kestrix-decksim: cannot write the report file /nonexistent/tape.txt\n"},
        {{"--trace", "/nonexistent/trace.txt"}, "kestrix-decksim: cannot write the trace file /nonexistent/trace.txt\n"},
        {{"--dir", "/nonexistent"}, "kestrix-decksim: cannot write /nonexistent/KESTRIX_Settings.txt\n"},
    };
    for (const auto& [arguments, message] : cases) {
        Decksim decksim(arguments);
        EXPECT_EQ(decksim.finish(), 1);
        EXPECT_EQ(decksim.errors(), message);
    }
}

}  // namespace
}  // namespace decksim
