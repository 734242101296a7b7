#include "app/Kestrix.h"

#include "app/CloseOnSignal.h"
#include "app/CommandLine.h"
#include "app/MainGUI.h"
#include "app/SettingsError.h"
#include "app/SettingsFile.h"
#include "app/UnattendedAssembly.h"
#include "deck/LongWaits.h"
#include "deck/RecordGuard.h"
#include "deck/Utils.h"
#include "deck/VCR.h"
#include "deck/VCRPort.h"
#include "eventlist/ListError.h"
#include "listwindow/ListKeeper.h"
#include "listwindow/ListWindow.h"
#include "ui/EVCR.h"
#include "ui/EVCRPanel.h"
#include "ui/OperatorThread.h"
#include "ui/VCRPanel.h"

#include <csignal>
#include <memory>

namespace {
Utils utilsInstance;

// A recorder that records on after an edit gets this long to confirm that its guard has
// stopped it before the program ends regardless.
constexpr auto guardAtExit = std::chrono::seconds(5);
// The event list's last change gets this long to reach its file before the program ends.
constexpr auto listAtExit = std::chrono::seconds(2);

// Ends the program as the main window's closing does: stop both decks (twice, half a second
// apart, so a deck that missed the first stop still gets one) and end the process.
void closeWithStatus(int status)
{
    // The polls have nothing left to show: the links are the stops' at once, not between polls
    // that a stalled line makes last their whole write limit.
    Kestrix::pvcr->holdPolling(true);
    Kestrix::rvcr->holdPolling(true);
    if (Kestrix::stoponexit) {
        Kestrix::pvcr->stopvcr();
        Kestrix::rvcr->stopvcr();
        Utils::DelayT(500);
        Kestrix::pvcr->stopvcr();
        Kestrix::rvcr->stopvcr();
    }
    if (!Kestrix::rvcr->recordGuard().waitUntilClear(guardAtExit))
        Utils::OutLine("Record VCR: RECORDER STILL RECORDING AT EXIT");
    if (Kestrix::list && !Kestrix::list->flush(listAtExit))
        Utils::OutLine("EVENT LIST NOT SAVED AT EXIT: " + Kestrix::list->path());
    Kestrix::pvcr->link().closeForExit();
    Kestrix::rvcr->link().closeForExit();
    Utils::ExitProcess(status);
}

void windowClosing()
{
    closeWithStatus(0);
}

// The program's one unattended run, when --assemble asked for it; it lives as long as the process.
std::unique_ptr<UnattendedAssembly> unattended;
}

void Kestrix::init(const std::optional<AssembleArguments>& assemble)
{
    // A console reader gone (a closed terminal, a pipe into a program that ended) must not end
    // the program while a recorder may be recording: the write fails and the line is lost.
    std::signal(SIGPIPE, SIG_IGN);
    utils = &utilsInstance;
    name = "KESTRIX";
    prodtitle = name;
    Utils::OutLine(prodtitle);
    Utils::OutLine("Featuring:  RS422 Linear Editing");
    GetProps();
    EventList events = OpenList();

    ui::Font::applicationHeight = fontheight;
    pvcr = new VCR(comport1, lanc1, false, {recon1, compression1, videomode1, videotype1});
    VCRPanel::attachTo(*pvcr);
    pvcr->setTimeBase(timebase);
    pvcr->makepreroll(pvcrpreroll);
    pvcr->setadjust(pvcradjust);
    rvcr = new VCR(comport2, lanc2, true, {recon2, compression2, videomode2, videotype2});
    VCRPanel::attachTo(*rvcr);
    rvcr->setTimeBase(timebase);
    rvcr->makepreroll(rvcrpreroll);
    // The edit adjust times the player only.
    rvcradjust = 0;
    rvcr->setadjust(0);
    Utils::OutLine(" ");

    evcr = new EVCR(*pvcr, *rvcr, editSettings());
    list = new ListKeeper(std::move(events), listpath);
    evcr->panel().setListLink(list);
    listwindow = new ListWindow(*list, *evcr);
    gui = new MainGUI();
    // Closing aborts a running edit first, so the decks are stopped at once.
    gui->onCloseRequested(windowClosing, ui::Button::Press::AbortsSequence);
    CloseOnSignal::install(*gui);
    if (assemble) {
        unattended = std::make_unique<UnattendedAssembly>(*assemble, closeWithStatus);
        gui->whenReady([] { ui::OperatorThread::instance().postPress([] { unattended->run(); }, true); });
    }
}

EditSettings Kestrix::editSettings()
{
    return {pvcrpreroll, rvcrpreroll, log};
}

void Kestrix::GetProps()
{
    SettingsFile file(settingsFileName);
    if (!file.exists()) {
        Utils::OutLine("No configuration file found!");
        LongWaits::pause(std::chrono::milliseconds(5000));
        Utils::ExitProcess(1);
    }
    try {
        file.load();
    } catch (const SettingsError& error) {
        Utils::OutLine(error.what());
        Utils::ExitProcess(1);
    }
}

EventList Kestrix::OpenList()
{
    try {
        std::optional<ReadList> read = ListKeeper::load(listpath, timebase);
        if (!read)
            return EventList(timebase);
        for (const ListWarning& warning : read->warnings)
            Utils::OutLine("Event list " + listpath + ": " + warning.message());
        const std::size_t events = read->list.size();
        Utils::OutLine("Event list " + listpath + ": " + std::to_string(events) + (events == 1 ? " event" : " events"));
        return std::move(read->list);
    } catch (const ListError& error) {
        Utils::OutLine(std::string("Event list not read: ") + error.what());
        Utils::ExitProcess(CommandLine::usageStatus);
    }
}

void Kestrix::SaveProps()
{
    SettingsFile file(settingsFileName);
    if (!file.exists()) {
        Utils::OutLine("No configuration file can be saved!");
        LongWaits::pause(std::chrono::milliseconds(5000));
        return;
    }
    try {
        file.save();
    } catch (const SettingsError& error) {
        Utils::OutLine(error.what());
    }
}
