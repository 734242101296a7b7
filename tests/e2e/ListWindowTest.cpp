// The event list's window on the virtual decks: trims, ripple, undo and redo through its keys;
// choosing an event loads it into the panels; the reel, insert, delete and renumber; match
// frame cues the player or asks for the reel. The RealTime suites perform edits checked on the
// recorder's tape to the frame: an edit becomes the next event with the tape's points and is in
// the file at once, recall brings it back, and split events of both kinds performed from the
// window land channel by channel as the list says.

#include "eventlist/ListError.h"
#include "tests/assembly/TapeOracle.h"
#include "tests/e2e/ListWindowRig.h"

#include <QApplication>
#include <QPushButton>
#include <gtest/gtest.h>

using decksim::Role;
using namespace listwindowtest;

namespace {

const std::vector<std::uint8_t> editOn{0x20, 0x65, 0x85};

Event split(Split::Delay delay, std::uint8_t leading, std::uint8_t delayed, const std::string& source,
            const std::string& record, int length, int frames)
{
    Event event = cut(0x40 | leading, "001", source, record, length);
    Event late = cut(0x40 | delayed, "001", source, record, length);
    late.lines[0].sourceIn += frames;
    late.lines[0].recordIn += frames;
    event.lines.push_back(late.lines[0]);
    event.split = {delay, frames};
    return event;
}

// Three butted video cuts of two seconds from one minute on the recorder.
std::string threeCuts()
{
    return listText({cut(0x50, "001", "00:00:10:00", "00:01:00:00", 60), cut(0x50, "001", "00:00:20:00", "00:01:02:00", 60),
                     cut(0x50, "001", "00:00:30:00", "00:01:04:00", 60)});
}

}

TEST(ListWindow, TrimsThroughTheKeysWithRippleOffAndOnUndoneAndRedoneFollowedByTheTableThePanelsAndTheFile)
{
    ListWindowRig w({.listText = threeCuts()});
    EXPECT_EQ(w.window().title(), "Kestrix Event List");
    ASSERT_TRUE(w.tableFollows());
    const EventList start = w.list();
    w.choose(0);

    // Ripple off: a gap opens after the first event, and the next stays.
    w.key(Qt::Key_E);
    EXPECT_EQ(w.list()[0].recordOut(), start[0].recordOut() - 1);
    EXPECT_EQ(w.list()[0].lines[0].sourceOut, start[0].lines[0].sourceOut - 1) << "both edits keep one length";
    EXPECT_EQ(w.list()[1], start[1]);
    const EventList afterFirst = w.list();

    // Ripple on: what follows moves by as much as the end moved, record times only.
    w.key(Qt::Key_X);
    EXPECT_TRUE(w.window().rippleOn());
    EXPECT_EQ(w.window().ripplelabel.text(), "RIPPLE ON");
    w.key(Qt::Key_R, Qt::ShiftModifier);
    EXPECT_EQ(w.list()[0].recordOut(), start[0].recordOut() + 9);
    for (std::size_t later = 1; later < 3; ++later) {
        EXPECT_EQ(w.list()[later].recordIn(), start[later].recordIn() + 10) << later;
        EXPECT_EQ(w.list()[later].lines[0].sourceIn, start[later].lines[0].sourceIn) << later;
    }
    // A source in trim takes the record out along, and what follows with it.
    w.key(Qt::Key_S);
    EXPECT_EQ(w.list()[0].lines[0].sourceIn, start[0].lines[0].sourceIn + 1);
    EXPECT_EQ(w.list()[0].recordOut(), start[0].recordOut() + 8);
    EXPECT_EQ(w.list()[1].recordIn(), start[1].recordIn() + 9);
    ASSERT_TRUE(w.tableFollows());
    EXPECT_EQ(w.window().table.text(0, EventRowText::RecordOut), "00:01:02:08");
    // The trimmed event stands in the panels, ready for DO EDIT.
    EXPECT_EQ(w.field(*w.rig.player, DeckView::Point::In), "00:00:10:01");
    EXPECT_EQ(w.field(*w.rig.recorder, DeckView::Point::Out), "00:01:02:08");
    EXPECT_EQ(w.rig.decks.outPoint(Role::Recorder), framesOf("00:01:02:08"));

    w.key(Qt::Key_Z, Qt::ControlModifier);
    w.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.list(), afterFirst);
    w.key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(w.list()[0].recordOut(), start[0].recordOut() + 9);
    w.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(w.list()[0].lines[0].sourceIn, start[0].lines[0].sourceIn + 1) << "Ctrl+Shift+Z redoes too";
    for (int undo = 0; undo < 5; ++undo)
        w.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.list(), start);
    EXPECT_EQ(w.window().statusfield.text(), "NOTHING TO UNDO");
    ASSERT_TRUE(w.tableFollows());
    ASSERT_TRUE(w.rig.keeper->flush(std::chrono::seconds(10)));
    EXPECT_EQ(w.rig.listInFile(), w.list());
}

TEST(ListWindow, ChoosingAnEventLoadsItsPointsIntoBothDecksAndItsModeIntoTheEditPanel)
{
    ListWindowRig w({.listText = listText({cut(0x50, "001", "00:00:10:00", "00:01:00:00", 60),
                                           cut(0x43, "001", "00:00:40:15", "00:01:10:00", 45)})});
    w.rig.setPoints(*w.rig.recorder, "00:05:00:00", "00:05:01:00");
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.window().table.rowCount() == 2; }, 5000));

    // The table taking the focus makes a row current, which must not take the operator's marks.
    w.focusTable();
    EXPECT_EQ(w.field(*w.rig.recorder, DeckView::Point::In), "00:05:00:00");
    EXPECT_FALSE(w.window().table.chosenRow());
    w.key(Qt::Key_Down);
    EXPECT_EQ(w.field(*w.rig.recorder, DeckView::Point::In), "00:01:00:00") << "Down chose the first event";
    w.key(Qt::Key_Down);
    EXPECT_EQ(w.field(*w.rig.player, DeckView::Point::In), "00:00:40:15");
    EXPECT_EQ(w.field(*w.rig.player, DeckView::Point::Out), "00:00:42:00");
    EXPECT_EQ(w.field(*w.rig.recorder, DeckView::Point::In), "00:01:10:00");
    EXPECT_EQ(w.field(*w.rig.recorder, DeckView::Point::Out), "00:01:11:15");
    EXPECT_EQ(EVCRPanel::emode, 0x43);
    EXPECT_EQ(w.rig.decks.editPreset(Role::Recorder), 0x43);
    EXPECT_EQ(w.rig.decks.inPoint(Role::Player), framesOf("00:00:40:15"));
    EXPECT_EQ(w.rig.decks.inPoint(Role::Recorder), framesOf("00:01:10:00"));
    EXPECT_EQ(w.rig.panel().statusfield.text(), "EVENT 2 LOADED");
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.rig.panel().lengthlabel.text() == "LENGTH 00:00:01:15"; }, 5000));

    // Up takes the event before.
    w.key(Qt::Key_Up);
    EXPECT_EQ(w.field(*w.rig.recorder, DeckView::Point::In), "00:01:00:00");
    EXPECT_EQ(EVCRPanel::emode, 0x50);
}

TEST(ListWindow, TheReelMarkedPointsDeleteAndRenumberThroughTheKeysAndEveryButtonSaysItsKey)
{
    ListWindowRig w({.listText = threeCuts()});
    auto* reel = static_cast<QLineEdit*>(w.window().reelfield.qwidget());
    for (const char* refused : {"tape7", "TAPE00007", "BL"}) {
        w.window().reelfield.type(refused, true);
        w.idle();
        EXPECT_EQ(w.window().statusfield.text().rfind("REEL NAME: ", 0), 0u) << refused;
        EXPECT_EQ(w.rig.keeper->reel(), "001");
    }
    reel->setFocus();
    w.window().reelfield.type("TAPE7", true);
    w.idle();
    EXPECT_EQ(w.rig.keeper->reel(), "TAPE7");
    EXPECT_EQ(w.window().reelshown.text(), "ON THE PLAYER: TAPE7");

    w.choose(0);
    w.rig.setPoints(*w.rig.player, "00:05:00:00", "00:05:01:00");
    w.rig.setPoints(*w.rig.recorder, "00:02:00:00", "00:02:01:00");
    // The chosen event left V in the edit panel; AUD1 adds audio 1.
    w.rig.panel().baudio1.click();
    w.rig.decks.clearTrace();
    w.key(Qt::Key_Insert);
    ASSERT_EQ(w.list().size(), 4u);
    const Event& inserted = w.list()[1];
    EXPECT_EQ(inserted.number, 4);
    EXPECT_EQ(inserted.lines[0].reel, "TAPE7");
    EXPECT_EQ(inserted.lines[0].channels.fieldText(), "B");
    EXPECT_EQ(inserted.lines[0].recordIn, framesOf("00:02:00:00"));
    EXPECT_EQ(inserted.lines[0].sourceOut, framesOf("00:05:01:00"));
    EXPECT_EQ(w.rig.countReceived(Role::Recorder, editOn), 0) << "inserted, not recorded";
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.window().table.chosenRow() == std::optional<std::size_t>(1); }, 5000));

    w.key(Qt::Key_Delete);
    ASSERT_EQ(w.list().size(), 3u);
    EXPECT_EQ(w.list()[1].number, 2);
    w.choose(0);
    w.key(Qt::Key_Delete);
    w.key(Qt::Key_N);
    ASSERT_EQ(w.list().size(), 2u);
    EXPECT_EQ(w.list()[0].number, 1);
    EXPECT_EQ(w.list()[1].number, 2);
    EXPECT_EQ(w.list()[1].lines[0].sourceIn, framesOf("00:00:30:00"));

    // While the reel field is typed into, letters are the name, not trims.
    reel->setFocus();
    const EventList before = w.list();
    QTest::keyClick(reel, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(reel, "QWERASDFXN");
    w.idle();
    EXPECT_EQ(w.list(), before);
    EXPECT_EQ(w.window().reelfield.text(), "QWERASDFXN");

    for (QPushButton* button : w.window().qwidget()->findChildren<QPushButton*>())
        EXPECT_FALSE(button->toolTip().isEmpty()) << button->text().toStdString();
    EXPECT_FALSE(w.window().table.qwidget()->toolTip().isEmpty());
    EXPECT_FALSE(reel->toolTip().isEmpty());
}

TEST(ListWindow, ALoadedEventOfAnotherReelADissolveOrABlackSourceIsNotPerformedAndNothingMoves)
{
    Event dissolve = cut(0x50, "001", "00:00:10:00", "00:01:00:00", 0);
    dissolve.lines.push_back(cut(0x50, "001", "00:00:20:00", "00:01:00:00", 60).lines[0]);
    dissolve.lines[1].transition = {Transition::Kind::Dissolve, 0, ' ', 30};
    ListWindowRig w({.listText = listText({cut(0x53, "TAPE9", "00:00:10:00", "00:01:00:00", 60), dissolve,
                                           cut(0x50, "BL", "00:00:00:00", "00:01:10:00", 60)})});
    const std::pair<std::size_t, std::string> cases[] = {
        {0, "MOUNT REEL TAPE9"},
        {1, "EVENT 2: A DISSOLVE NEEDS A SWITCHER"},
        {2, "EVENT 3: BL IS NO REEL ON THE PLAYER"},
    };
    for (const auto& [row, text] : cases) {
        w.choose(row);
        w.rig.decks.clearTrace();
        w.key(Qt::Key_Return, Qt::ControlModifier);
        EXPECT_EQ(w.rig.panel().statusfield.text(), text);
        if (row == 0) {
            EXPECT_EQ(VCRPanel::of(*w.rig.player).statusfield.text(), text) << "the player's panel says it too";
        }
        for (const auto& entry : w.rig.decks.trace()) {
            if (entry.received) {
                EXPECT_TRUE(entry.bytes == VCR::bsgettc || entry.bytes == VCR::bsgetstatus) << text << ": only polling";
            }
        }
    }
    EXPECT_EQ(w.list().size(), 3u);
}

TEST(ListWindow, CtrlLOpensItFromTheMainWindowAndClosingItOnlyHidesIt)
{
    EditRig rig({.window = true, .list = true});
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.statusShown("KESTRIX READY..."); }, 5000));
    EXPECT_FALSE(rig.listWindow->qwidget()->isVisible());
    for (int time = 0; time < 2; ++time) {
        QTest::keyClick(rig.gui->qwidget(), Qt::Key_L, Qt::ControlModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return rig.listWindow->qwidget()->isVisible(); }, 5000));
        rig.listWindow->requestClose();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !rig.listWindow->qwidget()->isVisible(); }, 5000));
    }
    EXPECT_TRUE(rig.gui->qwidget()->isVisible());
}

TEST(ListWindow, MatchFrameCuesThePlayerToTheSourceUnderTheRecorderOrAsksForTheReel)
{
    ListWindowRig w({.decks = {.recorderStartFrame = framesOf("00:01:00:25"), .playerReels = {"TAPE1", "TAPE2"}},
                     .listText = listText({cut(0x53, "TAPE1", "00:00:40:00", "00:01:00:00", 60),
                                           cut(0x53, "TAPE2", "00:00:50:00", "00:01:02:00", 60),
                                           cut(0x50, "TAPE1", "00:00:45:00", "00:01:01:00", 10)})});
    w.window().reelfield.type("TAPE1", true);
    w.idle();

    w.key(Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.rig.decks.positionFrames(Role::Player) == framesOf("00:00:40:25"); }, 10000));
    // A later event recorded over the frame: its source is the one on the tape.
    w.rig.setPoints(*w.rig.recorder, "00:01:01:05", "00:01:03:00");
    w.rig.panel().bgorecin.click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rig.decks.positionFrames(Role::Recorder) == framesOf("00:01:01:05"); }, 10000));
    w.key(Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.rig.decks.positionFrames(Role::Player) == framesOf("00:00:45:05"); }, 10000));

    w.rig.setPoints(*w.rig.recorder, "00:01:02:10", "00:01:03:00");
    w.rig.panel().bgorecin.click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rig.decks.positionFrames(Role::Recorder) == framesOf("00:01:02:10"); }, 10000));
    const int playerAt = w.rig.decks.positionFrames(Role::Player);
    w.rig.decks.clearTrace();
    w.key(Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return VCRPanel::of(*w.rig.player).statusfield.text() == "MOUNT REEL TAPE2"; }, 5000));
    for (const auto& entry : w.rig.decks.trace()) {
        if (entry.deck == Role::Player && entry.received) {
            EXPECT_NE(entry.bytes[0], 0x24) << "nothing is cued";
        }
    }
    EXPECT_EQ(w.rig.decks.positionFrames(Role::Player), playerAt);

    w.rig.decks.mount("TAPE2");
    w.window().reelfield.type("TAPE2", true);
    w.idle();
    w.key(Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.rig.decks.positionFrames(Role::Player) == framesOf("00:00:50:10"); }, 10000));

    // Past the last event, there is nothing to match.
    w.rig.setPoints(*w.rig.recorder, "00:01:10:00", "00:01:11:00");
    w.rig.panel().bgorecin.click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.rig.decks.positionFrames(Role::Recorder) == framesOf("00:01:10:00"); }, 10000));
    w.key(Qt::Key_M, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return VCRPanel::of(*w.rig.player).statusfield.text() == "NO EVENT AT 00:01:10:00"; }, 5000));
}

TEST(ListEditRealTime, AnEditBecomesTheNextEventWithTheTapesPointsIsInTheNewFileAtOnceAndIsRecalled)
{
    // A recorder that enters record 4 frames after edit on, made up for by an adjust of -4.
    ListWindowRig w({.decks = {.editDelayFrames = 4}, .preroll = 1, .adjust = -4});
    ASSERT_FALSE(std::filesystem::exists(w.rig.listPath())) << "no list file before the first event";
    w.rig.setPoints(*w.rig.player, "00:00:02:00", "00:00:04:00");
    w.rig.setPoints(*w.rig.recorder, "00:00:10:00", "00:00:12:00");
    w.rig.chooseMode(0x53);

    w.key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(w.rig.waitForStatus("Edit Completed", 60000)) << w.rig.panel().statusfield.text();
    w.idle();

    ASSERT_EQ(w.list().size(), 1u);
    const Event& added = w.list()[0];
    EXPECT_EQ(added.number, 1);
    EXPECT_EQ(tapeoracle::differences(tapeoracle::fromEvents({added}), tapeoracle::fromSegments(w.rig.decks.segments())), "");
    EXPECT_EQ(w.window().statusfield.text(), "EVENT 1 ADDED");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            try {
                return w.rig.listInFile() == w.list();
            } catch (const ListError&) {
                return false;
            }
        },
        5000));
    EXPECT_NE(w.rig.edl(), "") << "the edit log is kept as well";
    ASSERT_TRUE(w.tableFollows());

    // Other points and another mode; the last edit comes back with Ctrl+R.
    w.rig.setPoints(*w.rig.player, "00:00:30:00", "00:00:31:00");
    w.rig.setPoints(*w.rig.recorder, "00:00:40:00", "00:00:41:00");
    w.rig.chooseMode(0x50);
    w.key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(w.field(*w.rig.player, DeckView::Point::In), "00:00:02:00");
    EXPECT_EQ(w.field(*w.rig.player, DeckView::Point::Out), "00:00:04:00");
    EXPECT_EQ(w.field(*w.rig.recorder, DeckView::Point::In), "00:00:10:00");
    EXPECT_EQ(w.field(*w.rig.recorder, DeckView::Point::Out), "00:00:12:00");
    EXPECT_EQ(EVCRPanel::emode, 0x53);
    EXPECT_EQ(w.rig.decks.inPoint(Role::Recorder), framesOf("00:00:10:00"));
    EXPECT_EQ(w.rig.decks.editPreset(Role::Recorder), 0x53);
}

TEST(ListEditRealTime, SplitEventsOfBothKindsPerformedFromTheWindowLandChannelByChannelAsListed)
{
    const Event audioDelay = split(Split::Delay::Audio, 0x10, 0x03, "00:00:05:10", "00:00:20:00", 45, 6);
    const Event videoDelay = split(Split::Delay::Video, 0x01, 0x10, "00:00:12:00", "00:00:30:00", 40, 9);
    ListWindowRig w({.decks = {.editDelayFrames = 4, .lockFrames = 3, .lockRamp = true},
                     .preroll = 1,
                     .adjust = -4,
                     .listText = listText({audioDelay, videoDelay})});

    for (std::size_t row = 0; row < 2; ++row) {
        w.choose(row);
        w.rig.statusHistory.clear();
        w.key(Qt::Key_Return, Qt::ControlModifier);
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.rig.statusShown("Edit Completed") && !ui::OperatorThread::instance().refusesPresses(); }, 90000))
            << w.rig.panel().statusfield.text();
        EXPECT_TRUE(w.rig.statusShown("EDIT 2 OF 2: " + std::string(row == 0 ? "DELAYED AA" : "DELAYED V")));
        w.idle();
    }

    const Event first = w.list()[0];
    const Event second = w.list()[1];
    EXPECT_EQ(tapeoracle::differences(tapeoracle::fromEvents({first, second}),
                                      tapeoracle::fromSegments(w.rig.decks.segments())),
              "");
    ASSERT_EQ(w.list().size(), 4u);
    for (std::size_t performed = 0; performed < 2; ++performed) {
        Event expected = w.list()[performed];
        expected.number = static_cast<int>(performed) + 3;
        EXPECT_EQ(w.list()[performed + 2], expected);
    }
    const std::string log = w.rig.edl();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << "each insert is logged";
}
