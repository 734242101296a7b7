#pragma once

#include "ui/Frame.h"

#include <QColor>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class KeyboardControl;
class Settings;
class VCR;

// The one main window: the player's deck panel, the edit panel and the recorder's deck panel
// side by side. Building it starts both decks' polling and announces readiness.
class MainGUI : public ui::Frame {
public:
    static inline const QColor backgroundcol{80, 170, 250};
    static constexpr int wid = 795;
    static constexpr int hit = 288;
    static constexpr int readypause = 1000;

    // For the GUI thread.
    MainGUI();
    ~MainGUI() override;

    std::string name = "KESTRIX";
    VCR* pvcr;
    VCR* rvcr;

    KeyboardControl& keyboard() { return *keyboard_; }
    // Runs on the operator thread right after "KESTRIX READY"; set before the event loop runs.
    void whenReady(std::function<void()> then) { whenReady_ = std::move(then); }
    // The settings dialog last opened while it is open; a dialog releases itself when closed.
    // Atomic: the operator thread opens it, the GUI thread closes it, tests read it.
    std::atomic<Settings*> settings{nullptr};

private:
    void announceready();
    // The edit panel's SETTINGS press: the window steps aside for the dialog.
    void opensettings();
    // The deck's current time code becomes its in point.
    static void takeStartingPoint(VCR& vcr);

    std::unique_ptr<KeyboardControl> keyboard_;
    std::function<void()> whenReady_;
};
