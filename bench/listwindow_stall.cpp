// The event list's window while its list is saved: a 999-event list in the window, changed on
// the operator thread as edits and trims change it, each change saved to the disk by the
// list's own thread. The GUI thread runs a 2 ms timer; a tick that comes late shows how long
// the GUI thread could not serve the window. Printed: the longest stall and the 99th
// percentile, for changes 50 ms apart (each is saved) and back to back (saves coalesce), next
// to what one save takes, which is what the window would wait if it saved the list itself.

#include "deck/VCR.h"
#include "eventlist/ListFile.h"
#include "listwindow/ListKeeper.h"
#include "listwindow/ListWindow.h"
#include "tools/decksim/VirtualDecks.h"
#include "ui/EVCR.h"
#include "ui/OperatorThread.h"
#include "ui/VCRPanel.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int tickMs = 2;
constexpr int listSize = 999;

// A programme butted on the record tape from one hour, events of 2 to 8 seconds, a clip name on each.
EventList programme(int count)
{
    EventList list;
    list.setTitle("STALL BENCHMARK");
    int record = 108000;
    for (int index = 0; index < count; ++index) {
        const int length = 60 + (index * 37) % 180;
        const int source = 108000 * (1 + index % 9) + index * 211;
        Event event = Event::fromEdit(0x53, "TAPE" + std::to_string(1 + index % 40),
                                      {source, source + length, record, record + length}, FrameCountMode::NonDrop);
        event.notes.push_back({Note::Kind::Comment, "* FROM CLIP NAME: SHOT " + std::to_string(index + 1)});
        list.insert(list.size(), event);
        record += length;
    }
    return list;
}

// An edit the recorder confirmed, one second long, after the list's end.
ConfirmedEdit editAfter(const EventList& list)
{
    const int at = list.empty() ? 108000 : list[list.size() - 1].recordOut();
    const TimeBase labels = list.labelsOf(list.frameCountMode());
    EditRequest request;
    request.playIn = labels.labelOf(30000);
    request.playOut = labels.labelOf(30030);
    request.recIn = labels.labelOf(at);
    request.recOut = labels.labelOf(at + 30);
    request.mode = 0x53;
    EditOutcome edit;
    edit.kind = EditOutcome::Kind::Completed;
    edit.onTape = true;
    edit.exact = true;
    EventOutcome outcome;
    outcome.kind = edit.kind;
    outcome.edits = {edit};
    return {std::nullopt, {request}, outcome};
}

// Late ticks of the GUI thread's timer while changes run.
class StallMeter {
public:
    StallMeter()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            if (last_ != Clock::time_point{})
                gaps_.push_back(std::chrono::duration<double, std::milli>(now - last_).count() - tickMs);
            last_ = now;
        });
    }
    void start()
    {
        gaps_.clear();
        last_ = {};
        timer_.start(tickMs);
    }
    void stop() { timer_.stop(); }
    void print(const char* what) const
    {
        std::vector<double> sorted = gaps_;
        std::sort(sorted.begin(), sorted.end());
        if (sorted.empty())
            return;
        std::printf("%-44s GUI thread stall: longest %6.2f ms, 99th percentile %5.2f ms (%zu ticks)\n", what,
                    sorted.back(), sorted[sorted.size() * 99 / 100], sorted.size());
    }

private:
    QTimer timer_;
    Clock::time_point last_{};
    std::vector<double> gaps_;
};

// Serves the GUI thread until done is set.
void serveUntil(const std::atomic<bool>& done)
{
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Runs count changes on the operator thread, pause apart, while the meter watches the GUI thread.
void run(const char* what, ListKeeper& keeper, StallMeter& meter, int count, std::chrono::milliseconds pause,
         const std::function<void(ListKeeper&, int)>& change)
{
    const std::uint64_t savesBefore = keeper.saver().savesDone();
    std::atomic<bool> done{false};
    meter.start();
    std::thread feeder([&] {
        for (int index = 0; index < count; ++index) {
            ui::OperatorThread::instance().post([&keeper, &change, index] { change(keeper, index); });
            std::this_thread::sleep_for(pause);
        }
        ui::OperatorThread::instance().post([&keeper, &done] {
            keeper.flush(std::chrono::seconds(30));
            done = true;
        });
    });
    serveUntil(done);
    feeder.join();
    meter.stop();
    meter.print(what);
    std::printf("%-44s %d changes, %llu saves\n", "", count,
                static_cast<unsigned long long>(keeper.saver().savesDone() - savesBefore));
}

void measureSaves(const EventList& list, const std::string& path)
{
    std::vector<double> millis;
    for (int index = 0; index < 30; ++index) {
        const auto start = Clock::now();
        ListFile::save(path, list);
        millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(millis.begin(), millis.end());
    std::printf("one save of the %zu-event list (atomic, flushed): median %6.2f ms, worst %6.2f ms\n", list.size(),
                millis[millis.size() / 2], millis.back());
}

// What the GUI thread itself spends on one change: the table shown anew and painted.
void measureTableUpdates(ListWindow& window, const EventList& list)
{
    EventList trimmed = list;
    trimmed.trim(0, TrimPoint::RecordOut, 1, Ripple::On);
    std::vector<double> millis;
    // The window shown and exposed, and the list it had handed over.
    const auto until = Clock::now() + std::chrono::milliseconds(500);
    while (Clock::now() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    for (int index = 0; index < 100; ++index) {
        const auto start = Clock::now();
        window.table.show(index % 2 ? list : trimmed);
        static_cast<QAbstractScrollArea*>(window.table.qwidget())->viewport()->repaint();
        millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(millis.begin(), millis.end());
    std::printf("the table shown anew and painted (%zu events): median %6.2f ms, worst %6.2f ms\n", list.size(),
                millis[millis.size() / 2], millis.back());
}

void printLoad()
{
    double load = 0;
    if (FILE* file = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(file, "%lf", &load) != 1)
            load = 0;
        std::fclose(file);
    }
    std::printf("load average (1 min) at the start: %.2f on %u cores\n", load, std::thread::hardware_concurrency());
}

}

int main(int argc, char* argv[])
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    std::string folder = (std::filesystem::temp_directory_path() / "kestrix-stall-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr)
        return 1;
    const std::string path = folder + "/kestrix.edl";
    printLoad();
    measureSaves(programme(listSize), folder + "/measure.edl");
    {
        decksim::VirtualDecks decks;
        VCR player(decks.path(decksim::Role::Player), false, false);
        VCRPanel::attachTo(player);
        VCR recorder(decks.path(decksim::Role::Recorder), false, true);
        VCRPanel::attachTo(recorder);
        EVCR evcr(player, recorder, {1, 1, false});
        ListKeeper keeper(programme(listSize - 100), path);
        ListWindow window(keeper, evcr);
        window.open();
        ui::OperatorThread::instance().waitUntilIdle();
        measureTableUpdates(window, programme(listSize));
        StallMeter meter;

        const auto addEdit = [](ListKeeper& list, int) { list.onTape(editAfter(list.list())); };
        run("100 edits added to 899 events, 50 ms apart", keeper, meter, 100, std::chrono::milliseconds(50), addEdit);
        const auto ripple = [](ListKeeper& list, int index) {
            list.trim({0, list.list()[0].number}, TrimPoint::RecordOut, index % 2 ? -1 : 1, Ripple::On);
        };
        run("100 rippling trims of 999 events, back to back", keeper, meter, 100, std::chrono::milliseconds(0), ripple);
        const auto undoAndRedo = [](ListKeeper& list, int index) { index % 2 ? list.redo() : list.undo(); };
        run("100 undos and redos, 50 ms apart", keeper, meter, 100, std::chrono::milliseconds(50), undoAndRedo);
        ui::OperatorThread::instance().waitUntilIdle();
    }
    std::filesystem::remove_all(folder);
    return 0;
}
