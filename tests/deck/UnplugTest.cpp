// A deck's port that vanishes (a USB adapter pulled out) and comes back at the same path.

#include "deck/VCR.h"
#include "tests/deck/DeckTestSupport.h"
#include "tests/deck/FakeDeckView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <regex>
#include <sstream>

using decksim::Role;
using decktest::consoleOf;
using decktest::waitFor;

namespace {

using Clock = std::chrono::steady_clock;

// The console lines that speak of a deck's link.
std::vector<std::string> linkLines(const std::string& console)
{
    std::vector<std::string> found;
    std::istringstream lines(console);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("VCR: ") != std::string::npos || line == "Unable to write to Serial Port")
            found.push_back(line);
    }
    return found;
}

// The line says the deck went offline, back, or how many writes failed meanwhile; the failed
// writes are returned through count.
void expectOfflineAndBack(const std::vector<std::string>& lines, const std::string& deck, int& count)
{
    const std::regex offline(deck + R"(: DECK OFFLINE \((write|read) failed\))");
    const std::regex failed(deck + R"(: (\d+) writes failed while the deck was offline)");
    std::vector<std::string> rest = lines;
    // A write that failed says so once; a read that failed first says nothing of writes.
    if (!rest.empty() && rest.front() == "Unable to write to Serial Port")
        rest.erase(rest.begin());
    ASSERT_EQ(rest.size(), 3u) << testing::PrintToString(lines);
    EXPECT_TRUE(std::regex_match(rest[0], offline)) << rest[0];
    std::smatch number;
    ASSERT_TRUE(std::regex_match(rest[1], number, failed)) << rest[1];
    count = std::stoi(number[1]);
    EXPECT_EQ(rest[2], deck + ": DECK ONLINE");
}

std::size_t received(const decksim::VirtualDecks& decks, Role role, const Packet& packet)
{
    const auto blocks = decktest::blocks(decks, role);
    return static_cast<std::size_t>(std::count(blocks.begin(), blocks.end(), packet));
}

class Unplugging : public testing::Test {
protected:
    void SetUp() override
    {
        player = std::make_unique<VCR>(decks.path(Role::Player), false, false);
        playerView = &FakeDeckView::attachTo(*player);
        recorder = std::make_unique<VCR>(decks.path(Role::Recorder), false, true);
        recorderView = &FakeDeckView::attachTo(*recorder);
        player->GetTC();
        recorder->GetTC();
        ASSERT_TRUE(waitFor([&] { return received(decks, Role::Player, VCR::bsgetstatus) > 0; }));
    }

    decksim::VirtualDecks decks;
    std::unique_ptr<VCR> player;
    std::unique_ptr<VCR> recorder;
    FakeDeckView* playerView = nullptr;
    FakeDeckView* recorderView = nullptr;
};

}

TEST_F(Unplugging, WhilePollingTheDeckIsSaidOfflineOnceAndComesBackWithItsSetUp)
{
    Clock::duration backAfter{};
    int failedWrites = -1;
    const std::string console = consoleOf([&] {
        decks.unplug(Role::Player);
        EXPECT_TRUE(waitFor([&] { return !player->online(); }));
        EXPECT_TRUE(waitFor([&] { return playerView->status() == "DECK OFFLINE"; }));
        // The operator presses on: nothing reaches the deck, and nothing more is said.
        for (int press = 0; press < 5; ++press)
            EXPECT_EQ(player->CommandB0(VCR::bsplay).outcome, Reply::Outcome::WriteFailed);
        // The other deck is polled on; a few tries to reopen pass quietly meanwhile.
        decks.clearTrace();
        EXPECT_TRUE(waitFor([&] { return received(decks, Role::Recorder, VCR::bsgettc) >= 60; }, 20000));
        EXPECT_EQ(playerView->status(), "DECK OFFLINE");
        EXPECT_TRUE(recorder->online());

        decks.clearTrace();
        const auto plugged = Clock::now();
        decks.plugBack(Role::Player);
        // Said once; the polled status may follow it at once.
        EXPECT_TRUE(waitFor([&] { return playerView->message() == "DECK ONLINE"; }));
        backAfter = Clock::now() - plugged;
        EXPECT_TRUE(player->online());
        // Set up again as at start-up, then polled: time code, status.
        const auto blocks = decktest::waitForReceived(decks, Role::Player, 3);
        ASSERT_GE(blocks.size(), 3u);
        EXPECT_EQ(blocks[0], VCR::bssettimemode);
        EXPECT_EQ(blocks[1], VCR::bsgettc);
        EXPECT_EQ(blocks[2], VCR::bsgetstatus);
        // The view follows the deck again.
        player->play();
        const std::string shown = player->timecode();
        EXPECT_TRUE(waitFor([&] { return player->timecode() != shown; }));
        EXPECT_TRUE(waitFor([&] { return playerView->polledStatus().find("Play") != std::string::npos; }));
    });
    RecordProperty("plugBackToOnlineMs",
                   static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(backAfter).count()));
    expectOfflineAndBack(linkLines(console), "Play VCR", failedWrites);
    EXPECT_GE(failedWrites, 5);
    EXPECT_LE(failedWrites, 6);  // the poll's own write, when it was the one that failed
}

TEST_F(Unplugging, DuringACueTheDeckGoesOfflineAndCuesExactlyOnceBack)
{
    int failedWrites = -1;
    const std::string console = consoleOf([&] {
        playerView->typePoint(DeckView::Point::In, "00:01:00:00");
        player->cue(0);
        EXPECT_TRUE(waitFor([&] { return decks.positionFrames(Role::Player) > 0; }));
        decks.unplug(Role::Player);
        EXPECT_TRUE(waitFor([&] { return playerView->status() == "DECK OFFLINE"; }));
        // The cue thread asks for status all along; none of it is said.
        EXPECT_TRUE(waitFor([&] { return !player->cueInProgress(); }, 20000));
        EXPECT_EQ(recorder->CommandB0(VCR::bsgettc).outcome, Reply::Outcome::Answered);

        decks.plugBack(Role::Player);
        EXPECT_TRUE(waitFor([&] { return player->online(); }));
        player->cue(0);
        EXPECT_TRUE(waitFor([&] { return player->cuedup() && !player->cueInProgress(); }, 20000));
        EXPECT_EQ(decks.positionFrames(Role::Player), 1800);
    });
    const auto lines = linkLines(console);
    expectOfflineAndBack(lines, "Play VCR", failedWrites);
    EXPECT_GT(failedWrites, 0);
}

TEST_F(Unplugging, BothDecksOutAndBackAreEachSaidOnce)
{
    int playerWrites = -1;
    int recorderWrites = -1;
    const std::string console = consoleOf([&] {
        decks.unplug(Role::Recorder);
        decks.unplug(Role::Player);
        EXPECT_TRUE(waitFor([&] { return playerView->status() == "DECK OFFLINE" && recorderView->status() == "DECK OFFLINE"; }));
        decks.plugBack(Role::Player);
        decks.plugBack(Role::Recorder);
        EXPECT_TRUE(waitFor([&] { return playerView->message() == "DECK ONLINE" && recorderView->message() == "DECK ONLINE"; }));
    });
    std::vector<std::string> playerLines;
    std::vector<std::string> recorderLines;
    for (const std::string& line : linkLines(console)) {
        if (line.rfind("Record VCR", 0) == 0)
            recorderLines.push_back(line);
        else if (line.rfind("Play VCR", 0) == 0)
            playerLines.push_back(line);
    }
    expectOfflineAndBack(playerLines, "Play VCR", playerWrites);
    expectOfflineAndBack(recorderLines, "Record VCR", recorderWrites);
}
