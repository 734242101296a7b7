#pragma once

#include "ui/Choice.h"
#include "ui/Frame.h"
#include "ui/Label.h"

#include <memory>

// The small window in which the operator changes the two prerolls and the edit adjust.
// Closing it applies the values to both decks, saves the settings file and brings the main
// window back.
class Settings : public ui::Frame {
public:
    static constexpr int wid = 280;
    static constexpr int hit = 120;
    static constexpr int fontheight = 15;

    Settings();

    ui::Choice rvcrpreroll;
    ui::Choice pvcrpreroll;
    ui::Choice pvcradjust;
    // Shared by every dialog, as the labels of the class.
    static ui::Label& rpreroll();
    static ui::Label& ppreroll();
    static ui::Label& padjust();

private:
    void closing();
};
