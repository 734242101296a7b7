// Idle CPU of the deck controllers: two decks polling the virtual decks (run as their own
// process, so that only the controller is measured) for a while, as a share of one core.
//
//   deck_idle_cpu [seconds]      (default 30)

#include "deck/VCR.h"
#include "ui/VCRPanel.h"

#include <QApplication>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double wallSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

// The virtual decks as a child process, and the two device paths it announced.
struct DeckProcess {
    pid_t pid = -1;
    std::string player, recorder;
};

DeckProcess startDecks()
{
    int out[2];
    if (pipe(out) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char program[] = KESTRIX_DECKSIM;
    char* argv[] = {program, nullptr};
    DeckProcess decks;
    if (posix_spawn(&decks.pid, program, &actions, nullptr, argv, environ) != 0)
        decks.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    FILE* announced = fdopen(out[0], "r");
    char line[512];
    while (announced && std::fgets(line, sizeof line, announced)) {
        std::string text(line);
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        if (text.rfind("player ", 0) == 0)
            decks.player = text.substr(7);
        else if (text.rfind("recorder ", 0) == 0)
            decks.recorder = text.substr(9);
        else if (text == "ready")
            break;
    }
    return decks;
}

}

int main(int argc, char* argv[])
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);

    DeckProcess decks = startDecks();
    if (decks.player.empty() || decks.recorder.empty()) {
        std::cerr << "the virtual decks did not start\n";
        return 1;
    }
    auto player = std::make_unique<VCR>(decks.player, false, false);
    VCRPanel::attachTo(*player);
    auto recorder = std::make_unique<VCR>(decks.recorder, false, true);
    VCRPanel::attachTo(*recorder);
    player->GetTC();
    recorder->GetTC();

    const double cpuBefore = cpuSeconds();
    const double wallBefore = wallSeconds();
    QTimer::singleShot(seconds * 1000, &application, &QApplication::quit);
    application.exec();
    const double cpu = cpuSeconds() - cpuBefore;
    const double wall = wallSeconds() - wallBefore;

    player.reset();
    recorder.reset();
    kill(decks.pid, SIGTERM);
    waitpid(decks.pid, nullptr, 0);

    std::cout << "two decks polling for " << wall << " s: " << cpu << " s of CPU, " << 100.0 * cpu / wall
              << " % of one core (goal <= 1 %, aim 0.5 %)\n";
    return 0;
}
