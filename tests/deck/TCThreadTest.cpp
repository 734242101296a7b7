#include "deck/TCThread.h"
#include "deck/VCR.h"
#include "deck/VCRPort.h"
#include "tests/deck/DeckTestSupport.h"
#include "tests/deck/FakeDeckView.h"

#include <gtest/gtest.h>

#include <algorithm>

using decksim::Role;

namespace {

struct Request {
    std::int64_t micros;
    bool timecode;
};

// The requests one deck received while its controller polled it. The link's own status
// request, which brings it back in step after an exchange that failed (a loaded machine may
// make one late), is no poll.
std::vector<Request> requests(const decksim::VirtualDecks& decks, Role role)
{
    std::vector<Request> found;
    for (const decksim::TraceEntry& entry : decks.trace()) {
        if (entry.deck != role || !entry.received || entry.bytes == VCRPort::stepProof)
            continue;
        EXPECT_TRUE(entry.bytes == VCR::bsgettc || entry.bytes == VCR::bsgetstatus)
            << decksim::Trace::line(entry);
        found.push_back({entry.micros, entry.bytes == VCR::bsgettc});
    }
    return found;
}

std::vector<Request> pollUntil(decksim::VirtualDecks& decks, VCR& vcr, Role role, std::size_t count)
{
    decks.clearTrace();
    vcr.GetTC();
    EXPECT_TRUE(decktest::waitFor([&] { return requests(decks, role).size() >= count; }, 20000));
    return requests(decks, role);
}

// The request kinds, "T" for time code and "S" for status, as one text.
std::string pattern(const std::vector<Request>& found, std::size_t count)
{
    std::string kinds;
    for (std::size_t i = 0; i < count && i < found.size(); ++i)
        kinds += found[i].timecode ? 'T' : 'S';
    return kinds;
}

// The median time between consecutive time code requests of cycles that read time code only.
double medianCycleMs(const std::vector<Request>& found)
{
    std::vector<double> gaps;
    for (std::size_t i = 2; i < found.size(); ++i) {
        if (found[i].timecode && found[i - 1].timecode && found[i - 2].timecode)
            gaps.push_back((found[i].micros - found[i - 1].micros) / 1000.0);
    }
    if (gaps.empty())
        return 0;
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    return gaps[gaps.size() / 2];
}

class Polling : public testing::Test {
protected:
    decksim::VirtualDecks decks;
};

}

TEST_F(Polling, StatusOnTheFirstCycleAndEveryTenthAfterTimeCode)
{
    VCR vcr(decks.path(Role::Player), false, false);
    FakeDeckView& view = FakeDeckView::attachTo(vcr);
    std::vector<Request> found = pollUntil(decks, vcr, Role::Player, 24);

    const std::string tenCycles = "TS" + std::string(9, 'T');
    EXPECT_EQ(pattern(found, 24), tenCycles + tenCycles + "TS");
    EXPECT_TRUE(decktest::waitFor([&] { return view.tc() == vcr.timecode(); }));
    EXPECT_TRUE(decktest::waitFor([&] { return !vcr.statusText().empty(); }));
}

TEST_F(Polling, CycleSleepIs30MsOnRs422And60MsOnLanc)
{
    // A cycle is the sleep plus an exchange that ends with the reply; the sleep cannot be
    // shorter, and a loaded machine may make it longer.
    struct Case {
        bool lanc;
        double sleepMs;
    };
    for (const Case& c : {Case{false, 30}, Case{true, 60}}) {
        SCOPED_TRACE(c.lanc ? "LANC" : "RS-422");
        VCR vcr(decks.path(Role::Recorder), c.lanc, true);
        ASSERT_EQ(vcr.pollingThread(), nullptr);
        std::vector<Request> found = pollUntil(decks, vcr, Role::Recorder, 30);
        EXPECT_EQ(vcr.pollingThread()->getsleeptime(), static_cast<int>(c.sleepMs));
        double cycle = medianCycleMs(found);
        EXPECT_GE(cycle, c.sleepMs - 2);
        EXPECT_LE(cycle, c.sleepMs + 15 + 60);
    }
}

TEST_F(Polling, ReviewModeReadsStatusFirstAndTimeCodeOnTheTenthCycle)
{
    VCR vcr(decks.path(Role::Player), false, false);
    decks.clearTrace();
    vcr.GetTC();
    vcr.TellTCReview(true);
    decks.clearTrace();
    ASSERT_TRUE(decktest::waitFor([&] { return requests(decks, Role::Player).size() >= 30; }, 20000));
    std::string kinds = pattern(requests(decks, Role::Player), 30);
    // Whatever cycle it started on, time code comes once in ten cycles, after status.
    const std::string reviewCycles = "ST" + std::string(9, 'S') + "ST";
    std::size_t from = kinds.find("ST");
    ASSERT_NE(from, std::string::npos) << kinds;
    EXPECT_EQ(kinds.substr(from, reviewCycles.size()), reviewCycles);

    vcr.TellTCReview(false);
    decks.clearTrace();
    ASSERT_TRUE(decktest::waitFor([&] { return requests(decks, Role::Player).size() >= 30; }, 20000));
    kinds = pattern(requests(decks, Role::Player), 30);
    const std::string normalCycles = "TS" + std::string(9, 'T') + "TS";
    from = kinds.find("TS");
    ASSERT_NE(from, std::string::npos) << kinds;
    EXPECT_EQ(kinds.substr(from, normalCycles.size()), normalCycles);
}

TEST_F(Polling, InterruptedSleepsSendNothingAndKeepTheCycleCount)
{
    VCR vcr(decks.path(Role::Player), false, false);
    decks.clearTrace();
    vcr.GetTC();
    ASSERT_TRUE(decktest::waitFor([&] { return requests(decks, Role::Player).size() >= 2; }));
    decks.clearTrace();
    for (int i = 0; i < 40; ++i) {
        vcr.pollingThread()->interrupt();
        decktest::waitFor([] { return false; }, 7);
    }
    ASSERT_TRUE(decktest::waitFor([&] { return requests(decks, Role::Player).size() >= 22; }, 20000));
    std::string kinds = pattern(requests(decks, Role::Player), 100);

    // Skipped cycles must not count: between two status reads there are exactly ten time
    // code reads.
    std::size_t first = kinds.find('S');
    ASSERT_NE(first, std::string::npos);
    std::size_t second = kinds.find('S', first + 1);
    ASSERT_NE(second, std::string::npos);
    EXPECT_EQ(kinds.substr(first + 1, second - first - 1), "TTTTTTTTTT");
}

TEST_F(Polling, AskingTwiceStartsOneThread)
{
    VCR vcr(decks.path(Role::Player), false, false);
    vcr.GetTC();
    TCThread* started = vcr.pollingThread();
    vcr.GetTC();
    EXPECT_EQ(vcr.pollingThread(), started);
}

TEST_F(Polling, APlayingDeckIsReadOnceAFrameAndEachReadingIsANewFrame)
{
    // Polled every 30 ms, a deck at 30 frames a second would be read twice in the same frame
    // now and then, and the time code shown would wait a whole cycle for its next frame. Once
    // the deck's frames are known, it is read once a frame, just after each began.
    VCR vcr(decks.path(Role::Player), false, false);
    vcr.play();
    ASSERT_TRUE(decktest::waitFor([&] { return decks.statusBytes(Role::Player)[1] & 0x01; }));
    decks.clearTrace();
    vcr.GetTC();
    const auto timeCodeReplies = [&] {
        std::vector<std::pair<std::int64_t, int>> replies;
        for (const decksim::TraceEntry& entry : decks.trace()) {
            if (entry.deck == Role::Player && !entry.received && entry.bytes.size() == 7 && entry.bytes[0] == 0x74) {
                auto bcd = [](std::uint8_t b) { return (b >> 4 & 0x03) * 10 + (b & 0x0F); };
                const auto& b = entry.bytes;
                replies.push_back({entry.micros, ((bcd(b[5]) * 60 + bcd(b[4])) * 60 + bcd(b[3])) * 30 + bcd(b[2])});
            }
        }
        return replies;
    };
    ASSERT_TRUE(decktest::waitFor([&] { return timeCodeReplies().size() >= 60; }, 20000));
    const auto replies = timeCodeReplies();
    std::vector<double> gaps;
    // The first cycles learn where the deck's frames begin.
    for (std::size_t i = 21; i < replies.size(); ++i) {
        EXPECT_NE(replies[i].second, replies[i - 1].second) << "read twice in frame " << replies[i].second;
        gaps.push_back((replies[i].first - replies[i - 1].first) / 1000.0);
    }
    std::nth_element(gaps.begin(), gaps.begin() + gaps.size() / 2, gaps.end());
    EXPECT_NEAR(gaps[gaps.size() / 2], 1000.0 / 30, 1.5);
}
