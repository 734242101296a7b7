// A deck reached through a USB adapter that delays and splits replies, on a line that
// refuses and garbles now and then, that samples its tape up to 9 ms after a request and
// answers every 13th request past the controller's deadline: the time code shown, and the
// point Set In takes, are always a time code the deck sent at about that moment.

#include "deck/VCR.h"
#include "tests/deck/DeckTestSupport.h"
#include "tests/deck/FakeDeckView.h"
#include "tools/decksim/VirtualDecks.h"

#include <gtest/gtest.h>

#include <thread>

using decksim::Role;

namespace {

int framesOf(const std::string& tc)
{
    return ((std::stoi(tc.substr(0, 2)) * 60 + std::stoi(tc.substr(3, 2))) * 60 + std::stoi(tc.substr(6, 2))) * 30
        + std::stoi(tc.substr(9, 2));
}

decksim::Options faultyLine()
{
    decksim::Options options;
    options.adapterLatencyMs = 16;
    options.nakEvery = 7;
    options.garbleEvery = 11;
    options.sampleDelayMs = 9;
    options.lateEvery = 13;
    options.lateMs = 60;
    options.playerStartFrame = 30 * 60 * 60;  // 01:00:00:00, so every field of the time code changes
    return options;
}

class DeckOnAFaultyLine : public testing::Test {
protected:
    void SetUp() override
    {
        vcr = std::make_unique<VCR>(decks.path(Role::Player), false, false);
        view = &FakeDeckView::attachTo(*vcr);
        // The line may refuse the play command itself.
        for (int tries = 0; tries < 5; ++tries) {
            vcr->play();
            if (vcr->lastReply().answered())
                break;
        }
        ASSERT_TRUE(decktest::waitFor([&] { return decks.statusBytes(Role::Player)[1] & 0x01; }));
    }

    decksim::VirtualDecks decks{faultyLine()};
    std::unique_ptr<VCR> vcr;
    FakeDeckView* view = nullptr;
};

}

TEST_F(DeckOnAFaultyLine, AThousandPollsShowOnlyTimeCodesTheDeckSent)
{
    int shownBefore = framesOf(vcr->timecode());
    int refused = 0;
    for (int poll = 0; poll < 1000; ++poll) {
        const int before = decks.positionFrames(Role::Player);
        vcr->CommandB8();
        const int after = decks.positionFrames(Role::Player);
        const int shown = framesOf(vcr->timecode());
        ASSERT_LE(shown, after) << "poll " << poll << ": " << vcr->timecode();
        ASSERT_GE(shown, shownBefore) << "poll " << poll << ": " << vcr->timecode();
        if (vcr->lastReply().answered())
            ASSERT_GE(shown, before) << "poll " << poll << ": " << vcr->timecode();
        else
            ++refused;
        shownBefore = shown;
    }
    EXPECT_GT(refused, 100) << "the line did refuse and garble";
}

TEST_F(DeckOnAFaultyLine, SetInDuringPlayTakesThePositionOfThePress)
{
    vcr->GetTC();
    view->typePoint(DeckView::Point::Out, "01:30:00:00");
    ASSERT_TRUE(decktest::waitFor([&] { return vcr->statusText().find("Play") != std::string::npos; }));
    for (int press = 0; press < 50; ++press) {
        const int at = decks.positionFrames(Role::Player);
        vcr->setcue();
        const std::string point = view->pointText(DeckView::Point::In);
        EXPECT_LE(std::abs(framesOf(point) - at), 1) << "press " << press << ": " << point;
        std::this_thread::sleep_for(std::chrono::milliseconds(37));
    }
}
