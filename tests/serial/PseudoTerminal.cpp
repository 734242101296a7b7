#include "tests/serial/PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal()
    : master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC))
{
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    path = ::ptsname(master);
}

PseudoTerminal::~PseudoTerminal()
{
    closeMaster();
}

void PseudoTerminal::write(const Bytes& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(master, bytes.data() + done, bytes.size() - done);
        if (written <= 0) {
            throw std::runtime_error("master write failed");
        }
        done += static_cast<std::size_t>(written);
    }
}

PseudoTerminal::Bytes PseudoTerminal::read(std::size_t count, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Bytes received;
    while (received.size() < count && std::chrono::steady_clock::now() < deadline) {
        pollfd watch{master, POLLIN, 0};
        if (::poll(&watch, 1, 10) <= 0 || (watch.revents & POLLIN) == 0) {
            continue;
        }
        std::uint8_t chunk[256];
        const ssize_t n = ::read(master, chunk, std::min(sizeof chunk, count - received.size()));
        if (n > 0) {
            received.insert(received.end(), chunk, chunk + n);
        }
    }
    return received;
}

void PseudoTerminal::closeMaster()
{
    if (master >= 0) {
        ::close(master);
        master = -1;
    }
}
