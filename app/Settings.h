#pragma once

#include "ui/Choice.h"
#include "ui/Frame.h"
#include "ui/Label.h"

#include <atomic>
#include <functional>

// The small window in which the operator changes the two prerolls and the edit adjust.
// Closing it applies the values to both decks, saves the settings file and brings the main
// window back. A dialog is built on the operator thread and releases itself once closed.
class Settings : public ui::Frame {
public:
    static constexpr int wid = 280;
    static constexpr int hit = 120;
    static constexpr int fontheight = 15;
    // The label texts, the same for every dialog.
    static constexpr const char* rprerolltext = " Rec VCR Preroll";
    static constexpr const char* pprerolltext = " Play VCR Preroll";
    static constexpr const char* padjusttext = " Edit Adjust";

    // released is told, on the operator thread, just before the closed dialog is deleted.
    explicit Settings(std::function<void(Settings*)> released = {});

    ui::Choice rvcrpreroll;
    ui::Choice pvcrpreroll;
    ui::Choice pvcradjust;
    // A widget has one parent, so each dialog has its own labels with the shared texts.
    ui::Label rpreroll;
    ui::Label ppreroll;
    ui::Label padjust;

private:
    void closing();
    void applyvalues();
    void release();

    std::function<void(Settings*)> released_;
    std::atomic<bool> closed_{false};
};
