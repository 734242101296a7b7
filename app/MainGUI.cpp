#include "app/MainGUI.h"

#include "app/Kestrix.h"
#include "app/KeyboardControl.h"
#include "app/Settings.h"
#include "deck/InvalidTimeCode.h"
#include "deck/Utils.h"
#include "deck/VCR.h"
#include "ui/EVCR.h"
#include "ui/EVCRPanel.h"
#include "ui/Gui.h"
#include "ui/OperatorThread.h"
#include "ui/VCRPanel.h"

#include <QTimer>

MainGUI::MainGUI() : ui::Frame(Kestrix::prodtitle), pvcr(Kestrix::pvcr), rvcr(Kestrix::rvcr)
{
    setFont(ui::Font::helvetica(ui::Font::applicationHeight));
    setBackground(backgroundcol);
    setForeground(Qt::black);
    show();
    EVCRPanel& editpanel = Kestrix::evcr->panel();
    VCRPanel& playerpanel = VCRPanel::of(*pvcr);
    VCRPanel& recorderpanel = VCRPanel::of(*rvcr);
    add(playerpanel);
    add(editpanel);
    add(recorderpanel);
    playerpanel.setBounds(0, 5, VCRPanel::width + 10, 280);
    editpanel.setBounds(VCRPanel::width + 10, 5, EVCRPanel::width + 10, 280);
    recorderpanel.setBounds(VCRPanel::width + EVCRPanel::width + 20, 5, VCRPanel::width + 10, 280);
    setSize(wid, hit);
    keyboard_ = std::make_unique<KeyboardControl>(*qwidget(), playerpanel, recorderpanel, editpanel, Kestrix::listwindow);
    editpanel.onSettings([this] { opensettings(); });
    show();
    rvcr->GetTC();
    pvcr->GetTC();
    // Taking the in points may pause (an out point behind the in point), and pauses never run
    // on the GUI thread: the rest goes to the operator thread, in order, once the event loop
    // runs, so that start-up has registered the closing handler before "KESTRIX READY".
    QTimer::singleShot(0, qwidget(), [this] { ui::OperatorThread::instance().post([this] { announceready(); }); });
}

MainGUI::~MainGUI()
{
    if (Kestrix::evcr)
        Kestrix::evcr->panel().onSettings(nullptr);
}

void MainGUI::opensettings()
{
    hide();
    settings = new Settings([this](Settings* closed) { settings.compare_exchange_strong(closed, nullptr); });
}

void MainGUI::announceready()
{
    takeStartingPoint(*rvcr);
    takeStartingPoint(*pvcr);
    Utils::OutLine("KESTRIX READY");
    EVCRPanel& editpanel = Kestrix::evcr->panel();
    editpanel.ShowStatus("KESTRIX READY...");
    ui::Gui::post([&editpanel] {
        QTimer::singleShot(readypause, editpanel.qwidget(),
                           [&editpanel] { editpanel.ShowStatus("Please Select Edit Mode Above"); });
    });
    if (whenReady_)
        whenReady_();
}

void MainGUI::takeStartingPoint(VCR& vcr)
{
    // A deck whose time code is not a label of the configured time base keeps its points and
    // says so; the program is ready all the same.
    try {
        vcr.setcue();
    } catch (const InvalidTimeCode&) {
        vcr.ShowStat("INVALID TIME CODE");
    }
}
