#include "app/Settings.h"

#include "app/Kestrix.h"
#include "app/MainGUI.h"
#include "app/SettingsFile.h"
#include "deck/VCR.h"
#include "ui/Gui.h"
#include "ui/OperatorThread.h"

#include <algorithm>
#include <string>

namespace {

constexpr int lowestPreroll = 0, highestPreroll = 9;
constexpr int lowestAdjust = -9, highestAdjust = 9;

// The items first..last; a current value outside them is shown as an extra item in its
// place, so that closing the dialog saves it back unless the operator picks another.
void fill(ui::Choice& choice, int first, int last, int current)
{
    if (current < first)
        choice.add(std::to_string(current));
    for (int value = first; value <= last; ++value)
        choice.add(std::to_string(value));
    if (current > last)
        choice.add(std::to_string(current));
    choice.select(current < first ? 0 : std::min(current, last + 1) - first);
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
    fill(rvcrpreroll, lowestPreroll, highestPreroll, Kestrix::rvcrpreroll);
    fill(pvcrpreroll, lowestPreroll, highestPreroll, Kestrix::pvcrpreroll);
    fill(pvcradjust, lowestAdjust, highestAdjust, Kestrix::pvcradjust);
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
    applyvalues();
    Kestrix::SaveProps();
    if (Kestrix::gui)
        Kestrix::gui->show();
    dispose();
    release();
}

void Settings::applyvalues()
{
    Kestrix::pvcradjust = std::stoi(pvcradjust.selectedItem());
    Kestrix::rvcrpreroll = std::stoi(rvcrpreroll.selectedItem());
    Kestrix::pvcrpreroll = std::stoi(pvcrpreroll.selectedItem());
    SettingsFile::applyPrerollRules();
    Kestrix::pvcr->setadjust(Kestrix::pvcradjust);
    Kestrix::rvcr->makepreroll(Kestrix::rvcrpreroll);
    Kestrix::pvcr->makepreroll(Kestrix::pvcrpreroll);
    if (Kestrix::evcr)
        Kestrix::evcr->useSettings(Kestrix::editSettings());
    // The marked points of both decks stay as the operator left them.
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
