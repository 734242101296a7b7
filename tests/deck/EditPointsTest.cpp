#include "PointsTestSupport.h"

#include "deck/InvalidTimeCode.h"

using Bytes = std::vector<std::uint8_t>;
using decksim::Role;

class EditPoints : public DeckOnVirtualDeck {};

const TimeBase fps25{TimeBase::Kind::Fps25};
const TimeBase dropFrame{TimeBase::Kind::Fps2997DF};

TEST_F(EditPoints, FrameCountsOfTimeCodes)
{
    EXPECT_EQ(vcr->calcframes("01:00:00:00"), 108000);
    EXPECT_EQ(vcr->calcframes("00:00:01:00"), 30);
    EXPECT_EQ(vcr->calcframes("00:00:00:29"), 29);
    EXPECT_EQ(vcr->calcframes("12.34.56.07"), 12 * 108000 + 34 * 1800 + 56 * 30 + 7) << "separators are not read";

    vcr->setTimeBase(fps25);
    EXPECT_EQ(vcr->calcframes("00:00:01:00"), 25);
    EXPECT_EQ(vcr->calcframes("01:00:00:00"), 90000);
}

TEST_F(EditPoints, TextsThatAreNotTimeCodesOfTheDecksBaseAreRefused)
{
    for (const char* text : {"", "00:00:10", "00:00:1O:00", "0a:00:00:00", "00:00:10:000", "-0:00:10:00",
                             "00:00:10:45", "00:00:00:30", "00:99:00:00", "24:00:00:00"})
        EXPECT_THROW(vcr->calcframes(text), InvalidTimeCode) << '"' << text << '"';
    EXPECT_EQ(vcr->calcframes("00:01:00:00"), 1800);

    vcr->setTimeBase(fps25);
    for (const char* text : {"00:00:00:25", "00:00:00:29"})
        EXPECT_THROW(vcr->calcframes(text), InvalidTimeCode) << '"' << text << '"';

    vcr->setTimeBase(dropFrame);
    EXPECT_THROW(vcr->calcframes("00:01:00:00"), InvalidTimeCode) << "a dropped label";
    EXPECT_THROW(vcr->MakeCueString("00:01:00:01"), InvalidTimeCode) << "a dropped label is never sent";
}

TEST_F(EditPoints, TheDecksDropFrameFlagSwitchesItsBaseWhenRepliesAgreeOnIt)
{
    const auto replies = [this](bool flag, int count) {
        for (int reply = 0; reply < count; ++reply)
            vcr->noteDropFrameFlag(flag);
    };
    replies(true, 3);
    EXPECT_EQ(vcr->timeBase(), dropFrame);
    EXPECT_EQ(vcr->calcframes("00:01:00:02"), 1800);
    EXPECT_THROW(vcr->calcframes("00:01:00:00"), InvalidTimeCode);
    // A reply that lost the flag, between ones that carry it: the tape keeps its numbers.
    for (int dropout = 0; dropout < 5; ++dropout) {
        replies(false, 2);
        replies(true, 1);
        EXPECT_EQ(vcr->timeBase(), dropFrame);
    }
    replies(false, 3);
    EXPECT_EQ(vcr->timeBase(), TimeBase());
    EXPECT_EQ(vcr->calcframes("00:01:00:00"), 1800);

    vcr->setTimeBase(fps25);
    replies(true, 3);
    EXPECT_EQ(vcr->timeBase(), fps25) << "25 fps time code has no drop-frame counting";
}

TEST_F(EditPoints, DurationOfThePoints)
{
    struct Case {
        TimeBase base;
        const char* in;
        const char* out;
        int duration;
        int seconds;
        int frames;
    };
    for (const Case& c : {Case{TimeBase(), "00:00:10:00", "00:00:12:15", 75, 2, 15},
                          Case{TimeBase(), "00:00:10:00", "00:00:09:20", -10, 0, -10},
                          Case{fps25, "00:00:10:00", "00:00:12:15", 65, 2, 15},
                          Case{fps25, "00:00:10:00", "00:00:09:20", -5, 0, -5},
                          Case{dropFrame, "00:00:59:28", "00:01:00:02", 2, 0, 2},
                          Case{dropFrame, "00:00:30:00", "00:01:30:00", 1798, 59, 28}}) {
        vcr->setTimeBase(c.base);
        view().typePoint(DeckView::Point::In, c.in);
        view().typePoint(DeckView::Point::Out, c.out);
        vcr->CalcDuration();
        const std::string name = c.base.settingText() + " " + c.in + " to " + c.out;
        EXPECT_EQ(vcr->duration(), c.duration) << name;
        EXPECT_EQ(vcr->durationsec(), c.seconds) << name;
        EXPECT_EQ(vcr->durationfr(), c.frames) << name;
    }
}

TEST_F(EditPoints, CueInAndOutPacketsCarryTheSameTimeCode)
{
    vcr->MakeCueString("01:02:03:04");
    EXPECT_EQ(vcr->cuePacket(), (Bytes{0x24, 0x31, 0x04, 0x03, 0x02, 0x01, 0x5F}));
    EXPECT_EQ(vcr->inPointPacket(), (Bytes{0x44, 0x14, 0x04, 0x03, 0x02, 0x01, 0x62}));
    EXPECT_EQ(vcr->outPointPacket(), (Bytes{0x44, 0x15, 0x04, 0x03, 0x02, 0x01, 0x63}));
    EXPECT_EQ(vcr->cueString(), "01:02:03:04");

    vcr->MakeCueString("23:59:59:29");
    EXPECT_EQ(vcr->cuePacket(), (Bytes{0x24, 0x31, 0x29, 0x59, 0x59, 0x23, 0x53}));
}

TEST_F(EditPoints, ALancDeckCuesToEvenFrames)
{
    VCR lanc(decks->path(Role::Recorder), true, false);
    lanc.MakeCueString("01:02:03:05");
    EXPECT_EQ(lanc.cuePacket()[2], 0x04);
    lanc.MakeCueString("01:02:03:19");
    EXPECT_EQ(lanc.cuePacket()[2], 0x18);
}

TEST_F(EditPoints, OutPointMadeFromADuration)
{
    view().typePoint(DeckView::Point::In, "00:00:10:00");
    view().typePoint(DeckView::Point::Out, "00:00:00:00");
    vcr->makeout(0);
    EXPECT_EQ(view().pointText(DeckView::Point::Out), "00:00:00:00") << "a length of 0 changes nothing";
    vcr->makeout(75);
    EXPECT_EQ(view().pointText(DeckView::Point::Out), "00:00:12:15");
    EXPECT_EQ(view().message(), "EDIT POINTS OK");
}

TEST_F(EditPoints, OutPointMadeOnTheDecksBase)
{
    struct Case {
        TimeBase base;
        const char* in;
        int frames;
        const char* out;
    };
    for (const Case& c : {Case{TimeBase(), "23:59:59:28", 1, "23:59:59:29"}, Case{fps25, "00:00:00:24", 1, "00:00:01:00"},
                          Case{fps25, "00:00:10:00", 75, "00:00:13:00"}, Case{dropFrame, "00:00:59:29", 1, "00:01:00:02"},
                          Case{dropFrame, "00:09:59:29", 1, "00:10:00:00"}, Case{dropFrame, "00:00:30:00", 1798, "00:01:30:00"}}) {
        vcr->setTimeBase(c.base);
        view().typePoint(DeckView::Point::In, c.in);
        vcr->makeout(c.frames);
        const std::string name = c.base.settingText() + " " + c.in + " + " + std::to_string(c.frames);
        EXPECT_EQ(view().pointText(DeckView::Point::Out), c.out) << name;
        EXPECT_EQ(view().message(), "EDIT POINTS OK") << name;
    }
}

TEST_F(EditPoints, AnOutPointPastTheEndOfTheDayIsRefused)
{
    for (TimeBase base : {TimeBase(), fps25, dropFrame}) {
        vcr->setTimeBase(base);
        view().typePoint(DeckView::Point::In, base.labelOf(base.framesPerDay() - 10));
        view().typePoint(DeckView::Point::Out, "00:00:05:00");
        const auto saidBefore = static_cast<std::ptrdiff_t>(view().messages().size());
        decks->clearTrace();
        vcr->makeout(10);
        std::vector<std::string> said = view().messages();
        said.erase(said.begin(), said.begin() + saidBefore);
        EXPECT_EQ(said, std::vector<std::string>{"OUTPOINT NOT VALID"}) << base.settingText();
        EXPECT_EQ(view().pointText(DeckView::Point::Out), "00:00:05:00") << base.settingText();
        EXPECT_TRUE(commands().empty()) << base.settingText() << ": nothing is sent";
    }
}

TEST_F(EditPoints, TypedPointsAreSentAndAccepted)
{
    typeInPoint("00:01:00:00");
    typeOutPoint("00:01:10:00");

    EXPECT_EQ(view().message(), "EDIT POINTS OK");
    EXPECT_EQ(decks->inPoint(Role::Player), 1800);
    EXPECT_EQ(decks->outPoint(Role::Player), 2100);
    EXPECT_TRUE(vcr->inok());
    EXPECT_TRUE(vcr->outok());
    EXPECT_FALSE(view().outPointRefused());
    EXPECT_TRUE(view().inMarked());
    EXPECT_TRUE(view().outMarked());
}

TEST_F(EditPoints, AnOutPointNotAfterTheInPointIsRefused)
{
    for (const char* out : {"00:00:59:20", "00:01:00:00"}) {
        typeInPoint("00:01:00:00");
        typeOutPoint(out);

        EXPECT_EQ(view().message(), "OUTPOINT NOT VALID") << out;
        EXPECT_EQ(view().pointText(DeckView::Point::Out), out) << "the typed text stays";
        EXPECT_TRUE(view().outPointRefused());
        EXPECT_FALSE(vcr->outok());
        EXPECT_TRUE(waitFor([&] { return decks->outPoint(Role::Player) == 0; })) << "the deck's out point goes to zero";
        EXPECT_EQ(vcr->cuePacket(), (Bytes{0x24, 0x31, 0, 0, 0, 0, 0x55}));
        EXPECT_FALSE(view().outMarked());
    }
}

TEST_F(EditPoints, AnInvalidTypedPointStopsTheActionAndSaysSo)
{
    typeInPoint("00:01:00:00");
    typeOutPoint("00:01:10:00");

    for (const char* text : {"00:01:0", "00:0A:00:00", "", "00:00:10:45", "00:99:00:00", "24:00:00:00"}) {
        decks->clearTrace();
        EXPECT_THROW(typeInPoint(text), InvalidTimeCode) << '"' << text << '"';
        EXPECT_TRUE(commands().empty()) << "nothing is sent for \"" << text << '"';
    }

    // An invalid out point stops the action before the valid in point is sent.
    typeInPoint("00:01:00:00");
    for (const char* text : {"00:01:1x:00", "00:01:10:30"}) {
        decks->clearTrace();
        EXPECT_THROW(typeOutPoint(text), InvalidTimeCode) << '"' << text << '"';
        EXPECT_TRUE(commands().empty()) << "nothing is sent for \"" << text << '"';
    }
}

TEST_F(EditPoints, PrerollTimeIsSentAsBcd)
{
    struct Case {
        int seconds;
        Bytes packet;
    };
    for (const Case& c : {Case{5, {0x44, 0x31, 0x00, 0x05, 0x00, 0x00, 0x7A}},
                          Case{7, {0x44, 0x31, 0x00, 0x07, 0x00, 0x00, 0x7C}},
                          Case{10, {0x44, 0x31, 0x00, 0x10, 0x00, 0x00, 0x85}},
                          Case{12, {0x44, 0x31, 0x00, 0x12, 0x00, 0x00, 0x87}},
                          Case{75, {0x44, 0x31, 0x00, 0x15, 0x01, 0x00, 0x8B}}}) {
        decks->clearTrace();
        vcr->makepreroll(c.seconds);
        EXPECT_EQ(commands(), std::vector<Bytes>{c.packet}) << c.seconds << " s";
        EXPECT_EQ(decks->prerollFrames(Role::Player), c.seconds * 30);
    }
}

TEST_F(EditPoints, PreviewReviewAndPrerollCommands)
{
    decks->clearTrace();
    vcr->review();
    vcr->preview();
    vcr->dopreroll();
    vcr->setpreroll();
    EXPECT_EQ(commands(), (std::vector<Bytes>{{0x20, 0x41, 0x61}, {0x20, 0x40, 0x60}, {0x20, 0x30, 0x50},
                                              {0x44, 0x31, 0x00, 0x05, 0x00, 0x00, 0x7A}}));
}
