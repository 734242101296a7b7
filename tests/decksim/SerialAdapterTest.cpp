// The USB serial adapter between a deck and the controller, on explicit times.

#include "tools/decksim/SerialAdapter.h"

#include <gtest/gtest.h>

#include <set>

namespace decksim {
namespace {

constexpr std::int64_t latency = 16'000;

Bytes joined(const std::vector<Bytes>& pieces)
{
    Bytes bytes;
    for (const Bytes& piece : pieces) {
        bytes.insert(bytes.end(), piece.begin(), piece.end());
    }
    return bytes;
}

TEST(SerialAdapter, EachReplyArrivesInUpToTwoPiecesTheLastOneLatencyLate)
{
    SerialAdapter adapter(latency);
    const Bytes reply{0x74, 0x04, 0x10, 0x20, 0x30, 0x01, 0xD9};
    std::set<std::size_t> firstPieceSizes;
    for (std::int64_t sentAt = 1'000'000; sentAt < 1'000'000 + 7 * 100'000; sentAt += 100'000) {
        adapter.carry(reply, sentAt);
        const Bytes atOnce = joined(adapter.takeDue(sentAt));
        EXPECT_LT(atOnce.size(), reply.size());
        EXPECT_TRUE(adapter.takeDue(sentAt + latency - 1).empty());
        EXPECT_EQ(adapter.nextDue(), sentAt + latency);
        const Bytes late = joined(adapter.takeDue(sentAt + latency));
        Bytes whole = atOnce;
        whole.insert(whole.end(), late.begin(), late.end());
        EXPECT_EQ(whole, reply);
        EXPECT_FALSE(adapter.nextDue().has_value());
        firstPieceSizes.insert(atOnce.size());
    }
    // The split moves, so a reader that stops at the first piece fails every time.
    EXPECT_EQ(firstPieceSizes.size(), reply.size());
}

TEST(SerialAdapter, ALaterBurstNeverOvertakesTheHeldTailOfAnEarlierOne)
{
    SerialAdapter adapter(latency);
    adapter.carry({0x20, 0x01, 0x21}, 0);        // held whole
    adapter.carry({0x10, 0x01, 0x11}, 2'000);    // split after its first byte
    EXPECT_TRUE(adapter.takeDue(2'000).empty());
    EXPECT_EQ(joined(adapter.takeDue(latency)), (Bytes{0x20, 0x01, 0x21, 0x10}));
    EXPECT_EQ(joined(adapter.takeDue(2'000 + latency)), (Bytes{0x01, 0x11}));
}

TEST(SerialAdapter, WithoutLatencyEveryBurstPassesWholeAtOnce)
{
    SerialAdapter adapter(0);
    adapter.carry({0x10, 0x01, 0x11}, 5);
    adapter.carry({0x11, 0x12, 0x04, 0x27}, 5);
    EXPECT_EQ(adapter.takeDue(5), (std::vector<Bytes>{{0x10, 0x01, 0x11}, {0x11, 0x12, 0x04, 0x27}}));
}

}  // namespace
}  // namespace decksim
