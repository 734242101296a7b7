#include "deck/ConsoleWriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// A console on a pipe: the test is its reader.
class Pipe {
public:
    Pipe()
    {
        if (::pipe(fds_) != 0)
            throw std::runtime_error("pipe failed");
    }
    ~Pipe()
    {
        closeReader();
        closeWriter();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    int readEnd() const { return fds_[0]; }
    int writeEnd() const { return fds_[1]; }
    void closeReader() { closeEnd(fds_[0]); }
    void closeWriter() { closeEnd(fds_[1]); }

    // Reads until every write end is closed.
    std::string readAll() const
    {
        std::string text;
        char buffer[4096];
        for (ssize_t n; (n = ::read(fds_[0], buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<std::size_t>(n));
        return text;
    }

private:
    static void closeEnd(int& fd)
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    int fds_[2] = {-1, -1};
};

bool waitUntilPipeHolds(const Pipe& pipe, int bytes)
{
    const auto deadline = std::chrono::steady_clock::now() + seconds(10);
    for (int held = 0; ::ioctl(pipe.readEnd(), FIONREAD, &held) == 0 && held < bytes;) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(milliseconds(10));
    }
    return true;
}

constexpr int sayers = 3;
constexpr int linesEach = 2000;
// Long enough that the pipe's 64 KiB hold a couple of hundred lines, and that a line could be
// split by a short write.
const std::string padding(300, '.');

std::string lineOf(int sayer, int number)
{
    return "sayer " + std::to_string(sayer) + " line " + std::to_string(number) + " " + padding + "\n";
}

// Each sayer's numbers in the order they came out, -1 standing for a count of lost lines.
struct Heard {
    std::map<int, std::vector<int>> numbers;
    std::uint64_t reportedLost = 0;
    std::vector<std::string> strangers;
};

Heard hear(const std::string& console)
{
    Heard heard;
    for (int sayer = 0; sayer < sayers; ++sayer)
        heard.numbers[sayer];
    std::istringstream lines(console);
    for (std::string line; std::getline(lines, line);) {
        int sayer = -1, number = -1;
        unsigned long long lost = 0;
        char rest[8] = {};
        if (std::sscanf(line.c_str(), "sayer %d line %d", &sayer, &number) == 2 && line + "\n" == lineOf(sayer, number)) {
            heard.numbers[sayer].push_back(number);
        } else if (std::sscanf(line.c_str(), "Console lines dropped: %llu %7s", &lost, rest) == 2
                   && line + "\n" == ConsoleWriter::droppedLine(lost)) {
            heard.reportedLost += lost;
            for (auto& [who, numbers] : heard.numbers)
                numbers.push_back(-1);
        } else {
            heard.strangers.push_back(line);
        }
    }
    return heard;
}

}

// A console reader that stops reading (a terminal paused, a pipe into a stalled program) must
// not hold the threads that say lines: their lines wait in the queue, the rest are counted,
// and once the reader goes on every line that comes out is whole, in order, and the count
// stands where the lost lines were.
TEST(ConsoleWriter, AStalledReaderHoldsNoSayerAndLostLinesAreCountedWhereTheyWere)
{
    Pipe console;
    // The queue holds more than the pipe does, and both less than is said.
    auto writer = std::make_unique<ConsoleWriter>(console.writeEnd(), 1000);

    auto saying = std::async(std::launch::async, [&] {
        std::vector<std::thread> threads;
        for (int sayer = 0; sayer < sayers; ++sayer) {
            threads.emplace_back([&, sayer] {
                for (int number = 0; number < linesEach; ++number)
                    writer->write(lineOf(sayer, number));
            });
        }
        for (std::thread& thread : threads)
            thread.join();
    });
    // A sayer held by the reader is freed by the reading below.
    EXPECT_EQ(saying.wait_for(seconds(30)), std::future_status::ready) << "a sayer waited for the console's reader";
    EXPECT_FALSE(writer->flush(milliseconds(100))) << "the stalled reader cannot have taken everything";

    auto reading = std::async(std::launch::async, [&] { return console.readAll(); });
    EXPECT_TRUE(writer->flush(seconds(30))) << "the queue is written once the reader reads";
    writer.reset();
    console.closeWriter();
    ASSERT_EQ(reading.wait_for(seconds(30)), std::future_status::ready);
    const Heard heard = hear(reading.get());

    EXPECT_TRUE(heard.strangers.empty()) << "a broken or mixed line: " << heard.strangers.front();
    std::uint64_t heardLines = 0;
    for (const auto& [sayer, numbers] : heard.numbers) {
        int last = -1;
        bool lossReported = false;
        for (int number : numbers) {
            if (number < 0) {
                lossReported = true;
                continue;
            }
            EXPECT_GT(number, last) << "sayer " << sayer << ": out of order";
            EXPECT_TRUE(number == last + 1 || lossReported)
                << "sayer " << sayer << ": lines " << last + 1 << " to " << number - 1 << " lost without a word";
            last = number;
            lossReported = false;
            ++heardLines;
        }
    }
    EXPECT_GT(heard.reportedLost, 0u) << "the pipe and the queue cannot hold every line";
    EXPECT_EQ(heardLines + heard.reportedLost, static_cast<std::uint64_t>(sayers * linesEach));
}

// A reader gone (the console closed) turns each write into an error: the lines are lost and the
// process lives on, whatever it does with SIGPIPE (this test process leaves it deadly).
TEST(ConsoleWriter, AReaderGoneLosesTheLinesAndNothingElse)
{
    Pipe console;
    ConsoleWriter writer(console.writeEnd(), 100);
    console.closeReader();
    for (int number = 0; number < 10; ++number)
        writer.write(lineOf(0, number));
    EXPECT_TRUE(writer.flush(seconds(30)));
}

// The count of lost lines comes out before any line said after them, whether the writer's thread
// or the next line finds the queue empty first.
TEST(ConsoleWriter, TheCountOfLostLinesComesBeforeAnyLaterLine)
{
    Pipe console;
    auto writer = std::make_unique<ConsoleWriter>(console.writeEnd(), 2);
    const std::string big(70000, 'x');
    // The first line fills the pipe and holds the writer's thread; two more fill the queue.
    writer->write(big + "\n");
    ASSERT_TRUE(waitUntilPipeHolds(console, 65536)) << "the writer's thread never took the first line";
    writer->write("first\n");
    writer->write("second\n");
    for (int lost = 0; lost < 5; ++lost)
        writer->write("lost\n");
    auto reading = std::async(std::launch::async, [&] { return console.readAll(); });
    ASSERT_TRUE(writer->flush(seconds(30)));
    writer->write("after\n");
    writer.reset();
    console.closeWriter();
    ASSERT_EQ(reading.wait_for(seconds(30)), std::future_status::ready);
    const std::string text = reading.get();

    ASSERT_EQ(text.substr(0, big.size() + 1), big + "\n");
    EXPECT_EQ(text.substr(big.size() + 1), "first\nsecond\n" + ConsoleWriter::droppedLine(5) + "after\n");
}
