#pragma once

#include <QObject>

class EVCRPanel;
class ListWindow;
class QKeyEvent;

// The list window's keys. Each presses the button a click would, so it takes the same road:
//   Q / W   record in one frame earlier / later     (with Shift: ten frames)
//   E / R   record out
//   A / S   source in
//   D / F   source out
//   X ripple on / off, Delete, Insert (the marked points), N (renumber),
//   Ctrl+Z undo, Ctrl+Y or Ctrl+Shift+Z redo, Ctrl+R recall, Ctrl+M match frame,
//   the list assembled: F5 all of it, F6 from the chosen event, F7 resumed, B B-mode on / off,
//   F3 / F4 yes / no to the run's question, F8 retry, F9 skip, F10 stop a stopped run,
// and the edit panel's keys, as in the main window: Ctrl+Return DO EDIT, Ctrl+P PREVIEW and
// Esc ALL STOP (always). Up and Down (Page Up and Page Down by ten, Home, End) choose an event
// in the table, as a click does. While the reel field is being typed into, only the keys with
// Ctrl, the function keys and Esc act. For the GUI thread.
class ListKeys : public QObject {
public:
    ListKeys(ListWindow& window, EVCRPanel& edit);
    ~ListKeys() override;
    ListKeys(const ListKeys&) = delete;
    ListKeys& operator=(const ListKeys&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool controlKey(const QKeyEvent& key);
    bool runKey(const QKeyEvent& key);
    bool listKey(const QKeyEvent& key);

    ListWindow& window_;
    EVCRPanel& edit_;
};
