#pragma once

#include "app/Kestrix.h"
#include "app/MainGUI.h"
#include "deck/VCR.h"
#include "eventlist/ListFile.h"
#include "listwindow/ListKeeper.h"
#include "listwindow/ListWindow.h"
#include "tools/decksim/TimeCode.h"
#include "tools/decksim/VirtualDecks.h"
#include "ui/EVCR.h"
#include "ui/EVCRPanel.h"
#include "ui/OperatorThread.h"
#include "ui/VCRPanel.h"

#include <QLineEdit>
#include <QTest>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

// A player and a recorder deck controller on the virtual decks, with the edit controller and,
// when asked, the event list with its window and the main window, running in a fresh working
// folder that holds the settings file and an empty edl.txt. For tests on the GUI thread.
class EditRig {
public:
    struct Setup {
        decksim::Options decks{};
        int preroll = 1;
        int adjust = 0;
        bool log = true;
        bool window = false;
        // The event list (kestrix.edl in the folder) and its window; the list file holds
        // listText first when it is not empty.
        bool list = false;
        std::string listText = "";
    };

    explicit EditRig(Setup setup)
        : decks(setup.decks), timeBase_(setup.decks.timeBase), previous_(std::filesystem::current_path())
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrix-edit-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        folder = pattern;
        std::filesystem::current_path(folder);
        std::ofstream("edl.txt").flush();
        Kestrix::prodtitle = Kestrix::name;
        Kestrix::vcrtype1 = Kestrix::vcrtype2 = "RS422";
        Kestrix::comport1 = decks.path(decksim::Role::Player);
        Kestrix::comport2 = decks.path(decksim::Role::Recorder);
        Kestrix::lanc1 = Kestrix::lanc2 = false;
        Kestrix::pvcrpreroll = Kestrix::rvcrpreroll = setup.preroll;
        Kestrix::pvcradjust = setup.adjust;
        Kestrix::log = setup.log;
        writeSettings();
        EVCRPanel::emode = 0;
        EVCRPanel::editnum = 0;

        player = std::make_unique<VCR>(Kestrix::comport1, false, false);
        VCRPanel::attachTo(*player);
        Kestrix::pvcr = player.get();
        player->makepreroll(setup.preroll);
        player->setadjust(setup.adjust);
        recorder = std::make_unique<VCR>(Kestrix::comport2, false, true);
        VCRPanel::attachTo(*recorder);
        Kestrix::rvcr = recorder.get();
        recorder->makepreroll(setup.preroll);
        evcr = std::make_unique<EVCR>(*player, *recorder, Kestrix::editSettings());
        Kestrix::evcr = evcr.get();
        if (setup.list) {
            if (!setup.listText.empty())
                std::ofstream(folder / listFileName) << setup.listText;
            std::optional<ReadList> read = ListKeeper::load(listPath(), TimeBase());
            keeper = std::make_unique<ListKeeper>(read ? read->list : EventList(), listPath());
            panel().setListLink(keeper.get());
            listWindow = std::make_unique<ListWindow>(*keeper, *evcr);
            Kestrix::list = keeper.get();
            Kestrix::listwindow = listWindow.get();
            ui::OperatorThread::instance().waitUntilIdle();
        }
        if (setup.window) {
            gui = std::make_unique<MainGUI>();
            Kestrix::gui = gui.get();
        } else {
            player->GetTC();
            recorder->GetTC();
        }
        auto* status = static_cast<QLineEdit*>(panel().statusfield.qwidget());
        QObject::connect(status, &QLineEdit::textChanged,
                         [this](const QString& text) { statusHistory.push_back(text.toStdString()); });
    }

    ~EditRig()
    {
        ui::OperatorThread::instance().waitUntilIdle();
        Kestrix::gui = nullptr;
        Kestrix::evcr = nullptr;
        Kestrix::list = nullptr;
        Kestrix::listwindow = nullptr;
        gui.reset();
        listWindow.reset();
        panel().setListLink(nullptr);
        keeper.reset();
        evcr.reset();
        Kestrix::pvcr = Kestrix::rvcr = nullptr;
        recorder.reset();
        player.reset();
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(folder);
    }

    EVCRPanel& panel() { return evcr->panel(); }

    static constexpr const char* listFileName = "kestrix.edl";
    std::string listPath() const { return (folder / listFileName).string(); }
    // The list as its file holds it now.
    EventList listInFile() const { return ListFile::load(listPath(), TimeBase()).list; }

    void writeSettings() const
    {
        std::ofstream(folder / Kestrix::settingsFileName)
            << "KESTRIX Settings\n \nPlayVCRType=RS422\nPlayVCRCOMPort=" << Kestrix::comport1
            << "\nPlayVCRPreroll=3\n \nRecVCRType=RS422\nRecVCRCOMPort=" << Kestrix::comport2
            << "\nRecVCRPreroll=3\n \nEditAdjust=0\n \nStopOnExit=YES\nLogEdits=YES\n";
    }

    // Sets a deck's in and out points as the operator does by typing them.
    void setPoints(VCR& vcr, const std::string& in, const std::string& out)
    {
        ui::OperatorThread::instance().post([&vcr, in, out] {
            vcr.setfield(in, DeckView::Point::In);
            vcr.setfield(out, DeckView::Point::Out);
            vcr.setdirectin();
        });
        ui::OperatorThread::instance().waitUntilIdle();
    }

    // Presses the mode buttons until the edit mode is the one asked for.
    void chooseMode(std::uint8_t emode)
    {
        const std::pair<std::uint8_t, std::vector<ui::Button*>> presses[] = {
            {0x20, {&panel().bassemble}},
            {0x53, {&panel().bassemble, &panel().bassemble}},
            {0x50, {&panel().bvideo}},
            {0x41, {&panel().baudio1}},
        };
        for (const auto& [mode, buttons] : presses) {
            if (mode != emode)
                continue;
            for (ui::Button* button : buttons)
                button->click();
        }
        ui::OperatorThread::instance().waitUntilIdle();
    }

    bool waitForStatus(const std::string& text, int ms)
    {
        return QTest::qWaitFor([&] { return panel().statusfield.text() == text; }, ms);
    }

    bool statusShown(const std::string& text) const
    {
        return std::find(statusHistory.begin(), statusHistory.end(), text) != statusHistory.end();
    }

    // When the deck received the block, in microseconds, searching from `after` on.
    std::optional<std::int64_t> received(decksim::Role deck, const std::vector<std::uint8_t>& bytes,
                                         std::int64_t after = 0) const
    {
        for (const decksim::TraceEntry& entry : decks.trace()) {
            if (entry.deck == deck && entry.received && entry.bytes == bytes && entry.micros >= after)
                return entry.micros;
        }
        return std::nullopt;
    }

    int countReceived(decksim::Role deck, const std::vector<std::uint8_t>& bytes, std::int64_t after = 0) const
    {
        int count = 0;
        for (const decksim::TraceEntry& entry : decks.trace())
            count += entry.deck == deck && entry.received && entry.bytes == bytes && entry.micros >= after;
        return count;
    }

    struct Segment {
        std::string channels;
        int recFirst, recLast, srcFirst, srcLast;
    };

    std::vector<Segment> segments() const
    {
        static const std::regex pattern(
            R"(segment channels=(\S+) rec=(\S{11})-(\S{11}) src=(\S{11})-(\S{11}))");
        std::vector<Segment> found;
        for (const std::string& line : decks.reportLines()) {
            std::smatch match;
            if (std::regex_search(line, match, pattern))
                found.push_back({match[1], frames(match[2]), frames(match[3]), frames(match[4]), frames(match[5])});
        }
        return found;
    }

    // A label of the decks' tape and its frame, read with the virtual decks' own time code,
    // never the controller's.
    int frames(const std::string& tc) const
    {
        const auto frame = decksim::TimeCode::parse(tc, timeBase_);
        if (!frame)
            throw std::invalid_argument("not a label of the virtual tape: " + tc);
        return *frame;
    }

    std::string edl() const
    {
        std::ifstream in(folder / "edl.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    decksim::VirtualDecks decks;
    std::filesystem::path folder;
    std::unique_ptr<VCR> player;
    std::unique_ptr<VCR> recorder;
    std::unique_ptr<EVCR> evcr;
    std::unique_ptr<ListKeeper> keeper;
    std::unique_ptr<ListWindow> listWindow;
    std::unique_ptr<MainGUI> gui;
    std::vector<std::string> statusHistory;

private:
    decksim::TimeBase timeBase_;
    std::filesystem::path previous_;
};
