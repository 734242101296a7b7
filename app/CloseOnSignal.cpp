#include "app/CloseOnSignal.h"

#include "deck/Utils.h"
#include "ui/Frame.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    // Async-signal-safe; a full pipe already holds a pending request.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

void drain(int fd)
{
    char bytes[16];
    while (::read(fd, bytes, sizeof bytes) > 0) {
    }
}

}

void CloseOnSignal::install(ui::Frame& window)
{
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        Utils::OutLine("Termination signals cannot close the window");
        return;
    }
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [&window] {
        drain(signalPipe[0]);
        window.requestClose();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // The terminal closed (SIGHUP) or the quit key pressed in it (SIGQUIT) end the program as
    // surely as SIGTERM does, and must leave no recorder recording either.
    for (const int number : {SIGTERM, SIGINT, SIGHUP, SIGQUIT})
        sigaction(number, &action, nullptr);
}
