// `kestrix --assemble` as an operator runs it, on kestrix-decksim: the console's lines, the
// exit statuses, the recorder's tape as the virtual decks report it, and a run killed in the
// middle of an edit and resumed from its journal.

#include "eventlist/ListFile.h"
#include "tests/assembly/AssemblyTestSupport.h"
#include "tests/e2e/ChildProcess.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

using namespace assemblytest;
using processtest::Child;
using processtest::Clock;
using processtest::Folder;

namespace {

const TimeBase fps30;

// The virtual decks with two player reels, A and B, one-second prerolls in the settings they
// write, the recorder's report and the trace kept in the folder.
class Decks {
public:
    explicit Decks(const Folder& folder)
        : folder_(folder),
          process_({KESTRIX_DECKSIM_EXE, "--dir", folder.path.string(), "--preroll", "1", "--player-reels", "A,B",
                    "--report", report().string(), "--trace", (folder.path / "trace.txt").string()},
                   folder.path)
    {
        if (!process_.waitFor("ready\n", std::chrono::seconds(20)))
            throw std::runtime_error("the virtual decks did not start: " + process_.output);
    }
    ~Decks() { stop(); }

    std::filesystem::path report() const { return folder_.path / "report.txt"; }

    // The recorder's tape as the report file has it now.
    std::vector<decksim::Report::Segment> tape() const
    {
        static const std::regex pattern(
            R"(segment channels=(\S+) rec=\S+ src=\S+ reel=(\S+) rec-frames=(\d+)-(\d+) src-frames=(\d+)-(\d+))");
        std::vector<decksim::Report::Segment> found;
        std::ifstream in(report());
        for (std::string line; std::getline(in, line);) {
            std::smatch match;
            if (!std::regex_search(line, match, pattern))
                continue;
            decksim::ChannelSet channels = 0;
            const std::string names = match[1];
            if (names.find('V') != std::string::npos)
                channels |= decksim::channelBit(decksim::Channel::V);
            if (names.find("A1") != std::string::npos)
                channels |= decksim::channelBit(decksim::Channel::A1);
            if (names.find("A2") != std::string::npos)
                channels |= decksim::channelBit(decksim::Channel::A2);
            found.push_back({channels, std::stoi(match[3]), std::stoi(match[4]), std::stoi(match[5]),
                             std::stoi(match[6]), match[2]});
        }
        return found;
    }

    // The edit ons the recorder received.
    int editOns() const
    {
        std::ifstream in(folder_.path / "trace.txt");
        int count = 0;
        for (std::string line; std::getline(in, line);)
            count += line.find(" recorder rx 20 65 85") != std::string::npos;
        return count;
    }

    // Ends the decks, which write their last report.
    void stop()
    {
        if (stopped_)
            return;
        stopped_ = true;
        process_.signal(SIGTERM);
        process_.wait(std::chrono::seconds(20));
    }

private:
    const Folder& folder_;
    Child process_;
    bool stopped_ = false;
};

// The program run to assemble, its long waits twenty times shorter, until it ends.
struct Assembled {
    int status = -1;
    std::string console;
    // The run's own lines on the console.
    std::vector<std::string> lines() const
    {
        std::vector<std::string> found;
        std::istringstream in(console);
        for (std::string line; std::getline(in, line);) {
            for (const char* head : {"EVENT ", "RUN ", "ASSEMBLED ", "MOUNT "}) {
                if (line.rfind(head, 0) == 0)
                    found.push_back(line);
            }
        }
        return found;
    }
};

std::vector<std::string> argumentsOf(const std::vector<std::string>& options)
{
    std::vector<std::string> arguments{KESTRIX_TESTABLE_EXE};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return arguments;
}

Assembled assemble(const Folder& folder, const std::vector<std::string>& options,
                   std::chrono::seconds limit = std::chrono::seconds(120))
{
    Child kestrix(argumentsOf(options), folder.path, {"KESTRIX_SPEEDUP=20"});
    Assembled run;
    run.status = kestrix.wait(limit);
    run.console = kestrix.output;
    return run;
}

void save(const Folder& folder, const EventList& list)
{
    ListFile::save((folder.path / "list.edl").string(), list);
}

// Events of reel A (unless said) one after the other on the record tape from 00:00:10:00,
// their sources two seconds apart.
EventList listOf(const std::vector<std::pair<Channels, int>>& events, const std::string& lastReel = "A")
{
    EventList list(fps30);
    int record = 300;
    int source = 600;
    int number = 1;
    for (const auto& [channels, length] : events) {
        const std::string reel = number == static_cast<int>(events.size()) ? lastReel : "A";
        list.append(eventOf(list, number++, reel, channels, source, record, length));
        record += length;
        source += length + 60;
    }
    return list;
}

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}

TEST(AssembleProcessRealTime, ExitsZeroWithALinePerEventAndARunAgainRecordsNothingTwice)
{
    Folder folder;
    Decks decks(folder);
    const EventList list = listOf({{video(), 20}, {everything(), 15}, {bothAudios(), 15}});
    save(folder, list);

    const Assembled first = assemble(folder, {"--assemble", "list.edl"});

    EXPECT_EQ(first.status, 0) << first.console;
    EXPECT_EQ(first.lines(), (std::vector<std::string>{"EVENT 1 RECORDED 00:00:10:00 TO 00:00:10:19",
                                                       "EVENT 2 RECORDED 00:00:10:20 TO 00:00:11:04",
                                                       "EVENT 3 RECORDED 00:00:11:05 TO 00:00:11:19",
                                                       "ASSEMBLED 3 OF 3 EVENTS"}))
        << first.console;
    const int editOns = decks.editOns();
    EXPECT_EQ(editOns, 3);

    const Assembled again = assemble(folder, {"--assemble", "list.edl"});

    EXPECT_EQ(again.status, 0) << again.console;
    EXPECT_EQ(again.lines(), (std::vector<std::string>{"EVENT 1 RECORDED EARLIER", "EVENT 2 RECORDED EARLIER",
                                                       "EVENT 3 RECORDED EARLIER", "ASSEMBLED 3 OF 3 EVENTS"}))
        << again.console;
    decks.stop();
    EXPECT_EQ(decks.editOns(), editOns) << "nothing recorded again";
    const auto differences = tapeOf(list).differences(decks.tape());
    EXPECT_TRUE(differences.empty()) << joined(differences);
}

TEST(AssembleProcess, ExitsThreeSayingAtWhichEventAndWhyOrTwoForACommandLineItCannotUse)
{
    Folder folder;
    Decks decks(folder);

    // A reel change no one can make.
    save(folder, listOf({{video(), 15}, {video(), 15}}, "B"));
    const Assembled reel = assemble(folder, {"--assemble", "list.edl", "--reel", "A"});
    EXPECT_EQ(reel.status, 3) << reel.console;
    EXPECT_EQ(reel.lines(), (std::vector<std::string>{"EVENT 1 RECORDED 00:00:10:00 TO 00:00:10:14",
                                                      "MOUNT REEL B ON THE PLAYER - NO ONE TO ANSWER",
                                                      "RUN STOPPED AT EVENT 2: REEL B NOT MOUNTED",
                                                      "ASSEMBLED 1 OF 2 EVENTS"}))
        << reel.console;

    // A dissolve: nothing is sent to the decks.
    EventList dissolve = listOf({{video(), 15}});
    Event mixed = eventOf(dissolve, 2, "A", video(), 900, 400, 0);
    mixed.lines.push_back(eventOf(dissolve, 2, "B", video(), 1200, 400, 30).lines[0]);
    mixed.lines[1].transition = {Transition::Kind::Dissolve, 0, ' ', 15};
    dissolve.append(mixed);
    save(folder, dissolve);
    const int editOns = decks.editOns();
    const Assembled refused = assemble(folder, {"--assemble", "list.edl", "--from", "1"});
    EXPECT_EQ(refused.status, 3) << refused.console;
    EXPECT_EQ(refused.lines(), (std::vector<std::string>{"RUN NOT STARTED: NEEDS A SWITCHER: EVENT 2",
                                                         "ASSEMBLED 0 OF 2 EVENTS"}))
        << refused.console;
    EXPECT_EQ(decks.editOns(), editOns);

    // No such event, no such list.
    const Assembled noEvent = assemble(folder, {"--assemble", "list.edl", "--from", "7"});
    EXPECT_EQ(noEvent.status, 3);
    EXPECT_EQ(noEvent.lines().front(), "RUN NOT STARTED: NO EVENT 7 IN THE LIST") << noEvent.console;
    const Assembled noList = assemble(folder, {"--assemble", "missing.edl"});
    EXPECT_EQ(noList.status, 3);
    EXPECT_EQ(noList.lines().front().rfind("RUN NOT STARTED: cannot read the list missing.edl", 0), 0u)
        << noList.console;

    // Before anything starts, not even the settings are read.
    for (const std::vector<std::string>& options : std::vector<std::vector<std::string>>{
             {"--assemble"}, {"--assemble", "list.edl", "--from", "x"}, {"--b-mode"}, {"--reel", "A"}}) {
        const Assembled unusable = assemble(folder, options);
        EXPECT_EQ(unusable.status, 2) << unusable.console;
        EXPECT_EQ(unusable.console.rfind("kestrix: ", 0), 0u) << unusable.console;
    }
}

TEST(AssembleProcessRealTime, KilledDuringEventTwentyAndResumedLeavesTheTapeOfARunWithoutTheKill)
{
    Folder folder;
    Decks decks(folder);
    // Short events of every kind, then from event 18 on long enough that the recording the
    // killed program leaves running is recorded over by the events after it.
    std::vector<std::pair<Channels, int>> events;
    for (int number = 1; number <= 30; ++number) {
        const Channels kinds[] = {video(), bothAudios(), everything()};
        events.push_back(number < 18 ? std::pair{kinds[number % 3], 12 + number % 5} : std::pair{everything(), 40});
    }
    const EventList list = listOf(events);
    save(folder, list);
    const int twentiethIn = list[19].recordIn();

    {
        Child killed(argumentsOf({"--assemble", "list.edl"}), folder.path, {"KESTRIX_SPEEDUP=20"});
        // Killed the moment event 20 is seen recording; a run that ended before is a failure.
        const auto recordingTwenty = [&] {
            const auto tape = decks.tape();
            return std::any_of(tape.begin(), tape.end(), [&](const auto& s) { return s.recFirst == twentiethIn; });
        };
        ASSERT_TRUE(waitFor(
            [&] {
                killed.waitFor("ASSEMBLED ", std::chrono::milliseconds(10));
                return recordingTwenty() || killed.output.find("ASSEMBLED ") != std::string::npos;
            },
            std::chrono::minutes(3)));
        ASSERT_TRUE(recordingTwenty()) << killed.output;
        killed.signal(SIGKILL);
        EXPECT_EQ(killed.wait(std::chrono::seconds(10)), -1);
    }
    EXPECT_EQ(decks.editOns(), 20);

    const Assembled resumed = assemble(folder, {"--assemble", "list.edl"}, std::chrono::seconds(180));

    EXPECT_EQ(resumed.status, 0) << resumed.console;
    const auto lines = resumed.lines();
    ASSERT_EQ(lines.size(), 31u) << resumed.console;
    for (int number = 1; number <= 19; ++number)
        EXPECT_EQ(lines[number - 1], "EVENT " + std::to_string(number) + " RECORDED EARLIER");
    for (int number = 20; number <= 30; ++number)
        EXPECT_EQ(lines[number - 1].rfind("EVENT " + std::to_string(number) + " RECORDED 00:", 0), 0u);
    EXPECT_EQ(lines.back(), "ASSEMBLED 30 OF 30 EVENTS");
    decks.stop();
    EXPECT_EQ(decks.editOns(), 31) << "each event recorded once, and the killed one again";
    const auto differences = tapeOf(list).differences(decks.tape());
    EXPECT_TRUE(differences.empty()) << joined(differences);
}
