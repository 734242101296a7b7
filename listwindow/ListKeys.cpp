#include "listwindow/ListKeys.h"

#include "listwindow/ListWindow.h"
#include "ui/EVCRPanel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include <limits>
#include <utility>

namespace {

bool isEditableField(const QObject* object)
{
    const auto* field = qobject_cast<const QLineEdit*>(object);
    return field && !field->isReadOnly();
}

// The trim keys: the point's earlier and later key.
struct TrimKey {
    Qt::Key earlier;
    Qt::Key later;
    TrimPoint point;
};
constexpr TrimKey trimKeys[] = {
    {Qt::Key_Q, Qt::Key_W, TrimPoint::RecordIn},
    {Qt::Key_E, Qt::Key_R, TrimPoint::RecordOut},
    {Qt::Key_A, Qt::Key_S, TrimPoint::SourceIn},
    {Qt::Key_D, Qt::Key_F, TrimPoint::SourceOut},
};

}

ListKeys::ListKeys(ListWindow& window, EVCRPanel& edit) : window_(window), edit_(edit)
{
    // A filter on the application sees a key before the focused widget does, so the table
    // never takes a list key for a search.
    QApplication::instance()->installEventFilter(this);
}

ListKeys::~ListKeys() = default;

bool ListKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    if (static_cast<QWidget*>(watched)->window() != window_.qwidget())
        return false;
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (key.key() == Qt::Key_Escape) {
        if (isEditableField(watched) || isEditableField(QApplication::focusWidget()))
            window_.qwidget()->setFocus();
        edit_.ballstop.click();
        return true;
    }
    if (controlKey(key) || runKey(key))
        return true;
    if (isEditableField(watched) || isEditableField(QApplication::focusWidget()))
        return false;
    return listKey(key);
}

bool ListKeys::controlKey(const QKeyEvent& key)
{
    if (!(key.modifiers() & Qt::ControlModifier))
        return false;
    const bool shift = key.modifiers() & Qt::ShiftModifier;
    ui::Button* button = nullptr;
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        button = &edit_.bautostart;
        break;
    case Qt::Key_P:
        button = &edit_.bpreview;
        break;
    case Qt::Key_Z:
        button = shift ? &window_.bredo : &window_.bundo;
        break;
    case Qt::Key_Y:
        button = &window_.bredo;
        break;
    case Qt::Key_R:
        button = &window_.brecall;
        break;
    case Qt::Key_M:
        button = &window_.bmatch;
        break;
    default:
        return false;
    }
    // Held down, undo and redo step on; the others act once.
    const bool steps = key.key() == Qt::Key_Z || key.key() == Qt::Key_Y;
    if (!key.isAutoRepeat() || steps)
        button->click();
    return true;
}

bool ListKeys::runKey(const QKeyEvent& key)
{
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier | Qt::ShiftModifier))
        return false;
    const std::pair<Qt::Key, ui::Button*> keys[] = {
        {Qt::Key_F3, &window_.bconfirm}, {Qt::Key_F4, &window_.bdecline}, {Qt::Key_F5, &window_.bassembleall},
        {Qt::Key_F6, &window_.bassemblefrom}, {Qt::Key_F7, &window_.bresume}, {Qt::Key_F8, &window_.bretry},
        {Qt::Key_F9, &window_.bskip},        {Qt::Key_F10, &window_.bstoprun},
    };
    for (const auto& [runningKey, button] : keys) {
        if (key.key() == runningKey) {
            // Held down, a run's key still acts once: a second answer or start is never meant.
            if (!key.isAutoRepeat())
                button->click();
            return true;
        }
    }
    return false;
}

bool ListKeys::listKey(const QKeyEvent& key)
{
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const bool ten = key.modifiers() & Qt::ShiftModifier;
    for (const TrimKey& trim : trimKeys) {
        if (key.key() == trim.earlier || key.key() == trim.later) {
            // Held down, a trim key trims on frame by frame, as a held arrow jogs.
            const int frames = (key.key() == trim.later ? 1 : -1) * (ten ? 10 : 1);
            window_.trimButton(trim.point, frames).click();
            return true;
        }
    }
    // The table's keys choose as a click does; held, they move on row by row.
    constexpr int pastTheEnd = std::numeric_limits<int>::max();
    const std::pair<Qt::Key, int> moves[] = {{Qt::Key_Up, -1},       {Qt::Key_Down, 1},          {Qt::Key_PageUp, -10},
                                             {Qt::Key_PageDown, 10}, {Qt::Key_Home, -pastTheEnd}, {Qt::Key_End, pastTheEnd}};
    for (const auto& [movingKey, rows] : moves) {
        if (key.key() == movingKey) {
            window_.table.moveChoice(rows);
            return true;
        }
    }
    if (key.isAutoRepeat())
        return key.key() == Qt::Key_X || key.key() == Qt::Key_Delete || key.key() == Qt::Key_Insert
            || key.key() == Qt::Key_N || key.key() == Qt::Key_B;
    switch (key.key()) {
    case Qt::Key_X:
        window_.bripple.click();
        return true;
    case Qt::Key_B:
        window_.bbmode.click();
        return true;
    case Qt::Key_Delete:
        window_.bdelete.click();
        return true;
    case Qt::Key_Insert:
        window_.binsert.click();
        return true;
    case Qt::Key_N:
        window_.brenumber.click();
        return true;
    default:
        return false;
    }
}
