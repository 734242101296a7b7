// A deck with its real panel: what the operator's presses and typing do, and what the panel
// draws of what the deck shows.

#include "deck/CueThread.h"
#include "deck/InvalidTimeCode.h"
#include "deck/VCR.h"
#include "tests/deck/DeckTestSupport.h"
#include "tests/ui/PanelPart.h"
#include "tools/decksim/VirtualDecks.h"
#include "ui/OperatorThread.h"
#include "ui/VCRPanel.h"

#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using decksim::Role;
using Bytes = std::vector<std::uint8_t>;

namespace {

const Bytes cueTo10s{0x24, 0x31, 0x00, 0x10, 0x00, 0x00, 0x65};

// A red mark above the widget.
bool marked(const VCRPanel& panel, const ui::Widget& widget)
{
    const QRect area = widget.bounds();
    return panel.markAt(area.x() + 1, area.y() - 1) == QColor(Qt::red);
}

// A player deck on a virtual deck, with its panel.
class DeckOnPanel : public testing::Test {
protected:
    void SetUp() override
    {
        vcr = std::make_unique<VCR>(decks.path(Role::Player), false, false);
        panel_ = &VCRPanel::attachTo(*vcr);
    }

    void TearDown() override
    {
        settle();
        vcr.reset();
    }

    VCRPanel& panel() { return *panel_; }

    static void settle() { ui::OperatorThread::instance().waitUntilIdle(); }

    bool received(const Bytes& block) const
    {
        const std::vector<Bytes> found = decktest::blocks(decks, Role::Player);
        return std::find(found.begin(), found.end(), block) != found.end();
    }

    void typeInPoint(const std::string& text) { panel().cuefield.type(text, true); }
    void typeOutPoint(const std::string& text) { panel().endfield.type(text, true); }

    decksim::VirtualDecks decks;
    std::unique_ptr<VCR> vcr;

private:
    VCRPanel* panel_ = nullptr;
};

class DeckOnPanelCueing : public DeckOnPanel {
protected:
    void SetUp() override
    {
        DeckOnPanel::SetUp();
        vcr->GetTC();
        panel().cuefield.setText("00:00:10:00");
        panel().endfield.setText("00:00:20:00");
        decks.clearTrace();
    }
};

}

TEST_F(DeckOnPanelCueing, CuePlayParksAtTheInPointThenPlays)
{
    panel().bcueplay.click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return received(cueTo10s); }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !panel().cuefield.isEditable(); }, 1000));
    EXPECT_FALSE(panel().endfield.isEditable());
    EXPECT_FALSE(panel().bcueplay.isEnabled());
    EXPECT_FALSE(panel().breview.isEnabled());

    ASSERT_TRUE(QTest::qWaitFor([&] { return panel().statusfield.text() == "CUED!!"; }, 10000));
    EXPECT_FALSE(panel().cuefield.isEditable()) << "the points stay locked until play";

    ASSERT_TRUE(QTest::qWaitFor([&] { return received(VCR::bsplay); }, 5000));
    EXPECT_TRUE(panel().cuefield.isEditable());
    EXPECT_TRUE(panel().bcueplay.isEnabled());
}

TEST_F(DeckOnPanelCueing, ATransportCommandWhileCueingCancelsThePlay)
{
    vcr->cueplay(0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel().statusfield.text() == "CUED!!"; }, 10000));
    panel().bpause.click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return vcr->cueThread()->finished(); }, 5000));
    EXPECT_FALSE(received(VCR::bsplay));
    EXPECT_TRUE(received(VCR::bsstop));
}

TEST_F(DeckOnPanel, TypedPointsAreSentAndAccepted)
{
    typeInPoint("00:01:00:00");
    typeOutPoint("00:01:10:00");
    settle();

    EXPECT_EQ(panel().endfield.background(), VCRPanel::backgroundcol);
    EXPECT_TRUE(marked(panel(), panel().cuefield));
    EXPECT_TRUE(marked(panel(), panel().endfield));
}

TEST_F(DeckOnPanel, AnOutPointNotAfterTheInPointIsRefused)
{
    for (const char* out : {"00:00:59:20", "00:01:00:00"}) {
        typeInPoint("00:01:00:00");
        typeOutPoint(out);
        settle();

        EXPECT_EQ(panel().endfield.background(), QColor(Qt::gray)) << out;
        EXPECT_FALSE(marked(panel(), panel().endfield)) << out;
    }
}

TEST_F(DeckOnPanel, AnInvalidTypedPointStopsTheActionAndSaysSo)
{
    typeInPoint("00:01:00:00");
    typeOutPoint("00:01:10:00");
    settle();

    for (const char* text : {"00:01:0", "00:0A:00:00", "", "00:00:10:45", "00:99:00:00", "24:00:00:00"}) {
        typeInPoint(text);
        settle();
        EXPECT_EQ(panel().statusfield.text(), InvalidTimeCode::statusText) << '"' << text << '"';
    }

    typeInPoint("00:01:00:00");
    settle();
    for (const char* text : {"00:01:1x:00", "00:01:10:30"}) {
        typeOutPoint(text);
        settle();
        EXPECT_EQ(panel().statusfield.text(), InvalidTimeCode::statusText) << '"' << text << '"';
    }
}

TEST_F(DeckOnPanel, SetInAndSetOutTakeTheDecksTimeCode)
{
    vcr->GetTC();
    vcr->play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return vcr->timecode() >= "00:00:01:00"; }));
    vcr->stopvcr();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        int now = decks.positionFrames(Role::Player);
        return vcr->timecode() == panel().tcfield.text() && vcr->calcframes(vcr->timecode()) == now;
    }));
    std::string there = vcr->timecode();

    panel().bsetcue.click();
    settle();
    EXPECT_EQ(panel().cuefield.text(), there);
    EXPECT_EQ(decks.inPoint(Role::Player), vcr->calcframes(there));
    EXPECT_FALSE(vcr->outok()) << "the out point 00:00:00:00 lies before it";

    panel().bsetreview.click();
    settle();
    EXPECT_EQ(panel().endfield.text(), there);
    EXPECT_FALSE(vcr->outok()) << "equal points are refused";
    EXPECT_EQ(panel().endfield.background(), QColor(Qt::gray));
}

TEST_F(DeckOnPanel, OutPointErrorText)
{
    panel().showoutpointerror();
    EXPECT_EQ(panel().statusfield.text(), "OUTPOINT ERROR");
}

namespace {

// A deck on a fake port: its replies are scripted.
class DeckOnPanelOnFakePort : public testing::Test {
protected:
    void SetUp() override
    {
        vcr = std::make_unique<VCR>("COM3", false, false);
        VCRPanel::attachTo(*vcr);
        fake->clearCalls();
    }

    decktest::FakeBackend fake;
    std::unique_ptr<VCR> vcr;
};

}

TEST_F(DeckOnPanelOnFakePort, StatusRepliesMarkTheirButtonsRed)
{
    using Part = ui::Widget* (*)(VCRPanel&);
    const Part play = part<&VCRPanel::bplay>, pause = part<&VCRPanel::bpause>, fwd = part<&VCRPanel::bfwd>,
               rew = part<&VCRPanel::brew>, standby = part<&VCRPanel::bstandby>, shuttle = part<&VCRPanel::vsb>,
               jogf = part<&VCRPanel::bjogf>, jogr = part<&VCRPanel::bjogr>;
    struct Case {
        std::uint8_t transport, mode, precue;
        const char* text;
        std::vector<Part> marks;
    };
    const Case cases[] = {
        {0x21, 0x01, 0x00, "Play Stop CuedUp ", {play, pause}},
        {0x21, 0x15, 0x00, "Play Stop Jog CuedUp ", {play, pause, jogr}},
        {0x21, 0x11, 0x00, "Play Stop Jog CuedUp ", {play, pause, jogf}},
        {0x02, 0x00, 0x00, "Rec ", {}},
        {0x04, 0x00, 0x01, "FF PreCue ", {fwd}},
        {0x08, 0x00, 0x00, "REW ", {rew}},
        {0xA0, 0x00, 0x00, "Stop Stby ", {pause, standby}},
        {0x00, 0x24, 0x00, "Shuttle ", {shuttle}},
        {0x00, 0x00, 0x00, "", {}},
    };
    VCRPanel& panel = VCRPanel::of(*vcr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        fake->answerNextWrite(decktest::withChecksum({0x79, 0x20, 0, c.transport, c.mode, 0, c.precue, 0, 0, 0, 0}));
        vcr->CommandStatus();

        for (Part widget : {play, pause, fwd, rew, standby, shuttle, jogf, jogr}) {
            const bool expected = std::find(c.marks.begin(), c.marks.end(), widget) != c.marks.end();
            EXPECT_EQ(marked(panel, *widget(panel)), expected);
        }
    }
}
