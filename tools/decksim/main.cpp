// kestrix-decksim: the virtual player and recorder decks as a program.

#include "tools/decksim/CommandLine.h"
#include "tools/decksim/SettingsFile.h"
#include "tools/decksim/VirtualDecks.h"

#include <cerrno>
#include <csignal>
#include <iostream>
#include <memory>
#include <poll.h>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <sys/signalfd.h>
#include <system_error>
#include <unistd.h>

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

// Carries out one command and returns what it answers on standard output, a line for each
// deck it acted on.
std::string carryOut(decksim::VirtualDecks& decks, const decksim::InputCommand& command)
{
    using Kind = decksim::InputCommand::Kind;
    const std::string commandName(decksim::DeckCommands::name(command.command));
    std::string answer;
    for (const decksim::Role role : command.decks) {
        answer += roleName(role);
        switch (command.kind) {
        case Kind::Unplug:
            decks.unplug(role);
            answer += " unplugged";
            break;
        case Kind::Plug:
            decks.plugBack(role);
            answer += " plugged";
            break;
        case Kind::PowerCycle:
            decks.powerCycle(role);
            answer += " power-cycled";
            break;
        case Kind::Local:
        case Kind::Remote:
            decks.setLocal(role, command.kind == Kind::Local);
            answer += command.kind == Kind::Local ? " local" : " remote";
            break;
        case Kind::Refuse:
            decks.refuse(role, command.command, command.times);
            answer += " refuses ";
            answer += commandName;
            if (command.times) {
                answer += ' ';
                answer += std::to_string(*command.times);
            }
            break;
        case Kind::Allow:
            decks.allow(role, command.command);
            answer += " allows " + commandName;
            break;
        case Kind::Mount:
            decks.mount(command.reel);
            answer += " mounted " + command.reel;
            break;
        }
        answer += '\n';
    }
    return answer;
}

void carryOut(decksim::VirtualDecks& decks, const std::string& line)
{
    if (line.find_first_not_of(" \t\r") == std::string::npos) {
        return;
    }
    decksim::InputCommand command;
    try {
        command = decksim::InputCommand::parse(line);
    } catch (const decksim::UsageError& error) {
        std::cerr << programName << ": " << error.what() << std::endl;
        return;
    }
    try {
        std::cout << carryOut(decks, command) << std::flush;
    } catch (const std::invalid_argument& error) {
        std::cerr << programName << ": " << error.what() << std::endl;
    } catch (const std::system_error& error) {
        std::cerr << programName << ": cannot plug the " << roleName(command.decks.front()) << " back: " << error.what()
                  << std::endl;
    }
}

// Carries out the commands of each whole line that has come; false at the end of the input.
bool takeInput(decksim::VirtualDecks& decks, std::string& pending)
{
    char buffer[256];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
        return got < 0 && errno == EINTR;
    }
    pending.append(buffer, static_cast<std::size_t>(got));
    for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
        carryOut(decks, pending.substr(0, end));
    }
    return true;
}

// Serves the commands of standard input until an ending signal comes.
void serveUntilSignalled(decksim::VirtualDecks& decks, const sigset_t& signals)
{
    const int signalled = ::signalfd(-1, &signals, SFD_CLOEXEC);
    if (signalled < 0) {
        int signal = 0;
        sigwait(&signals, &signal);
        return;
    }
    std::string pending;
    pollfd watched[2] = {{signalled, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    while (!(watched[0].revents & POLLIN)) {
        if (::poll(watched, 2, -1) < 0 && errno != EINTR) {
            break;
        }
        if ((watched[1].revents & (POLLIN | POLLHUP)) && !takeInput(decks, pending)) {
            watched[1].fd = -1;  // the input has ended: only a signal ends the program now
        }
    }
    ::close(signalled);
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
    serveUntilSignalled(*decks, signals);
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
