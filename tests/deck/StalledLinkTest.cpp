#include "deck/VCRPort.h"
#include "tests/deck/DeckTestSupport.h"
#include "tests/serial/StalledLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <barrier>
#include <chrono>
#include <future>

using decktest::consoleOf;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

const Packet statusRequest{0x61, 0x20, 0x09, 0x8A};
const std::string writeFailedLine = "Unable to write to Serial Port\n";
// Scheduling slack on a loaded machine; what is checked is that a stalled line costs the
// write limit, not the tens of seconds (or for ever) a blocking write would.
constexpr milliseconds slack{1000};

struct TimedExchange {
    Reply reply;
    Clock::duration took{};
};

int wholeMs(Clock::duration span)
{
    return static_cast<int>(std::chrono::duration_cast<milliseconds>(span).count());
}

TimedExchange exchange(VCRPort& link)
{
    const auto start = Clock::now();
    TimedExchange timed;
    timed.reply = link.SendSerial(statusRequest);
    timed.took = Clock::now() - start;
    return timed;
}

}

TEST(StalledLink, AnExchangeGivesUpWithinTheWriteLimitSaysSoAndReleasesTheLink)
{
    StalledLine line;
    VCRPort link(line.slavePath(), false);
    ASSERT_FALSE(link.bad);
    ASSERT_TRUE(link.hasOutStream());
    line.fill();
    const milliseconds limit{VCRPort::writeLimitMs()};

    // One exchange on the stalled line.
    TimedExchange alone;
    EXPECT_EQ(consoleOf([&] { alone = exchange(link); }), writeFailedLine);
    EXPECT_EQ(alone.reply.outcome, Reply::Outcome::WriteFailed);
    EXPECT_EQ(alone.reply.count, 0);
    EXPECT_EQ(alone.reply.bytes, Reply{}.bytes);
    EXPECT_LT(alone.took, limit + slack);
    RecordProperty("stalledExchangeMs", wholeMs(alone.took));

    // Two threads at once, as the polling thread and the operator's: the one that waits for the
    // link waits for one stalled write at most, then its own gives up.
    TimedExchange first, second;
    const std::string console = consoleOf([&] {
        std::barrier start(2);
        auto startTogether = [&] {
            start.arrive_and_wait();
            return exchange(link);
        };
        auto other = std::async(std::launch::async, startTogether);
        first = startTogether();
        second = other.get();
    });
    EXPECT_EQ(console, writeFailedLine + writeFailedLine);
    for (const TimedExchange* each : {&first, &second}) {
        EXPECT_EQ(each->reply.outcome, Reply::Outcome::WriteFailed);
        EXPECT_LT(each->took, 2 * limit + slack);
    }
    RecordProperty("slowerOfTwoExchangesMs", wholeMs(std::max(first.took, second.took)));

    // Once the far end reads again, the next request goes out whole: nothing kept the link.
    line.drain();
    const Reply after = link.SendSerial(statusRequest);
    EXPECT_EQ(after.outcome, Reply::Outcome::Silent);
    EXPECT_TRUE(line.receives(statusRequest, std::chrono::seconds(5)));
}
