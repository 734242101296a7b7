#include "tests/e2e/ChildProcess.h"
#include "tests/serial/StalledLine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using processtest::Child;
using processtest::Clock;
using processtest::Folder;

std::string lineAfter(const std::string& text, const std::string& head)
{
    const auto at = text.find(head);
    return at == std::string::npos ? "" : text.substr(at + head.size(), text.find('\n', at) - at - head.size());
}

// Settings for two RS-422 decks on the given ports, stopped when the window closes.
void writeSettings(const std::filesystem::path& folder, const std::string& player, const std::string& recorder)
{
    std::ofstream(folder / "KESTRIX_Settings.txt")
        << "KESTRIX Settings\n \nPlayVCRType=RS422\nPlayVCRCOMPort=" << player
        << "\nPlayVCRPreroll=1\n \nRecVCRType=RS422\nRecVCRCOMPort=" << recorder
        << "\nRecVCRPreroll=1\n \nEditAdjust=0\n \nStopOnExit=YES\nLogEdits=NO\n";
}

// Times (microseconds) at which the deck received the block, from the virtual decks' trace.
std::vector<long long> receivedAt(const std::filesystem::path& trace, const std::string& deck, const std::string& hex)
{
    std::vector<long long> times;
    std::ifstream in(trace);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        long long micros;
        std::string who, direction;
        fields >> micros >> who >> direction;
        std::string bytes;
        std::getline(fields >> std::ws, bytes);
        if (who == deck && direction == "rx" && bytes == hex)
            times.push_back(micros);
    }
    return times;
}

}

TEST(Process, StartUpConsoleInOrderAndClosingStopsBothDecksTwice)
{
    Folder folder;
    Child decks({KESTRIX_DECKSIM_EXE, "--dir", folder.path.string(), "--trace", (folder.path / "trace.txt").string()},
                folder.path);
    ASSERT_TRUE(decks.waitFor("ready\n", std::chrono::seconds(20))) << decks.output;
    const std::string player = lineAfter(decks.output, "player ");
    const std::string recorder = lineAfter(decks.output, "recorder ");

    // Qt never sees the arguments: a platform it does not have changes nothing.
    Child kestrix({KESTRIX_EXE, "-platform", "bogus"}, folder.path);
    ASSERT_TRUE(kestrix.waitFor("KESTRIX READY\n", std::chrono::seconds(30))) << kestrix.output;
    const std::string& console = kestrix.output;
    EXPECT_EQ(console.rfind("KESTRIX\nFeaturing:  RS422 Linear Editing\n\nKESTRIX Settings:\n", 0), 0u) << console;
    const auto summaryEnd = console.find("Log Edits          YES\n\n");
    const auto playerOpened = console.find("Serial Port " + player + " Opened OK");
    const auto recorderOpened = console.find("Serial Port " + recorder + " Opened OK");
    const auto ready = console.find("\n \nKESTRIX READY\n");
    ASSERT_NE(summaryEnd, std::string::npos) << console;
    ASSERT_NE(playerOpened, std::string::npos) << console;
    ASSERT_NE(recorderOpened, std::string::npos) << console;
    EXPECT_LT(summaryEnd, playerOpened);
    EXPECT_LT(playerOpened, recorderOpened);
    EXPECT_LT(recorderOpened, ready);
    EXPECT_EQ(ready + std::string("\n \nKESTRIX READY\n").size(), console.size()) << console;

    // Closing the window (here by the termination signal) stops both decks twice, 500 ms apart.
    kestrix.signal(SIGTERM);
    EXPECT_EQ(kestrix.wait(std::chrono::seconds(20)), 0);
    decks.signal(SIGTERM);
    EXPECT_EQ(decks.wait(std::chrono::seconds(20)), 0);
    for (const char* deck : {"player", "recorder"}) {
        const auto stops = receivedAt(folder.path / "trace.txt", deck, "20 00 20");
        ASSERT_EQ(stops.size(), 2u) << deck;
        EXPECT_GE(stops[1] - stops[0], 495000) << deck;
        EXPECT_LE(stops[1] - stops[0], 1500000) << deck;
    }
}

// Decks whose lines stopped taking bytes (CTS dropped, a far end that stopped reading) never
// keep the program from ending: the closing handler's stops give up like any other write.
TEST(Process, ClosingEndsWithinTwoSecondsWhenNeitherDeckTakesBytes)
{
    Folder folder;
    StalledLine player, recorder;
    writeSettings(folder.path, player.slavePath(), recorder.slavePath());
    Child kestrix({KESTRIX_EXE}, folder.path);
    ASSERT_TRUE(kestrix.waitFor("KESTRIX READY\n", std::chrono::seconds(30))) << kestrix.output;
    // Opening the ports discarded what the lines held, so they are filled now.
    player.fill();
    recorder.fill();
    ASSERT_TRUE(kestrix.waitFor("Unable to write to Serial Port\n", std::chrono::seconds(10))) << kestrix.output;

    const auto requested = Clock::now();
    kestrix.signal(SIGTERM);
    const int status = kestrix.wait(std::chrono::seconds(20));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - requested);
    EXPECT_EQ(status, 0) << kestrix.output;
    EXPECT_LT(took, std::chrono::seconds(2)) << kestrix.output;
    RecordProperty("closeToExitMs", static_cast<int>(took.count()));
}

// A console nobody reads any more (a terminal paused, a pipe into a program that stalled)
// holds neither the decks' threads nor the program's end: the lines that found no room are
// lost, the program ends at once when told, and what did come out is whole lines.
TEST(Process, AConsoleNobodyReadsHoldsNeitherTheDecksNorTheEnd)
{
    Folder folder;
    StalledLine player, recorder;
    writeSettings(folder.path, player.slavePath(), recorder.slavePath());
    Child kestrix({KESTRIX_EXE}, folder.path);
    ASSERT_TRUE(kestrix.waitFor("KESTRIX READY\n", std::chrono::seconds(30))) << kestrix.output;
    player.fill();
    recorder.fill();
    ASSERT_TRUE(kestrix.waitFor("Unable to write to Serial Port\n", std::chrono::seconds(10))) << kestrix.output;

    // The test fills the console's pipe through a writer of its own, whole lines at a time.
    const int filler = open(("/proc/self/fd/" + std::to_string(kestrix.console())).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(filler, 0);
    const std::string fillerLine = "filler\n";
    while (write(filler, fillerLine.data(), fillerLine.size()) > 0) {
    }
    close(filler);

    // Every poll of the stalled decks now says a line into the full console, and so does
    // every stop of the closing.
    const auto requested = Clock::now();
    kestrix.signal(SIGTERM);
    const int status = kestrix.wait(std::chrono::seconds(20), false);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - requested);
    EXPECT_EQ(status, 0) << "the program did not end";
    RecordProperty("closeToExitMs", static_cast<int>(took.count()));

    kestrix.waitFor("\x01", std::chrono::seconds(5));
    std::istringstream lines(kestrix.output.substr(kestrix.output.find("KESTRIX READY\n")));
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(line == "KESTRIX READY" || line == "Unable to write to Serial Port" || line == "filler"
                    || line.starts_with("Console lines dropped: "))
            << "a broken line: " << line;
    }
}
