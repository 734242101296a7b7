// Reply latency of the virtual decks: 1,000 status requests over a pseudo-terminal, as a
// controller sends them, one outstanding at a time. Prints the median and the worst case.

#include "tools/decksim/VirtualDecks.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int requests = 1000;
constexpr std::uint8_t statusRequest[] = {0x61, 0x20, 0x09, 0x8A};
constexpr std::size_t statusReplyLength = 12;

int openRaw(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios mode{};
    tcgetattr(fd, &mode);
    cfmakeraw(&mode);
    tcsetattr(fd, TCSANOW, &mode);
    return fd;
}

// Microseconds from writing the request to having the whole reply; negative on a lost reply.
double exchange(int fd)
{
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    if (::write(fd, statusRequest, sizeof statusRequest) != sizeof statusRequest) {
        return -1;
    }
    std::size_t got = 0;
    std::uint8_t reply[32];
    while (got < statusReplyLength) {
        pollfd readable{fd, POLLIN, 0};
        if (::poll(&readable, 1, 1000) <= 0) {
            return -1;
        }
        const ssize_t count = ::read(fd, reply + got, sizeof reply - got);
        if (count <= 0) {
            return -1;
        }
        got += static_cast<std::size_t>(count);
    }
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void measure(int replyDelayMs)
{
    decksim::Options options;
    options.replyDelayMs = replyDelayMs;
    decksim::VirtualDecks decks(options);
    const int fd = openRaw(decks.path(decksim::Role::Player));
    std::vector<double> latencies;
    int lost = 0;
    for (int i = 0; i < requests; ++i) {
        const double micros = exchange(fd);
        if (micros < 0) {
            ++lost;
        } else {
            latencies.push_back(micros);
        }
    }
    ::close(fd);
    std::sort(latencies.begin(), latencies.end());
    const double median = latencies.empty() ? 0 : latencies[latencies.size() / 2];
    const double worst = latencies.empty() ? 0 : latencies.back();
    std::printf("reply delay %d ms: %d status requests, median %.0f us, worst %.0f us, lost %d\n", replyDelayMs, requests,
                median, worst, lost);
}

}  // namespace

int main()
{
    measure(2);
    measure(0);
    return 0;
}
