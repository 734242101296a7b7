#include "tools/decksim/DeckPort.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace decksim {

namespace {

[[noreturn]] void fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

constexpr int writeWaitMs = 20;

}  // namespace

DeckPort::DeckPort()
{
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        fail("posix_openpt");
    }
    char name[128];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        const int error = errno;
        ::close(master_);
        errno = error;
        fail("pseudo-terminal set-up");
    }
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios mode{};
    if (slave_ < 0 || tcgetattr(master_, &mode) != 0) {
        const int error = errno;
        ::close(master_);
        if (slave_ >= 0) {
            ::close(slave_);
        }
        errno = error;
        fail("pseudo-terminal slave");
    }
    // Raw bytes both ways: no echo, no line editing, no character translation.
    cfmakeraw(&mode);
    mode.c_cflag |= CLOCAL | CREAD;
    tcsetattr(master_, TCSANOW, &mode);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

DeckPort::~DeckPort()
{
    ::close(slave_);
    ::close(master_);
}

std::size_t DeckPort::readAvailable(std::uint8_t* buffer, std::size_t capacity)
{
    for (;;) {
        const ssize_t count = ::read(master_, buffer, capacity);
        if (count > 0) {
            return static_cast<std::size_t>(count);
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        // EAGAIN: nothing there. EIO would mean no slave is open, which our own descriptor
        // prevents; either way there is nothing to read now.
        return 0;
    }
}

void DeckPort::write(const Bytes& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (count > 0) {
            done += static_cast<std::size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0 && errno == EAGAIN) {
            pollfd writable{master_, POLLOUT, 0};
            if (::poll(&writable, 1, writeWaitMs) > 0) {
                continue;
            }
        }
        return;
    }
}

}  // namespace decksim
