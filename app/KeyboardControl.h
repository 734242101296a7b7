#pragma once

#include <QColor>
#include <QObject>

class EVCRPanel;
class ListWindow;
class QKeyEvent;
class QWidget;
class VCRPanel;

// The main window's keys. Each key presses the button (or moves the shuttle bar) that a click
// would, so its action takes the same road to the operator thread. Deck keys act on the
// selected deck: F1 the player, F2 the recorder. While a point field has the focus, keys type
// into it; only the edit keys (Ctrl+Return, Ctrl+P, Esc), the list keys (Ctrl+L opens the
// event list window, Ctrl+R recalls the last edit, Ctrl+M matches the frame) and F1/F2 still
// act. For the GUI thread.
class KeyboardControl : public QObject {
public:
    // Without a list window the list keys do nothing.
    KeyboardControl(QWidget& window, VCRPanel& player, VCRPanel& recorder, EVCRPanel& edit,
                    ListWindow* list = nullptr);
    ~KeyboardControl() override;
    KeyboardControl(const KeyboardControl&) = delete;
    KeyboardControl& operator=(const KeyboardControl&) = delete;

    // The selected deck's heading takes this colour.
    static inline const QColor selectedcol{255, 220, 0};

    void select(VCRPanel& deck);
    VCRPanel& selected() const { return *selected_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool editKey(const QKeyEvent& key, QObject* watched);
    bool listKey(const QKeyEvent& key);
    bool deckKey(const QKeyEvent& key);
    void playOrStop();
    void stop();
    void shuttle(bool forward);
    void showKeysInTooltips();

    QWidget& window_;
    VCRPanel& player_;
    VCRPanel& recorder_;
    EVCRPanel& edit_;
    ListWindow* list_;
    VCRPanel* selected_;
};
