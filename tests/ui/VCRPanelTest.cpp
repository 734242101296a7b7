#include "deck/VCR.h"
#include "tests/deck/DeckTestSupport.h"
#include "tests/ui/PanelPart.h"
#include "ui/OperatorThread.h"
#include "ui/VCRPanel.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using decksim::Role;
using decktest::blocks;
using decktest::waitForReceived;

namespace {

class DeckPanels : public testing::Test {
protected:
    void SetUp() override
    {
        player = std::make_unique<VCR>(decks.path(Role::Player), false, false);
        VCRPanel::attachTo(*player);
        recorder = std::make_unique<VCR>(decks.path(Role::Recorder), false, true);
        VCRPanel::attachTo(*recorder);
        waitForReceived(decks, Role::Recorder, 1);
        decks.clearTrace();
    }

    static void settle() { ui::OperatorThread::instance().waitUntilIdle(); }

    static bool marked(const VCRPanel& panel, const ui::Widget& widget, const QColor& colour = Qt::red)
    {
        const QRect area = widget.bounds();
        return panel.markAt(area.x() + 1, area.y() - 1) == colour;
    }

    decksim::VirtualDecks decks;
    std::unique_ptr<VCR> player;
    std::unique_ptr<VCR> recorder;
};

struct Placement {
    const char* name;
    ui::Widget* (*widget)(VCRPanel&);
    const char* text;
    int x, y, width, height;
};

// Zero insets: x0 = 5, y0 = 0.
const Placement placements[] = {
    {"heading", &part<&VCRPanel::vcrlabel>, "VCR Controls", 5, 0, 200, 24},
    {"time code", &part<&VCRPanel::tcfield>, "00:00:00:00", 65, 24, 120, 24},
    {"standby", &part<&VCRPanel::bstandby>, "Stdby", 65, 52, 60, 24},
    {"eject", &part<&VCRPanel::beject>, "Eject", 125, 52, 60, 24},
    {"EE", &part<&VCRPanel::bee>, "EE", 185, 52, 60, 24},
    {"play", &part<&VCRPanel::bplay>, "Play >", 5, 80, 60, 24},
    {"pause", &part<&VCRPanel::bpause>, "Pause ||", 65, 80, 60, 24},
    {"rewind", &part<&VCRPanel::brew>, "<< Rew", 125, 80, 60, 24},
    {"forward", &part<&VCRPanel::bfwd>, "Fwd >>", 185, 80, 60, 24},
    {"set in", &part<&VCRPanel::bsetcue>, "Set In", 5, 110, 60, 24},
    {"cue/play", &part<&VCRPanel::bcueplay>, "Cue/Play", 65, 110, 60, 24},
    {"set out", &part<&VCRPanel::bsetreview>, "Set Out", 125, 110, 60, 24},
    {"review", &part<&VCRPanel::breview>, "Review", 185, 110, 60, 24},
    {"in field", &part<&VCRPanel::cuefield>, "00:00:10:00", 5, 138, 120, 24},
    {"out field", &part<&VCRPanel::endfield>, "00:00:00:00", 125, 138, 120, 24},
    {"jog reverse", &part<&VCRPanel::bjogr>, "< Jog", 5, 166, 120, 24},
    {"jog forward", &part<&VCRPanel::bjogf>, "Jog >", 125, 166, 120, 24},
    {"shuttle", &part<&VCRPanel::vsb>, "", 5, 194, 240, 25},
    {"status heading", &part<&VCRPanel::statuslabel>, "Status/Results", 5, 224, 100, 24},
    {"status", &part<&VCRPanel::statusfield>, "", 5, 248, 240, 24},
};

QString shownText(const ui::Widget& widget)
{
    if (auto* button = qobject_cast<QPushButton*>(widget.qwidget()))
        return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(widget.qwidget()))
        return edit->text();
    if (auto* label = qobject_cast<QLabel*>(widget.qwidget()))
        return label->text();
    return "";
}

}

TEST_F(DeckPanels, WidgetsAreWhereAndAsTheyShouldBe)
{
    for (VCR* vcr : {player.get(), recorder.get()}) {
        VCRPanel& panel = VCRPanel::of(*vcr);
        QCoreApplication::processEvents();
        EXPECT_EQ(panel.bounds().size(), QSize(240, 280));
        EXPECT_EQ(panel.background(), QColor(80, 170, 250));
        EXPECT_EQ(panel.font().pointSize, 13);
        for (const Placement& p : placements) {
            SCOPED_TRACE(std::string(vcr->isRecorder() ? "recorder " : "player ") + p.name);
            const ui::Widget& widget = *p.widget(panel);
            bool onPanel = widget.qwidget()->parentWidget() == panel.qwidget();
            if (&widget == &panel.bee && !vcr->isRecorder()) {
                EXPECT_FALSE(onPanel);
                EXPECT_FALSE(widget.isVisible());
                continue;
            }
            EXPECT_TRUE(onPanel);
            EXPECT_EQ(widget.bounds(), QRect(p.x, p.y, p.width, p.height));
            EXPECT_EQ(widget.qwidget()->geometry(), QRect(p.x, p.y, p.width, p.height));
            EXPECT_EQ(shownText(widget).toStdString(), p.text);
        }
        EXPECT_FALSE(panel.tcfield.isEditable());
        EXPECT_EQ(panel.tcfield.font().pointSize, 18);
        EXPECT_EQ(panel.tcfield.foreground(), QColor(250, 80, 80));
        EXPECT_EQ(panel.tcfield.background(), QColor(Qt::black));
        EXPECT_TRUE(panel.cuefield.isEditable());
        EXPECT_TRUE(panel.endfield.isEditable());
        EXPECT_EQ(panel.cuefield.font().pointSize, 18);
        EXPECT_FALSE(panel.statusfield.isEditable());
        EXPECT_EQ(panel.statusfield.columns(), 40);
        EXPECT_EQ(panel.cuefield.columns(), 11);
        EXPECT_EQ(panel.vsb.value(), 48);
        EXPECT_EQ(panel.vsb.visibleAmount(), 20);
        EXPECT_EQ(panel.vsb.maximum(), 115);
    }
}

TEST_F(DeckPanels, EachButtonShowsItsCommandAndSendsItsPacket)
{
    struct Case {
        ui::Button VCRPanel::*button;
        const char* command;
        std::vector<Packet> sent;
    };
    const Case cases[] = {
        {&VCRPanel::bplay, "Play", {{0x20, 0x01, 0x21}}},
        {&VCRPanel::bpause, "Pause", {{0x20, 0x00, 0x20}}},
        {&VCRPanel::bfwd, "Forward", {{0x20, 0x10, 0x30}}},
        {&VCRPanel::brew, "Rewind", {{0x20, 0x20, 0x40}}},
        {&VCRPanel::bee, "EE", {{0x20, 0x61, 0x81}}},
        {&VCRPanel::bee, "EE", {{0x20, 0x60, 0x80}}},
        {&VCRPanel::beject, "Eject", {{0x20, 0x0F, 0x2F}}},
        {&VCRPanel::bstandby, "Standby", {{0x20, 0x05, 0x25}}},
        {&VCRPanel::bjogf, "Jogf", {{0x21, 0x11, 0x10, 0x42}}},
        {&VCRPanel::bjogr, "Jogr", {{0x21, 0x21, 0x10, 0x52}}},
        {&VCRPanel::breview, "Review", {{0x20, 0x41, 0x61}}},
    };
    VCRPanel& panel = VCRPanel::of(*recorder);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        decks.clearTrace();
        panel.statusfield.setText("");
        (panel.*c.button).click();
        settle();
        EXPECT_EQ(panel.statusfield.text(), c.command);
        EXPECT_EQ(waitForReceived(decks, Role::Recorder, c.sent.size()), c.sent);
    }
    EXPECT_TRUE(blocks(decks, Role::Player).empty());
}

TEST_F(DeckPanels, SetInTakesTheRunningTimeCodeIntoTheInField)
{
    VCRPanel& panel = VCRPanel::of(*player);
    panel.bsetcue.click();
    settle();
    EXPECT_EQ(panel.cuefield.text(), player->timecode());
}

TEST_F(DeckPanels, ACommandIsMatchedExactlyOrOnlyShown)
{
    VCRPanel& panel = VCRPanel::of(*player);
    panel.bplay.setCommand("play");
    panel.bplay.click();
    settle();
    EXPECT_EQ(panel.statusfield.text(), "play");
    EXPECT_TRUE(blocks(decks, Role::Player).empty());
}

TEST_F(DeckPanels, ShuttleBarMapsItsPositionToShuttleSpeeds)
{
    struct Case {
        int value;
        Packet sent;
    };
    const Case cases[] = {
        {43, {0x21, 0x13, 0x00, 0x34}}, {53, {0x21, 0x13, 0x00, 0x34}}, {54, {0x21, 0x13, 0x0C, 0x40}},
        {42, {0x21, 0x23, 0x0C, 0x50}}, {0, {0x21, 0x23, 0x60, 0xA4}},  {95, {0x21, 0x13, 0x5E, 0x92}},
        {48, {0x21, 0x13, 0x00, 0x34}},
    };
    VCRPanel& panel = VCRPanel::of(*player);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        decks.clearTrace();
        panel.vsb.setValue(c.value);
        ASSERT_TRUE(QTest::qWaitFor([&] { return panel.vsbval == c.value; }));
        settle();
        EXPECT_EQ(waitForReceived(decks, Role::Player, 1), std::vector<Packet>{c.sent});
    }
}

TEST_F(DeckPanels, EnterInEitherPointFieldSendsThePointsAndRefusesAnythingElse)
{
    VCRPanel& panel = VCRPanel::of(*player);
    struct Case {
        ui::TextField VCRPanel::*field;
        const char* typed;
        bool valid;
    };
    for (const Case& c : {Case{&VCRPanel::cuefield, "00:01:02:03", true}, Case{&VCRPanel::endfield, "00:02:00:00", true},
                          Case{&VCRPanel::cuefield, "1:2", false}, Case{&VCRPanel::endfield, "00:0x:00:00", false}}) {
        SCOPED_TRACE(c.typed);
        decks.clearTrace();
        panel.statusfield.setText("");
        (panel.*c.field).type(c.typed, true);
        settle();
        if (c.valid) {
            std::vector<Packet> sent = waitForReceived(decks, Role::Player, 2);
            ASSERT_GE(sent.size(), 2u);
            EXPECT_EQ(sent[0][1], 0x14);
            EXPECT_EQ(sent[1][1], 0x15);
            EXPECT_NE(panel.statusfield.text(), "INVALID TIME CODE");
        } else {
            EXPECT_EQ(panel.statusfield.text(), "INVALID TIME CODE");
        }
    }
}

TEST_F(DeckPanels, CueAndPlayToAWronglyTypedPointIsRefused)
{
    VCRPanel& panel = VCRPanel::of(*player);
    panel.cuefield.type("00:61", false);
    panel.bcueplay.click();
    settle();
    EXPECT_EQ(panel.statusfield.text(), "INVALID TIME CODE");
    EXPECT_EQ(player->cueThread(), nullptr);
}

TEST_F(DeckPanels, MarksAreClearedByAreaAndEeKeepsItsOwn)
{
    VCRPanel& panel = VCRPanel::of(*recorder);
    panel.bee.click();
    settle();
    panel.hilightinout(true, false);
    for (ui::Widget* widget :
         std::initializer_list<ui::Widget*>{&panel.bplay, &panel.bstandby, &panel.beject, &panel.bjogr, &panel.vsb})
        panel.hilight(*widget);

    panel.clearbuttons();

    for (ui::Widget* widget :
         std::initializer_list<ui::Widget*>{&panel.bplay, &panel.bfwd, &panel.bstandby, &panel.beject, &panel.bjogr,
                                            &panel.bjogf, &panel.vsb})
        EXPECT_TRUE(marked(panel, *widget, VCRPanel::backgroundcol));
    EXPECT_TRUE(marked(panel, panel.bee));
    EXPECT_TRUE(marked(panel, panel.cuefield));
    EXPECT_FALSE(marked(panel, panel.endfield));

    panel.hilightinout(false, true);
    EXPECT_TRUE(marked(panel, panel.cuefield, VCRPanel::backgroundcol));
    EXPECT_TRUE(marked(panel, panel.endfield));

    panel.bee.click();
    settle();
    EXPECT_TRUE(marked(panel, panel.bee, VCRPanel::backgroundcol));
    EXPECT_FALSE(panel.ee);
}

TEST_F(DeckPanels, LockingForACueDisablesCueAndReviewAndThePoints)
{
    VCRPanel& panel = VCRPanel::of(*player);
    panel.lockForCue();
    for (ui::Button* button : {&panel.bcueplay, &panel.breview}) {
        EXPECT_FALSE(button->isEnabled());
        EXPECT_EQ(button->background(), QColor(Qt::darkGray));
    }
    EXPECT_FALSE(panel.cuefield.isEditable());
    EXPECT_FALSE(panel.endfield.isEditable());

    panel.unlockAfterCue();
    for (ui::Button* button : {&panel.bcueplay, &panel.breview}) {
        EXPECT_TRUE(button->isEnabled());
        EXPECT_EQ(button->background(), QColor(Qt::lightGray));
    }
    EXPECT_TRUE(panel.cuefield.isEditable());
    EXPECT_TRUE(panel.endfield.isEditable());
}

// The cue thread and the edit hold the points each for itself: a cue ending during an edit leaves
// them locked, and a cue that superseded another opens them with its single unlock.
TEST_F(DeckPanels, ThePointsOpenOnlyWhenNeitherACueNorAnEditHoldsThem)
{
    VCRPanel& panel = VCRPanel::of(*player);
    auto editable = [&] {
        QCoreApplication::processEvents();
        const bool shown = !static_cast<QLineEdit*>(panel.cuefield.qwidget())->isReadOnly()
            && !static_cast<QLineEdit*>(panel.endfield.qwidget())->isReadOnly();
        EXPECT_EQ(shown, panel.cuefield.isEditable() && panel.endfield.isEditable()) << "the fields show another lock";
        return shown;
    };
    panel.lockForEdit(true);
    panel.lockForCue();
    panel.unlockAfterCue();
    EXPECT_FALSE(editable()) << "a cue that ended opened the points of a running edit";
    panel.lockForCue();
    panel.lockForCue();
    panel.lockForEdit(false);
    EXPECT_FALSE(editable()) << "an edit that ended opened the points of a running cue";
    panel.unlockAfterCue();
    EXPECT_TRUE(editable()) << "the cue that took over left the points locked";
}

TEST(DeckPanelOnLanc, PointFieldsShowEvenFramesOnly)
{
    decksim::VirtualDecks decks;
    VCR lanc(decks.path(Role::Player), true, false);
    VCRPanel::attachTo(lanc);
    VCR rs422(decks.path(Role::Recorder), false, true);
    VCRPanel::attachTo(rs422);
    struct Case {
        VCR* vcr;
        const char* stored;
        const char* shown;
    };
    for (const Case& c : {Case{&lanc, "00:00:01:15", "00:00:01:14"}, Case{&lanc, "00:00:01:14", "00:00:01:14"},
                          Case{&lanc, "00:00:01:09", "00:00:01:08"}, Case{&rs422, "00:00:01:15", "00:00:01:15"}}) {
        SCOPED_TRACE(c.stored);
        VCRPanel& panel = VCRPanel::of(*c.vcr);
        panel.settcfield(c.stored, panel.cuefield);
        EXPECT_EQ(panel.cuefield.text(), c.shown);
    }
}

TEST_F(DeckPanels, AMessageStandsItsHoldThenThePolledStatusReturns)
{
    using Clock = std::chrono::steady_clock;
    VCRPanel& panel = VCRPanel::of(*player);
    const auto before = Clock::now();
    panel.ShowStatus("CUED!!");
    // However fast this machine polls, no status read within the hold replaces the message.
    for (;;) {
        player->CommandStatus();
        const std::string shown = panel.statusfield.text();
        if (Clock::now() - before >= VCRPanel::messageHold)
            break;
        ASSERT_EQ(shown, "CUED!!");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] {
        player->CommandStatus();
        return panel.statusfield.text() == player->statusText();
    }));
    EXPECT_FALSE(player->statusText().empty());
}
