#include "ui/Button.h"
#include "ui/Choice.h"
#include "ui/Frame.h"
#include "ui/Label.h"
#include "ui/OperatorThread.h"
#include "ui/Panel.h"
#include "ui/ScrollBar.h"
#include "ui/TextField.h"

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace ui;

TEST(Toolkit, TextsSetFromAWorkerThreadReachTheWidgets)
{
    Panel panel;
    Label label("before");
    TextField field("00:00:00:00", 11);
    panel.add(label);
    panel.add(field);

    std::thread worker([&] {
        label.setText("CUED!!");
        field.setText("01:02:03:04");
        field.setEditable(false);
        field.setBackground(Qt::gray);
    });
    worker.join();

    // The wrapper answers at once; the widgets follow when the GUI thread gets to it.
    EXPECT_EQ(label.text(), "CUED!!");
    auto* edit = static_cast<QLineEdit*>(field.qwidget());
    EXPECT_TRUE(QTest::qWaitFor([&] { return edit->text() == "01:02:03:04"; }, 2000));
    EXPECT_EQ(static_cast<QLabel*>(label.qwidget())->text(), "CUED!!");
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(Qt::gray));
}

TEST(Toolkit, TypedTextIsReadBackFromAnotherThread)
{
    TextField field("00:00:00:00", 11);
    QTest::keyClicks(field.qwidget(), "X");
    auto* edit = static_cast<QLineEdit*>(field.qwidget());
    edit->selectAll();
    QTest::keyClicks(edit, "00:01:00:00");

    std::string seen;
    std::thread reader([&] { seen = field.text(); });
    reader.join();
    EXPECT_EQ(seen, "00:01:00:00");
}

TEST(Toolkit, EnterAndPressesArePerformedOnTheOperatorThreadInOrder)
{
    Button button("Play >");
    button.setCommand("Play");
    TextField field("", 11);
    std::vector<std::string> done;
    std::atomic<bool> onOperatorThread{true};
    button.setListener([&](const std::string& command) {
        onOperatorThread = onOperatorThread && OperatorThread::instance().isCurrentThread();
        done.push_back(command);
    });
    field.onEnter([&] { done.push_back("enter " + field.text()); });

    button.click();
    field.type("00:00:05:00", true);
    button.click();
    OperatorThread::instance().waitUntilIdle();

    EXPECT_EQ(done, (std::vector<std::string>{"Play", "enter 00:00:05:00", "Play"}));
    EXPECT_TRUE(onOperatorThread);
}

TEST(Toolkit, ReadOnlyFieldRefusesTyping)
{
    TextField field("00:00:10:00", 11);
    field.setEditable(false);
    QTest::qWait(0);
    field.type("12:00:00:00", false);
    EXPECT_EQ(field.text(), "00:00:10:00");
}

TEST(Toolkit, MarksArePanelStateAndSurviveRepaints)
{
    Panel panel;
    panel.setBounds(0, 0, 240, 280);
    panel.drawBar(QRect(5, 78, 60, 2), Qt::red);
    panel.drawBar(QRect(65, 78, 60, 2), Qt::red);
    EXPECT_EQ(panel.markAt(10, 78), QColor(Qt::red));

    // Erasing paints the background colour over the whole row.
    panel.drawBar(QRect(0, 78, 245, 2), QColor(80, 170, 250));
    EXPECT_EQ(panel.markAt(70, 79), QColor(80, 170, 250));
    EXPECT_EQ(panel.marks().size(), 1u) << "covered bars are forgotten";
    EXPECT_FALSE(panel.markAt(10, 90).isValid());

    panel.setVisible(true);
    panel.qwidget()->show();
    panel.qwidget()->repaint();
    QImage image = panel.qwidget()->grab().toImage();
    EXPECT_EQ(image.pixelColor(70, 78), QColor(80, 170, 250));
}

TEST(Toolkit, ScrollBarRangeAndChanges)
{
    ScrollBar bar(48, 20, 0, 115);
    std::vector<int> values;
    bar.onValueChanged([&](int value) { values.push_back(value); });
    auto* qbar = static_cast<QScrollBar*>(bar.qwidget());
    EXPECT_EQ(qbar->minimum(), 0);
    EXPECT_EQ(qbar->maximum(), 95);
    EXPECT_EQ(qbar->value(), 48);
    qbar->setValue(95);
    qbar->setValue(0);
    OperatorThread::instance().waitUntilIdle();
    EXPECT_EQ(values, (std::vector<int>{95, 0}));
    EXPECT_EQ(bar.value(), 0);
}

TEST(Toolkit, ChoiceSelection)
{
    Choice choice;
    EXPECT_EQ(choice.selectedIndex(), -1);
    for (int i = -9; i <= 9; ++i)
        choice.add(std::to_string(i));
    EXPECT_EQ(choice.selectedItem(), "-9") << "a choice shows its first item";
    choice.select(6);
    EXPECT_EQ(choice.selectedItem(), "-3");
    choice.select(40);
    EXPECT_EQ(choice.selectedIndex(), 6) << "an index outside the items selects nothing new";
}

TEST(Toolkit, FrameCloseRequestGoesToItsHandler)
{
    Frame frame("KESTRIX");
    frame.setSize(795, 288);
    frame.show();
    std::atomic<int> closes{0};
    frame.onCloseRequested([&] { ++closes; });
    QTest::qWait(0);
    frame.requestClose();
    OperatorThread::instance().waitUntilIdle();
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(frame.qwidget()->isVisible()) << "only the handler decides to close";
    frame.dispose();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !frame.qwidget()->isVisible(); }, 2000));
}
