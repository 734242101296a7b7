#pragma once

// The event list's window on the virtual decks, with the helpers its tests share: events of
// one line on the 30 base, a list written from them, and keys pressed in the window.

#include "eventlist/CmxWriter.h"
#include "tests/e2e/EditRig.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace listwindowtest {

// Frames of a label on the 30 base the rig's decks count on.
inline int framesOf(const std::string& label)
{
    return TimeBase().frameOf(label).value();
}

inline Event cut(std::uint8_t mode, const std::string& reel, const std::string& source, const std::string& record, int length)
{
    const int in = framesOf(source);
    const int at = framesOf(record);
    return Event::fromEdit(mode, reel, {in, in + length, at, at + length}, FrameCountMode::NonDrop);
}

inline std::string listText(const std::vector<Event>& events)
{
    EventList list;
    for (const Event& event : events)
        list.insert(list.size(), event);
    return CmxWriter::write(list).text;
}

class ListWindowRig {
public:
    explicit ListWindowRig(EditRig::Setup setup) : rig((setup.list = true, setup))
    {
        rig.listWindow->open();
        idle();
    }

    ListWindow& window() { return *rig.listWindow; }
    const EventList& list() const { return rig.keeper->list(); }

    void idle() const { ui::OperatorThread::instance().waitUntilIdle(); }

    // The window active and its table in focus, as after a Tab or the window's activation.
    void focusTable()
    {
        QWidget* table = window().table.qwidget();
        QApplication::setActiveWindow(window().qwidget());
        table->setFocus(Qt::TabFocusReason);
        EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == table; }, 2000));
        idle();
    }

    // A key in the table while a run may hold the operator thread: nothing waits for it.
    void press(Qt::Key key)
    {
        QWidget* table = window().table.qwidget();
        QApplication::setActiveWindow(window().qwidget());
        table->setFocus(Qt::TabFocusReason);
        QTest::keyClick(table, key);
    }

    // A key in the table, which has the focus.
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        focusTable();
        QTest::keyClick(window().table.qwidget(), key, modifiers);
        idle();
    }

    void choose(std::size_t row)
    {
        EXPECT_TRUE(QTest::qWaitFor([&] { return window().table.rowCount() > row; }, 5000));
        window().table.chooseRow(row);
        idle();
    }

    // The table shows the list as the operator thread has it.
    bool tableFollows()
    {
        return QTest::qWaitFor(
            [&] {
                idle();
                const EventList now = list();
                if (window().table.rowCount() != now.size())
                    return false;
                for (std::size_t row = 0; row < now.size(); ++row) {
                    if (!(window().table.eventAt(row) == now[row]))
                        return false;
                }
                return true;
            },
            5000);
    }

    std::string field(VCR& deck, DeckView::Point point) { return VCRPanel::of(deck).pointText(point); }

    EditRig rig;
};

}  // namespace listwindowtest
