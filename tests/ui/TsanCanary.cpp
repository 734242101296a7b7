// A deliberate data race in a GUI-thread callback, run only by scripts/run-tsan.sh: the script
// fails unless ThreadSanitizer reports it. It proves that the suppressions leave our own code
// in view when Qt's frames call it (a queued call, a timer, a button handler).

#include <QApplication>
#include <QTimer>

#include <atomic>
#include <thread>

namespace {

// Written by a worker thread and by the GUI thread with nothing between them.
int unguarded = 0;

// Called from Qt's timer dispatch on the GUI thread.
__attribute__((noinline)) void raceInAGuiCallback()
{
    ++unguarded;
}

}

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    std::atomic<bool> started{false};
    std::thread worker([&started] {
        started = true;
        for (int i = 0; i < 1000000; ++i)
            unguarded = i;
    });
    while (!started) {
    }
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [] { raceInAGuiCallback(); });
    ticks.start(0);
    QTimer::singleShot(500, &application, &QApplication::quit);
    QApplication::exec();
    worker.join();
    return 0;
}
