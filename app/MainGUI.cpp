#include "app/MainGUI.h"

#include "app/KeyboardControl.h"
#include "app/Kestrix.h"
#include "app/Utils.h"
#include "deck/InvalidTimeCode.h"
#include "deck/VCR.h"
#include "ui/EVCR.h"
#include "ui/EVCRPanel.h"
#include "ui/Gui.h"
#include "ui/OperatorThread.h"
#include "ui/VCRPanel.h"

#include <QTimer>

MainGUI::MainGUI() : ui::Frame(Kestrix::prodtitle), pvcr(Kestrix::pvcr), rvcr(Kestrix::rvcr)
{
    setFont(ui::Font::helvetica(Kestrix::fontheight));
    setBackground(backgroundcol);
    setForeground(Qt::black);
    show();
    EVCRPanel& editpanel = Kestrix::evcr->panel();
    add(pvcr->panel());
    add(editpanel);
    add(rvcr->panel());
    pvcr->panel().setBounds(0, 5, VCRPanel::width + 10, 280);
    editpanel.setBounds(VCRPanel::width + 10, 5, EVCRPanel::width + 10, 280);
    rvcr->panel().setBounds(VCRPanel::width + EVCRPanel::width + 20, 5, VCRPanel::width + 10, 280);
    setSize(wid, hit);
    keyboard_ = std::make_unique<KeyboardControl>(*qwidget(), pvcr->panel(), rvcr->panel(), editpanel);
    show();
    rvcr->GetTC();
    pvcr->GetTC();
    // Taking the in points may pause (an out point behind the in point), and pauses never run
    // on the GUI thread: the rest goes to the operator thread, in order, once the event loop
    // runs, so that start-up has registered the closing handler before "KESTRIX READY".
    QTimer::singleShot(0, qwidget(), [this] { ui::OperatorThread::instance().post([this] { announceready(); }); });
}

MainGUI::~MainGUI() = default;

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
