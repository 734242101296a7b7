#include "app/Settings.h"

#include "app/Kestrix.h"
#include "app/SettingsFile.h"
#include "app/MainGUI.h"
#include "deck/InvalidTimeCode.h"
#include "deck/VCR.h"
#include "ui/Gui.h"
#include "ui/OperatorThread.h"

#include <string>

namespace {

void fillseconds(ui::Choice& choice, int current)
{
    for (int seconds = 0; seconds <= 9; ++seconds)
        choice.add(std::to_string(seconds));
    // A value outside the items selects nothing: the choice keeps showing its first item.
    if (current < 10)
        choice.select(current);
}

}

Settings::Settings(std::function<void(Settings*)> released)
    : ui::Frame(Kestrix::name + " Settings"),
      rpreroll(rprerolltext),
      ppreroll(pprerolltext),
      padjust(padjusttext),
      released_(std::move(released))
{
    setSize(wid, hit);
    useGrid(3, 2);
    setFont(ui::Font::helvetica(fontheight));
    setBackground(Qt::lightGray);
    setForeground(Qt::black);
    fillseconds(rvcrpreroll, Kestrix::rvcrpreroll);
    fillseconds(pvcrpreroll, Kestrix::pvcrpreroll);
    for (int frames = -9; frames <= 9; ++frames)
        pvcradjust.add(std::to_string(frames));
    if (Kestrix::pvcradjust < 10)
        pvcradjust.select(Kestrix::pvcradjust + 9);
    for (ui::Widget* widget : std::initializer_list<ui::Widget*>{&rpreroll, &rvcrpreroll, &ppreroll, &pvcrpreroll,
                                                                 &padjust, &pvcradjust})
        add(*widget);
    onCloseRequested([this] { closing(); });
    show();
}

void Settings::closing()
{
    // A second close request may arrive before the window is gone; the values are applied once.
    if (closed_.exchange(true))
        return;
    try {
        applyvalues();
    } catch (const InvalidTimeCode&) {
        // The player's in point no longer reads as a time code; the values are saved anyway.
    }
    Kestrix::SaveProps();
    if (Kestrix::gui)
        Kestrix::gui->show();
    dispose();
    release();
}

void Settings::applyvalues()
{
    Kestrix::pvcradjust = std::stoi(pvcradjust.selectedItem());
    Kestrix::rvcrpreroll = rvcrpreroll.selectedIndex();
    Kestrix::pvcrpreroll = pvcrpreroll.selectedIndex();
    SettingsFile::applyPrerollRules();
    Kestrix::pvcr->setadjust(Kestrix::pvcradjust);
    Kestrix::rvcr->makepreroll(Kestrix::rvcrpreroll);
    Kestrix::pvcr->makepreroll(Kestrix::pvcrpreroll);
    Kestrix::pvcr->setcue();
}

void Settings::release()
{
    // Once the GUI thread has taken the window down no further close request can be queued;
    // the deletion then goes behind every request queued before it.
    ui::Gui::post([this] {
        ui::OperatorThread::instance().post([this] {
            if (released_)
                released_(this);
            delete this;
        });
    });
}
