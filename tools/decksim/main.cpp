// kestrix-decksim: the virtual player and recorder decks as a program.

#include "tools/decksim/CommandLine.h"
#include "tools/decksim/SettingsFile.h"
#include "tools/decksim/VirtualDecks.h"

#include <csignal>
#include <iostream>
#include <memory>
#include <pthread.h>
#include <system_error>

namespace {

constexpr const char* programName = "kestrix-decksim";

int failure(const std::string& message, int status)
{
    std::cerr << programName << ": " << message << std::endl;
    return status;
}

// Blocks the ending signals in every thread, so that main can wait for them.
sigset_t endingSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    return signals;
}

int run(const decksim::CommandLine& commandLine)
{
    using decksim::Role;
    const sigset_t signals = endingSignals();
    std::unique_ptr<decksim::VirtualDecks> decks;
    try {
        decks = std::make_unique<decksim::VirtualDecks>(commandLine.decks);
    } catch (const std::system_error& error) {
        return failure(std::string("cannot create the pseudo-terminals: ") + error.what(), 1);
    }
    decks->setMuted(Role::Player, commandLine.mutePlayer);
    decks->setMuted(Role::Recorder, commandLine.muteRecorder);
    decks->setNoCue(Role::Player, commandLine.noCuePlayer);
    decks->setNoCue(Role::Recorder, commandLine.noCueRecorder);
    if (!commandLine.trace.empty() && !decks->writeTraceTo(commandLine.trace)) {
        return failure("cannot write the trace file " + commandLine.trace, 1);
    }
    if (!commandLine.report.empty() && !decks->writeReportTo(commandLine.report)) {
        return failure("cannot write the report file " + commandLine.report, 1);
    }
    if (!commandLine.dir.empty()) {
        const decksim::SettingsFile::Decks settings{decks->path(Role::Player), decks->path(Role::Recorder),
                                                    commandLine.prerollSeconds, commandLine.adjustFrames};
        if (const std::string error = decksim::SettingsFile::prepare(commandLine.dir, settings); !error.empty()) {
            return failure(error, 1);
        }
    }
    std::cout << "player " << decks->path(Role::Player) << '\n'
              << "recorder " << decks->path(Role::Recorder) << '\n'
              << "ready" << std::endl;
    int signal = 0;
    sigwait(&signals, &signal);
    decks.reset();
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    decksim::CommandLine commandLine;
    try {
        commandLine = decksim::CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const decksim::UsageError& error) {
        std::cerr << programName << ": " << error.what() << "\nTry '" << programName << " --help'." << std::endl;
        return 2;
    }
    if (commandLine.help) {
        std::cout << decksim::CommandLine::usage();
        return 0;
    }
    return run(commandLine);
}
