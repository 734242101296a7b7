#include "app/Settings.h"
#include "tests/e2e/EditRig.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

std::string settingsFile(const EditRig& rig)
{
    std::ifstream in(rig.folder / Kestrix::settingsFileName);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Opens the settings dialog as the operator does and returns it once it is shown.
Settings* openSettings(EditRig& rig)
{
    rig.panel().bsettings.click();
    ui::OperatorThread::instance().waitUntilIdle();
    Settings* dialog = rig.gui->settings;
    if (dialog) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->qwidget()->isVisible(); }, 5000));
    }
    return dialog;
}

// Picks an item as the operator does.
void choose(ui::Choice& choice, int index)
{
    auto* combo = static_cast<QComboBox*>(choice.qwidget());
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

// Closes the dialog as the operator does and waits until it has been applied and released.
void closeSettings(EditRig& rig, Settings& dialog)
{
    dialog.requestClose();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            ui::OperatorThread::instance().waitUntilIdle();
            return rig.gui->settings == nullptr;
        },
        10000));
}

}

TEST(MainWindow, ThreePanelsSideBySideAndTheReadyTexts)
{
    EditRig rig({.window = true});
    MainGUI& gui = *rig.gui;
    EXPECT_EQ(gui.title(), "KESTRIX");
    EXPECT_EQ(gui.size(), QSize(795, 288));
    EXPECT_TRUE(QTest::qWaitFor([&] { return gui.qwidget()->isVisible(); }, 2000));
    EXPECT_EQ(VCRPanel::of(*rig.player).bounds(), QRect(0, 5, 250, 280));
    EXPECT_EQ(rig.panel().bounds(), QRect(250, 5, 290, 280));
    EXPECT_EQ(VCRPanel::of(*rig.recorder).bounds(), QRect(540, 5, 250, 280));
    EXPECT_EQ(rig.panel().qwidget()->parentWidget(), gui.qwidget());

    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.statusShown("KESTRIX READY..."); }, 5000));
    QElapsedTimer pause;
    pause.start();
    // The GUI thread kept serving events during the second before the next text.
    ASSERT_TRUE(rig.waitForStatus("Please Select Edit Mode Above", 5000));
    EXPECT_GE(pause.elapsed(), 900);
    // Both in points were taken from the decks' positions.
    EXPECT_EQ(VCRPanel::of(*rig.recorder).cuefield.text(), "00:00:00:00");
    EXPECT_EQ(VCRPanel::of(*rig.player).cuefield.text(), "00:00:00:00");
}

TEST(MainWindow, ADeckWhoseTimeCodeIsNoLabelOfItsTimeBaseDoesNotStopTheReadyTexts)
{
    // A 30-frame deck at frame 27 while the settings say 25 frames a second.
    EditRig rig({.decks = {.playerStartFrame = 27}});
    rig.player->setTimeBase(TimeBase(TimeBase::Kind::Fps25));
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.player->timecode() == "00:00:00:27"; }, 5000));
    rig.gui = std::make_unique<MainGUI>();
    Kestrix::gui = rig.gui.get();

    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.statusShown("KESTRIX READY..."); }, 5000));
    EXPECT_EQ(VCRPanel::of(*rig.player).statusfield.text(), "INVALID TIME CODE");
    EXPECT_EQ(VCRPanel::of(*rig.recorder).cuefield.text(), "00:00:00:00") << "the other deck took its point";
}

TEST(MainWindow, SettingsDialogAppliesSavesAndBringsTheWindowBack)
{
    EditRig rig({.preroll = 3, .adjust = 1, .window = true});
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.statusShown("KESTRIX READY..."); }, 5000));
    ASSERT_TRUE(rig.waitForStatus("Please Select Edit Mode Above", 5000));

    Settings* dialog = openSettings(rig);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->title(), "KESTRIX Settings");
    EXPECT_EQ(dialog->size(), QSize(280, 120));
    EXPECT_FALSE(rig.gui->isVisible());
    EXPECT_EQ(dialog->rvcrpreroll.selectedItem(), "3");
    EXPECT_EQ(dialog->pvcrpreroll.selectedItem(), "3");
    EXPECT_EQ(dialog->pvcradjust.selectedItem(), "1");
    EXPECT_EQ(dialog->pvcradjust.items().front(), "-9");
    EXPECT_EQ(dialog->pvcradjust.items().size(), 19u);
    EXPECT_EQ(dialog->rpreroll.text(), " Rec VCR Preroll");
    EXPECT_EQ(dialog->ppreroll.text(), " Play VCR Preroll");
    EXPECT_EQ(dialog->padjust.text(), " Edit Adjust");

    // Two decks without LANC: the player takes the recorder's preroll.
    choose(dialog->pvcrpreroll, 2);
    choose(dialog->rvcrpreroll, 6);
    choose(dialog->pvcradjust, 6);
    const auto presetsBefore = rig.decks.trace().size();
    closeSettings(rig, *dialog);

    EXPECT_EQ(Kestrix::pvcrpreroll, 6);
    EXPECT_EQ(Kestrix::rvcrpreroll, 6);
    EXPECT_EQ(Kestrix::pvcradjust, -3);
    EXPECT_EQ(rig.player->adjust(), -3);
    EXPECT_EQ(rig.recorder->adjust(), 0);
    const std::string saved = settingsFile(rig);
    EXPECT_NE(saved.find("PlayVCRPreroll=6\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("RecVCRPreroll=6\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("EditAdjust=-3\n"), std::string::npos) << saved;
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.gui->qwidget()->isVisible(); }, 2000));
    // Both decks were sent a six second preroll (again at once, when an acknowledgement is slow).
    const std::vector<std::uint8_t> six{0x44, 0x31, 0x00, 0x06, 0x00, 0x00, 0x7B};
    int sent[2] = {0, 0};
    const auto trace = rig.decks.trace();
    for (std::size_t i = presetsBefore; i < trace.size(); ++i)
        sent[trace[i].deck == decksim::Role::Player ? 0 : 1] += trace[i].received && trace[i].bytes == six;
    EXPECT_GE(sent[0], 1) << "the player";
    EXPECT_GE(sent[1], 1) << "the recorder";

    // Closing a new dialog without touching anything saves the values again.
    rig.writeSettings();
    dialog = openSettings(rig);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->pvcradjust.selectedItem(), "-3");
    closeSettings(rig, *dialog);
    EXPECT_NE(settingsFile(rig).find("PlayVCRPreroll=6\n"), std::string::npos);
    EXPECT_NE(settingsFile(rig).find("EditAdjust=-3\n"), std::string::npos);
}

TEST(MainWindow, SettingsDialogKeepsValuesItHasNoItemForAndBothDecksPoints)
{
    EditRig rig({.preroll = 12, .adjust = 15, .window = true});
    // Start-up takes both in points from the decks; the points below come after it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.statusShown("KESTRIX READY..."); }, 5000));
    rig.setPoints(*rig.player, "00:01:00:00", "00:01:10:00");
    rig.setPoints(*rig.recorder, "00:02:00:00", "00:02:10:00");

    Settings* dialog = openSettings(rig);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->rvcrpreroll.selectedItem(), "12");
    EXPECT_EQ(dialog->pvcrpreroll.selectedItem(), "12");
    EXPECT_EQ(dialog->pvcradjust.selectedItem(), "15");
    EXPECT_EQ(dialog->pvcradjust.items().size(), 20u);
    closeSettings(rig, *dialog);

    EXPECT_EQ(Kestrix::rvcrpreroll, 12);
    EXPECT_EQ(Kestrix::pvcrpreroll, 12);
    EXPECT_EQ(Kestrix::pvcradjust, 15);
    const std::string saved = settingsFile(rig);
    for (const char* line : {"PlayVCRPreroll=12\n", "RecVCRPreroll=12\n", "EditAdjust=15\n"})
        EXPECT_NE(saved.find(line), std::string::npos) << line << saved;
    EXPECT_EQ(VCRPanel::of(*rig.player).cuefield.text(), "00:01:00:00");
    EXPECT_EQ(VCRPanel::of(*rig.player).endfield.text(), "00:01:10:00");
    EXPECT_EQ(VCRPanel::of(*rig.recorder).cuefield.text(), "00:02:00:00");
    EXPECT_EQ(VCRPanel::of(*rig.recorder).endfield.text(), "00:02:10:00");
}
