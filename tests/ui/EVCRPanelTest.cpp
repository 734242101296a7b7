#include "tests/e2e/EditRig.h"

#include <QPushButton>
#include <gtest/gtest.h>

using decksim::Role;

namespace {

// One rig for the whole suite: the panel's fast checks need no fresh decks.
class EVCRPanelTest : public testing::Test {
protected:
    static void SetUpTestSuite() { rig = new EditRig({.preroll = 2}); }
    static void TearDownTestSuite()
    {
        delete rig;
        rig = nullptr;
    }
    void SetUp() override
    {
        Kestrix::pvcrpreroll = Kestrix::rvcrpreroll = 2;
        rig->evcr->useSettings(Kestrix::editSettings());
        resetMode();
    }

    static void resetMode()
    {
        EVCRPanel::emode = 0;
        rig->panel().cleareditmode();
    }

    static void press(ui::Button& button)
    {
        button.click();
        ui::OperatorThread::instance().waitUntilIdle();
    }

    static bool marked(const ui::Button& button)
    {
        const QRect area = button.bounds();
        return rig->panel().markAt(area.x() + area.width() / 2, area.y() - 1) == EVCRPanel::markcol;
    }

    static bool cueSent(std::int64_t after)
    {
        for (const decksim::TraceEntry& entry : rig->decks.trace()) {
            if (entry.received && entry.micros >= after && entry.bytes.size() > 2 && entry.bytes[0] == 0x24 &&
                entry.bytes[1] == 0x31)
                return true;
        }
        return false;
    }

    static std::int64_t lastMicros()
    {
        const auto trace = rig->decks.trace();
        return trace.empty() ? 0 : trace.back().micros + 1;
    }

    static EditRig* rig;
};

EditRig* EVCRPanelTest::rig = nullptr;

}

TEST_F(EVCRPanelTest, WidgetsStandWhereTheOperatorExpectsThem)
{
    EVCRPanel& p = rig->panel();
    struct Row {
        ui::Button* button;
        const char* text;
        const char* command;
        QRect bounds;
    };
    const Row rows[] = {
        {&p.bassemble, "ASM", "ASSEMBLE", {51, 52, 46, 24}},   {&p.bvideo, "VID", "VIDEO", {97, 52, 46, 24}},
        {&p.baudio1, "AUD1", "AUDIO1", {143, 52, 46, 24}},     {&p.baudio2, "AUD2", "AUDIO2", {189, 52, 46, 24}},
        {&p.bsettings, "SETTINGS", "SETTINGS", {97, 80, 92, 24}}, {&p.bgoplayin, "IN", "P GO IN", {28, 138, 46, 24}},
        {&p.bgoplayout, "OUT", "P GO OUT", {74, 138, 46, 24}}, {&p.bgorecin, "IN", "R GO IN", {166, 138, 46, 24}},
        {&p.bgorecout, "OUT", "R GO OUT", {212, 138, 46, 24}}, {&p.bpreview, "PREVIEW", "PREVIEW", {5, 166, 69, 24}},
        {&p.bautostart, "DO EDIT", "DO EDIT", {74, 166, 69, 24}}, {&p.bautoend, "END EDIT", "END EDIT", {143, 166, 69, 24}},
        {&p.ballstop, "ALL STOP", "ALL STOP", {212, 166, 69, 24}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.button->label(), row.text);
        EXPECT_EQ(row.button->command(), row.command);
        EXPECT_EQ(row.button->bounds(), row.bounds) << row.text;
        EXPECT_TRUE(row.button->isVisible()) << row.text;
    }
    const std::pair<ui::Label*, QRect> labels[] = {{&p.modelabel, {110, 24, 200, 24}},
                                                   {&p.cueplaylabel, {28, 114, 92, 24}},
                                                   {&p.cuereclabel, {169, 114, 138, 24}},
                                                   {&p.golabel, {133, 138, 23, 24}},
                                                   {&p.statuslabel, {5, 224, 200, 24}}};
    for (const auto& [label, bounds] : labels)
        EXPECT_EQ(label->bounds(), bounds) << label->text();
    EXPECT_EQ(p.cueplaylabel.text(), "<<  PLAYER");
    EXPECT_EQ(p.statusfield.bounds(), QRect(5, 248, 270, 24));
    EXPECT_EQ(p.statusfield.columns(), 40);
    EXPECT_EQ(p.bounds().size(), QSize(280, 280));

    // The five buttons without a place are wired but never seen.
    const std::pair<ui::Button*, const char*> unplaced[] = {
        {&p.bsplit, "SPLIT"}, {&p.btrimplus, "TRIM2 +"}, {&p.btrimminus, "TRIM -"}, {&p.blast, "LAST"},
        {&p.brvwjump, "RVW/JUMP"}};
    for (const auto& [button, command] : unplaced) {
        EXPECT_EQ(button->command(), command);
        EXPECT_FALSE(button->isVisible());
        EXPECT_FALSE(button->qwidget()->isVisible());
    }
}

TEST_F(EVCRPanelTest, ModeButtonsFollowTheTransitionTableAndPresetTheRecorder)
{
    EVCRPanel& p = rig->panel();
    struct Case {
        std::vector<ui::Button*> presses;
        std::uint8_t emode;
        std::vector<ui::Button*> marks;
    };
    const Case cases[] = {
        {{&p.bvideo}, 0x50, {&p.bvideo}},
        {{&p.bvideo, &p.bvideo}, 0x20, {&p.bassemble}},
        {{&p.bassemble}, 0x20, {&p.bassemble}},
        {{&p.bassemble, &p.bassemble}, 0x53, {&p.bvideo, &p.baudio1, &p.baudio2}},
        {{&p.bassemble, &p.bassemble, &p.bassemble}, 0x20, {&p.bassemble}},
        {{&p.bassemble, &p.baudio2}, 0x42, {&p.baudio2}},
        {{&p.baudio1}, 0x41, {&p.baudio1}},
        {{&p.bvideo, &p.baudio1, &p.baudio2}, 0x53, {&p.bvideo, &p.baudio1, &p.baudio2}},
        {{&p.bassemble, &p.bassemble, &p.bvideo}, 0x43, {&p.baudio1, &p.baudio2}},
    };
    ui::Button* modeButtons[] = {&p.bassemble, &p.bvideo, &p.baudio1, &p.baudio2};
    for (const Case& c : cases) {
        resetMode();
        for (ui::Button* button : c.presses)
            press(*button);
        EXPECT_EQ(EVCRPanel::emode, c.emode);
        EXPECT_EQ(p.statusfield.text(), c.presses.back()->command());
        for (ui::Button* button : modeButtons) {
            const bool expected = std::find(c.marks.begin(), c.marks.end(), button) != c.marks.end();
            EXPECT_EQ(marked(*button), expected) << button->label() << " after mode " << int(c.emode);
        }
        EXPECT_TRUE(QTest::qWaitFor([&] { return rig->decks.editPreset(Role::Recorder) == c.emode; }, 3000))
            << std::hex << int(c.emode);
    }
}

TEST_F(EVCRPanelTest, EveryPressShowsItsCommandAndTheUnplacedOnesDoNothingMore)
{
    EVCRPanel& p = rig->panel();
    for (ui::Button* button : {&p.bsplit, &p.btrimplus, &p.btrimminus, &p.blast, &p.brvwjump}) {
        const auto before = rig->decks.trace().size();
        static_cast<QPushButton*>(button->qwidget())->click();
        ui::OperatorThread::instance().waitUntilIdle();
        EXPECT_EQ(p.statusfield.text(), button->command());
        const auto trace = rig->decks.trace();
        for (std::size_t i = before; i < trace.size(); ++i) {
            // Only the polling threads' time code and status requests.
            if (trace[i].received) {
                EXPECT_EQ(trace[i].bytes[0], 0x61) << button->command();
            }
        }
    }
}

TEST_F(EVCRPanelTest, InPointChecksRejectPointsInsideThePreroll)
{
    struct Case {
        const char* playIn;
        const char* recIn;
        std::uint8_t emode;
        const char* status;
    };
    // Prerolls of 2 s: an in point needs at least 60 frames.
    const Case cases[] = {
        {"00:00:01:29", "00:00:10:00", 0x50, "ERROR: Play InPoint Too Low"},
        {"00:00:02:00", "00:00:01:29", 0x50, "ERROR: Record InPoint Too Low"},
        {"00:00:01:00", "00:00:01:00", 0x50, "ERROR: Play InPoint Too Low"},
        {"00:00:02:00", "00:00:02:00", 0x00, "ERROR: Please Select Edit Mode Above"},
    };
    for (const Case& c : cases) {
        for (ui::Button* button : {&rig->panel().bautostart, &rig->panel().bpreview}) {
            EVCRPanel::emode = c.emode;
            rig->player->setfield(c.playIn, DeckView::Point::In);
            rig->player->setfield("00:00:05:00", DeckView::Point::Out);
            rig->recorder->setfield(c.recIn, DeckView::Point::In);
            rig->recorder->setfield("00:00:12:15", DeckView::Point::Out);
            rig->recorder->SettleDown();
            const std::int64_t since = lastMicros();
            press(*button);
            EXPECT_EQ(rig->panel().statusfield.text(), c.status) << c.playIn << " " << c.recIn;
            EXPECT_FALSE(cueSent(since));
            if (button == &rig->panel().bpreview) {
                // The preview sends both decks their preroll time before it checks.
                EXPECT_TRUE(rig->received(Role::Recorder, {0x44, 0x31, 0x00, 0x02, 0x00, 0x00, 0x77}, since));
                EXPECT_TRUE(rig->received(Role::Player, {0x44, 0x31, 0x00, 0x02, 0x00, 0x00, 0x77}, since));
            } else if (c.emode == 0) {
                // The recorder's edit length was recomputed before the missing mode was noticed.
                EXPECT_EQ(rig->recorder->duration(), 12 * 30 + 15 - 60);
            }
        }
    }
}

TEST_F(EVCRPanelTest, AnInPointThatIsNotATimeCodeStopsTheEdit)
{
    EVCRPanel::emode = 0x50;
    VCRPanel::of(*rig->player).cuefield.setText("00:0x");
    const std::int64_t since = lastMicros();
    press(rig->panel().bautostart);
    EXPECT_EQ(rig->panel().statusfield.text(), "INVALID TIME CODE");
    EXPECT_FALSE(cueSent(since));
    rig->player->setfield("00:00:10:00", DeckView::Point::In);
}

TEST_F(EVCRPanelTest, StopButtonsAndGoToButtonsDriveTheRightDecks)
{
    std::int64_t since = lastMicros();
    press(rig->panel().ballstop);
    const auto recStop = rig->received(Role::Recorder, {0x20, 0x00, 0x20}, since);
    const auto playStop = rig->received(Role::Player, {0x20, 0x00, 0x20}, since);
    ASSERT_TRUE(recStop && playStop);
    EXPECT_LT(*recStop, *playStop);

    rig->player->setfield("00:00:03:00", DeckView::Point::In);
    since = lastMicros();
    press(rig->panel().bgoplayin);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig->decks.positionFrames(Role::Player) == 90; }, 10000));
    EXPECT_FALSE(rig->received(Role::Recorder, {0x24, 0x31, 0x00, 0x03, 0x00, 0x00, 0x58}, since));
}

TEST_F(EVCRPanelTest, NoLogIsWrittenOrCreatedWithoutAnEditLog)
{
    std::filesystem::remove(rig->folder / "edl.txt");
    const int before = EVCRPanel::editnum;
    ui::OperatorThread::instance().post([] { rig->panel().logedit(EditRequest{}, EditOutcome{}); });
    EXPECT_TRUE(QTest::qWaitFor([] { return rig->panel().statusfield.text() == "No edit log can be saved!"; }, 2000));
    ui::OperatorThread::instance().waitUntilIdle();
    EXPECT_EQ(EVCRPanel::editnum, before);
    EXPECT_FALSE(std::filesystem::exists(rig->folder / "edl.txt"));
    std::ofstream(rig->folder / "edl.txt").flush();
}
