#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>
#include <vector>

// A pseudo-terminal whose far end (the master) stopped reading. The test writes into the
// line's output queue through a descriptor of its own on the slave until the kernel takes no
// more, so every later write to the line stalls, as on a line whose CTS dropped.
class StalledLine {
    using Clock = std::chrono::steady_clock;
    using Bytes = std::vector<std::uint8_t>;

public:
    StalledLine() : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        path_ = ::ptsname(master_);
        // Opened before the link, which then holds the line exclusively.
        filler_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (filler_ < 0)
            throw std::runtime_error("cannot open " + path_);
    }
    ~StalledLine()
    {
        ::close(filler_);
        ::close(master_);
    }
    StalledLine(const StalledLine&) = delete;
    StalledLine& operator=(const StalledLine&) = delete;

    const std::string& slavePath() const { return path_; }

    // Called after the link opened the line: opening discards whatever the queue held. The
    // kernel moves part of the queue to the far end's side in the background, so the line is
    // full only once a further write is refused and the far end's share stopped growing.
    void fill()
    {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        for (;;) {
            writeUntilRefused();
            const int queued = farEndQueued();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (writeUntilRefused() == 0 && queued > 0 && farEndQueued() == queued && !writable())
                return;
            if (Clock::now() > deadline)
                throw std::runtime_error("the line never filled");
        }
    }

    // The far end reads again: takes everything queued until nothing more comes for a while.
    void drain()
    {
        std::uint8_t chunk[4096];
        for (pollfd readable{master_, POLLIN, 0}; ::poll(&readable, 1, 50) > 0;) {
            if (::read(master_, chunk, sizeof chunk) <= 0)
                return;
        }
    }

    // Reads until what came ends with the bytes; false when they did not come within the limit.
    bool receives(const Bytes& bytes, std::chrono::milliseconds limit)
    {
        const auto deadline = Clock::now() + limit;
        Bytes received;
        while (received.size() < bytes.size() || !std::equal(bytes.rbegin(), bytes.rend(), received.rbegin())) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd readable{master_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&readable, 1, static_cast<int>(left.count())) <= 0)
                return false;
            std::uint8_t chunk[256];
            const ssize_t n = ::read(master_, chunk, sizeof chunk);
            if (n <= 0)
                return false;
            received.insert(received.end(), chunk, chunk + n);
        }
        return true;
    }

private:
    // Big blocks are refused while the kernel still has room for small ones (it hands out
    // its buffer space in pieces), so the blocks shrink down to single bytes.
    std::size_t writeUntilRefused()
    {
        std::size_t total = 0;
        for (const std::size_t size : {4096, 256, 16, 1})
            total += writeBlocksUntilRefused(size);
        return total;
    }

    std::size_t writeBlocksUntilRefused(std::size_t size)
    {
        const std::string block(size, 'x');
        std::size_t total = 0;
        for (;;) {
            const ssize_t n = ::write(filler_, block.data(), block.size());
            if (n > 0) {
                total += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN)
                throw std::runtime_error("filling the line failed");
            return total;
        }
    }

    int farEndQueued() const
    {
        int queued = 0;
        return ::ioctl(master_, FIONREAD, &queued) == 0 ? queued : -1;
    }

    bool writable() const
    {
        pollfd watch{filler_, POLLOUT, 0};
        return ::poll(&watch, 1, 0) > 0 && (watch.revents & POLLOUT) != 0;
    }

    int master_ = -1;
    int filler_ = -1;
    std::string path_;
};
