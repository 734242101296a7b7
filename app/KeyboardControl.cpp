#include "app/KeyboardControl.h"

#include "deck/VCR.h"
#include "listwindow/ListWindow.h"
#include "ui/EVCRPanel.h"
#include "ui/OperatorThread.h"
#include "ui/VCRPanel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <array>

namespace {

// Shuttle bar positions for J and L, slowest first: about 1x, 2x, 4x and 8.6x play speed in
// the deck's shuttle scale ((position - 48) * 2 forward, (48 - position) * 2 reverse).
constexpr std::array<int, 4> forwardSteps{80, 85, 90, 95};
constexpr std::array<int, 4> reverseSteps{16, 11, 6, 1};
constexpr int shuttleStill = 48;

bool isEditableField(const QObject* object)
{
    const auto* field = qobject_cast<const QLineEdit*>(object);
    return field && !field->isReadOnly();
}

void setToolTip(const ui::Widget& widget, const char* keys)
{
    widget.qwidget()->setToolTip(QString::fromUtf8(keys));
}

}

KeyboardControl::KeyboardControl(QWidget& window, VCRPanel& player, VCRPanel& recorder, EVCRPanel& edit,
                                 ListWindow* list)
    : window_(window), player_(player), recorder_(recorder), edit_(edit), list_(list), selected_(&player)
{
    select(player);
    showKeysInTooltips();
    // A filter on the application sees a key before the focused widget does, so a key
    // never reaches a button or the shuttle bar on its own.
    QApplication::instance()->installEventFilter(this);
}

KeyboardControl::~KeyboardControl() = default;

void KeyboardControl::select(VCRPanel& deck)
{
    selected_ = &deck;
    for (VCRPanel* panel : {&player_, &recorder_})
        panel->vcrlabel.setBackground(panel == selected_ ? selectedcol : VCRPanel::backgroundcol);
}

bool KeyboardControl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    if (static_cast<QWidget*>(watched)->window() != &window_)
        return false;
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (editKey(key, watched) || listKey(key))
        return true;
    // A point field being typed into keeps its keys, Enter included.
    if (isEditableField(watched) || isEditableField(QApplication::focusWidget()))
        return false;
    return deckKey(key);
}

bool KeyboardControl::editKey(const QKeyEvent& key, QObject* watched)
{
    const bool control = key.modifiers() & Qt::ControlModifier;
    const bool enter = key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
    if (key.key() == Qt::Key_Escape) {
        if (isEditableField(watched) || isEditableField(QApplication::focusWidget()))
            window_.setFocus();
        edit_.ballstop.click();
    } else if (control && enter) {
        if (!key.isAutoRepeat())
            edit_.bautostart.click();
    } else if (control && key.key() == Qt::Key_P) {
        if (!key.isAutoRepeat())
            edit_.bpreview.click();
    } else if (key.key() == Qt::Key_F1) {
        select(player_);
    } else if (key.key() == Qt::Key_F2) {
        select(recorder_);
    } else {
        return false;
    }
    return true;
}

bool KeyboardControl::listKey(const QKeyEvent& key)
{
    if (!list_ || !(key.modifiers() & Qt::ControlModifier) || key.isAutoRepeat())
        return false;
    switch (key.key()) {
    case Qt::Key_L:
        list_->open();
        return true;
    case Qt::Key_R:
        list_->brecall.click();
        return true;
    case Qt::Key_M:
        list_->bmatch.click();
        return true;
    default:
        return false;
    }
}

bool KeyboardControl::deckKey(const QKeyEvent& key)
{
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    VCRPanel& deck = *selected_;
    // Holding an arrow jogs on frame by frame; any other held key acts once.
    const bool once = !key.isAutoRepeat();
    switch (key.key()) {
    case Qt::Key_Left:
        deck.bjogr.click();
        return true;
    case Qt::Key_Right:
        deck.bjogf.click();
        return true;
    case Qt::Key_Space:
        if (once)
            playOrStop();
        return true;
    case Qt::Key_K:
        if (once)
            stop();
        return true;
    case Qt::Key_J:
    case Qt::Key_L:
        if (once)
            shuttle(key.key() == Qt::Key_L);
        return true;
    case Qt::Key_I:
        if (once)
            deck.bsetcue.click();
        return true;
    case Qt::Key_O:
        if (once)
            deck.bsetreview.click();
        return true;
    case Qt::Key_C:
        if (once)
            deck.bcueplay.click();
        return true;
    default:
        return false;
    }
}

void KeyboardControl::playOrStop()
{
    // During an edit play would only be refused; the operator reaching for Space wants the
    // decks to stop, and the deck's stop aborts the edit as K does.
    if (ui::OperatorThread::instance().refusesPresses()) {
        selected_->bpause.click();
        return;
    }
    const std::string status = selected_->vcr->statusText();
    const bool playing = status.find("Play ") != std::string::npos && status.find("Stop ") == std::string::npos;
    (playing ? selected_->bpause : selected_->bplay).click();
}

void KeyboardControl::stop()
{
    // The bar comes back to the middle, so the next J or L starts at the first step.
    selected_->vsb.setValue(shuttleStill);
    selected_->bpause.click();
}

void KeyboardControl::shuttle(bool forward)
{
    const int now = selected_->vsb.value();
    for (int step : forward ? forwardSteps : reverseSteps) {
        if (forward ? step > now : step < now) {
            selected_->vsb.setValue(step);
            return;
        }
    }
}

void KeyboardControl::showKeysInTooltips()
{
    for (VCRPanel* panel : {&player_, &recorder_}) {
        setToolTip(panel->vcrlabel, "F1 selects the player, F2 the recorder");
        setToolTip(panel->bplay, "Space: play / stop");
        setToolTip(panel->bpause, "K (Space while playing)");
        setToolTip(panel->bjogr, "Left");
        setToolTip(panel->bjogf, "Right");
        setToolTip(panel->vsb, "J / L: shuttle reverse / forward (again: faster)");
        setToolTip(panel->bsetcue, "I");
        setToolTip(panel->bsetreview, "O");
        setToolTip(panel->bcueplay, "C");
    }
    setToolTip(edit_.bautostart, "Ctrl+Return");
    setToolTip(edit_.bpreview, "Ctrl+P");
    setToolTip(edit_.ballstop, "Esc (always; aborts an edit)");
}
