#include "PointsTestSupport.h"

#include "deck/CueThread.h"
#include "deck/InvalidTimeCode.h"
#include "deck/LongWaits.h"

#include <chrono>

using Bytes = std::vector<std::uint8_t>;
using decksim::Role;
using Clock = std::chrono::steady_clock;

namespace {
const Bytes cueTo10s{0x24, 0x31, 0x00, 0x10, 0x00, 0x00, 0x65};
}

class Cueing : public DeckOnVirtualDeck {
protected:
    void SetUp() override
    {
        DeckOnVirtualDeck::SetUp();
        vcr->GetTC();
        view().typePoint(DeckView::Point::In, "00:00:10:00");
        view().typePoint(DeckView::Point::Out, "00:00:20:00");
        decks->clearTrace();
    }
};

TEST_F(Cueing, CuePlayParksAtTheInPointThenPlays)
{
    vcr->cueplay(0);
    ASSERT_TRUE(waitFor([&] { return receivedAt(cueTo10s).has_value(); }));
    EXPECT_TRUE(waitFor([&] { return view().cueLocked(); }, 1000));

    ASSERT_TRUE(waitFor([&] { return view().message() == "CUED!!"; }, 10000));
    EXPECT_EQ(decks->positionFrames(Role::Player), 300) << "parked exactly at the in point";
    auto still = receivedAt(VCR::bspause);
    ASSERT_TRUE(still.has_value());
    EXPECT_TRUE(view().cueLocked()) << "the points stay locked until play";

    ASSERT_TRUE(waitFor([&] { return receivedAt(VCR::bsplay).has_value(); }, 5000));
    std::int64_t playAfterStill = *receivedAt(VCR::bsplay) - *still;
    EXPECT_GT(playAfterStill, 2'100'000) << "200 ms to CUED!!, then 2 s";
    EXPECT_LT(playAfterStill, 3'000'000);
    EXPECT_FALSE(view().cueLocked());
    EXPECT_TRUE(waitFor([&] { return !vcr->getcueplay(); }, 1000));
    EXPECT_TRUE(waitFor([&] { return decks->positionFrames(Role::Player) > 300; }, 2000)) << "rolling";
}

TEST_F(Cueing, CueWithoutPlaySendsNoPlay)
{
    std::string console = decktest::consoleOf([&] {
        vcr->cuein();
        ASSERT_TRUE(waitFor([&] { return vcr->cueThread() && vcr->cueThread()->finished(); }, 10000));
    });
    EXPECT_NE(console.find("Cue/Review/Play Finished!\n"), std::string::npos);
    EXPECT_EQ(decks->positionFrames(Role::Player), 300);
    EXPECT_FALSE(receivedAt(VCR::bsplay).has_value());
    EXPECT_FALSE(vcr->getcueplay());

    vcr->cueout();
    ASSERT_TRUE(waitFor([&] { return vcr->cueThread()->finished(); }, 10000));
    EXPECT_EQ(decks->positionFrames(Role::Player), 600);
}

TEST_F(Cueing, ACueClearsAStaleCuedUpFlagBeforeItsThreadRuns)
{
    vcr->setcuedup(true);
    vcr->cue(0);
    EXPECT_FALSE(vcr->cuedup()) << "a waiting caller must not take the old flag for this cue";
    ASSERT_TRUE(waitFor([&] { return vcr->cueThread()->finished(); }, 10000));
    EXPECT_TRUE(vcr->cuedup());
}

TEST_F(Cueing, AnInvalidPointStartsNoCue)
{
    view().typePoint(DeckView::Point::In, "00:00:1");
    EXPECT_THROW(vcr->cue(0), InvalidTimeCode);
    EXPECT_EQ(vcr->cueThread(), nullptr);
}

TEST_F(Cueing, ADeckThatNeverReportsCueUpIsTakenAsCuedAfterFiftySeconds)
{
    LongWaits::RealTime realTime;
    decks->setNoCue(Role::Player, true);
    auto start = Clock::now();
    vcr->cueplay(0);
    ASSERT_TRUE(waitFor([&] { return view().message() == "CUED!!"; }, 70000));
    EXPECT_GE(Clock::now() - start, std::chrono::seconds(50));
    EXPECT_TRUE(waitFor([&] { return receivedAt(VCR::bsplay).has_value(); }, 5000));
}

TEST_F(Cueing, ANewerCueSupersedesTheRunningOneAndGoesWhereItWasAskedToGo)
{
    const Bytes cueTo20s{0x24, 0x31, 0x00, 0x20, 0x00, 0x00, 0x75};
    decks->setNoCue(Role::Player, true);
    vcr->cue(1);
    ASSERT_TRUE(waitFor([&] { return receivedAt(cueTo20s).has_value(); }));
    decks->setNoCue(Role::Player, false);

    std::string console = decktest::consoleOf([&] {
        vcr->cueplay(0);
        // A point encoded after the request does not move the cue that was asked for.
        vcr->MakeCueString("00:00:30:00");
        ASSERT_TRUE(waitFor([&] { return vcr->cueThread()->finished(); }, 10000));
    });

    const std::vector<Bytes> sent = commands();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), cueTo20s);
    const std::vector<Bytes> afterFirst(sent.begin() + 1, sent.end());
    EXPECT_EQ(afterFirst, (std::vector<Bytes>{cueTo10s, VCR::bspause, VCR::bsplay}))
        << "the superseded cue neither parks the deck nor takes the play request";
    EXPECT_EQ(console, "Cue/Review/Play Finished!\n");
}

TEST_F(Cueing, AStatusAskedForBeforeTheCueCannotSayTheCueIsDone)
{
    vcr->cue(0);
    ASSERT_TRUE(waitFor([&] { return vcr->cueThread()->finished(); }, 10000));
    const Reply parked = vcr->CommandB0(VCR::bsgetstatus);
    ASSERT_TRUE(parked[4] & 0x01) << "the deck reports cue-up at the in point";

    vcr->cue(1);
    ASSERT_TRUE(waitFor([&] { return commands().size() >= 3; }));
    // That reply decoded only now, after the new cue went out.
    vcr->ExtractStatusString(parked);
    EXPECT_FALSE(vcr->cuedup());
    ASSERT_TRUE(waitFor([&] { return vcr->cueThread()->finished(); }, 10000));
    EXPECT_EQ(decks->positionFrames(Role::Player), 600) << "parked at the out point, not on the way";
}

TEST_F(Cueing, ACueIsInProgressUntilItsStillCommandHasGone)
{
    vcr->cue(0);
    ASSERT_TRUE(waitFor([&] { return vcr->cuedup(); }, 10000));
    // The deck said it is cued; the park is still to come.
    EXPECT_TRUE(vcr->cueInProgress());
    ASSERT_TRUE(waitFor([&] { return !vcr->cueInProgress(); }, 5000));
    EXPECT_TRUE(receivedAt(VCR::bspause).has_value());
}
