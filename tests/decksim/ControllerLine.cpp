#include "tests/decksim/ControllerLine.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace decksim::test {

Bytes hex(const std::string& text)
{
    Bytes bytes;
    for (std::size_t at = 0; at + 1 < text.size(); at += 3) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(at, 2), nullptr, 16)));
    }
    return bytes;
}

ControllerLine::ControllerLine(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
{
    if (fd_ < 0) {
        throw std::runtime_error("cannot open " + path);
    }
    termios mode{};
    tcgetattr(fd_, &mode);
    cfmakeraw(&mode);
    tcsetattr(fd_, TCSANOW, &mode);
    tcflush(fd_, TCIOFLUSH);
}

ControllerLine::~ControllerLine() { ::close(fd_); }

void ControllerLine::write(const Bytes& bytes)
{
    if (::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        throw std::runtime_error("write to the deck failed");
    }
}

Bytes ControllerLine::read(std::size_t count, std::chrono::milliseconds deadline)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + deadline;
    Bytes bytes;
    while (bytes.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) {
            break;
        }
        pollfd readable{fd_, POLLIN, 0};
        if (::poll(&readable, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        std::uint8_t buffer[64];
        const ssize_t got = ::read(fd_, buffer, std::min(sizeof buffer, count - bytes.size()));
        if (got > 0) {
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
    }
    return bytes;
}

Bytes ControllerLine::exchange(const Bytes& block, std::size_t replyLength)
{
    write(block);
    return read(replyLength);
}

int ControllerLine::timeCode()
{
    const Bytes reply = exchange("61 0C 03 70", 7);
    if (reply.size() != 7) {
        throw std::runtime_error("no time code reply");
    }
    const auto bcd = [](std::uint8_t byte) { return (byte >> 4) * 10 + (byte & 0x0F); };
    return bcd(reply[2]) + 30 * (bcd(reply[3]) + 60 * (bcd(reply[4]) + 60 * bcd(reply[5])));
}

Bytes ControllerLine::status()
{
    const Bytes reply = exchange("61 20 09 8A", 12);
    if (reply.size() != 12) {
        throw std::runtime_error("no status reply");
    }
    return Bytes(reply.begin() + 2, reply.end() - 1);
}

bool ControllerLine::hungUp() const
{
    pollfd watched{fd_, POLLIN, 0};
    const std::uint8_t probe = 0;
    return ::poll(&watched, 1, 0) == 1 && (watched.revents & POLLHUP) != 0 && ::write(fd_, &probe, 1) < 0 && errno == EIO;
}

}  // namespace decksim::test
