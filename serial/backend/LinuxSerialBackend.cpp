#include "serial/backend/LinuxSerialBackend.h"

#include "serial/backend/TermiosSettings.h"
#include "serial/backend/UsbSerialAdapter.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace serial {

namespace {

using Clock = std::chrono::steady_clock;

// How long one SerFlowTask step lasts: the kernel does CTS/RTS flow itself, so a step
// only has to keep the task's loop from spinning.
constexpr auto flowTaskStep = std::chrono::milliseconds(5);

std::string textOf(const SerialConfig::Bytes& bytes)
{
    // A name is stored without terminator, but a record that was never given one holds
    // a single zero byte.
    std::string text(bytes.begin(), bytes.end());
    return text.substr(0, text.find('\0'));
}

// The n of "COMn" (n >= 1), or nothing for any other name.
std::optional<int> comNumberOf(const std::string& name)
{
    const std::string prefix = "COM";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0
        || name.size() > prefix.size() + 6) {
        return std::nullopt;
    }
    int number = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return std::nullopt;
        }
        number = number * 10 + (name[i] - '0');
    }
    if (number < 1) {
        return std::nullopt;
    }
    return number;
}

// A device that has gone away (adapter pulled, the far side of a pseudo-terminal closed)
// reports a hang-up or an error instead of data.
bool deviceGone(int fd)
{
    pollfd watch{fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&watch, 1, 0);
    } while (ready < 0 && errno == EINTR);
    return ready < 0 || (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// Milliseconds left until the deadline, rounded up so that a wait never ends before it.
int millisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
}

// Waits until the device has input or has gone, or until the wake descriptor is signalled,
// for at most timeoutMs milliseconds (without limit when negative). 1 when something
// happened, 0 when the time passed, -1 when poll failed.
int waitForInput(int fd, int wakeFd, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        pollfd watch[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int ready = ::poll(watch, 2, timeoutMs < 0 ? -1 : millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        return ready < 0 ? -1 : (ready > 0 ? 1 : 0);
    }
}

// The bytes waiting to be read, or -1.
int bytesWaiting(int fd)
{
    int waiting = 0;
    return ::ioctl(fd, FIONREAD, &waiting) == 0 ? waiting : -1;
}

// Waits until the device takes more output, for at most limitMs milliseconds.
bool waitWritable(int fd, int limitMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        pollfd watch{fd, POLLOUT, 0};
        const int ready = ::poll(&watch, 1, millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0 || (watch.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            return false;
        }
        return (watch.revents & POLLOUT) != 0;
    }
}

int mapOpenError(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return LinuxSerialBackend::PermissionDenied;
    case EBUSY:
        return SerialBackend::InUse;
    default:
        return SerialBackend::NotValid;
    }
}

// Unix98 pseudo-terminal slaves (/dev/pts/N) have these major device numbers.
constexpr unsigned int firstPtySlaveMajor = 136;
constexpr unsigned int lastPtySlaveMajor = 143;

bool isPseudoTerminal(dev_t device)
{
    return major(device) >= firstPtySlaveMajor && major(device) <= lastPtySlaveMajor;
}

bool sameLineSettings(const termios& wanted, const termios& actual, bool pseudoTerminal)
{
    const bool raw = wanted.c_iflag == actual.c_iflag && wanted.c_oflag == actual.c_oflag
        && wanted.c_lflag == actual.c_lflag && wanted.c_cc[VMIN] == actual.c_cc[VMIN]
        && wanted.c_cc[VTIME] == actual.c_cc[VTIME];
    // A pseudo-terminal always keeps 8 data bits without parity, whatever it is asked.
    const tcflag_t framing = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS;
    return raw && (pseudoTerminal || (wanted.c_cflag & framing) == (actual.c_cflag & framing));
}

} // namespace

LinuxSerialBackend::~LinuxSerialBackend()
{
    for (auto& [index, entry] : ports) {
        std::unique_lock lock(entry->mutex);
        closeEntry(*entry, lock);
    }
}

void LinuxSerialBackend::closeEntry(PortEntry& entry, std::unique_lock<std::mutex>& lock)
{
    entry.closing = true;
    if (entry.waiters > 0) {
        const std::uint64_t wake = 1;
        [[maybe_unused]] const ssize_t written = ::write(entry.wakeFd, &wake, sizeof wake);
        entry.waitersGone.wait(lock, [&entry] { return entry.waiters == 0; });
    }
    ::ioctl(entry.fd, TIOCNXCL);
    ::close(entry.fd);
    ::close(entry.wakeFd);
    entry.fd = -1;
    entry.wakeFd = -1;
}

std::optional<std::string> LinuxSerialBackend::devicePathOf(const SerialConfig& cfg)
{
    const std::string name = textOf(cfg.getPortName());
    if (!name.empty()) {
        if (name.front() == '/') {
            return name;
        }
        if (const auto number = comNumberOf(name)) {
            return "/dev/ttyS" + std::to_string(*number - 1);
        }
        return std::nullopt;
    }
    const std::string stem = textOf(cfg.getBaseName());
    if (stem.empty() || cfg.getPort() < 1) {
        return std::nullopt;
    }
    return stem + std::to_string(cfg.getPort() - 1);
}

int LinuxSerialBackend::SerGetLibVer()
{
    return LibraryVersion;
}

int LinuxSerialBackend::SerOpenPort(SerialConfig& cfg)
{
    const auto path = devicePathOf(cfg);
    if (!path) {
        return NotValid;
    }
    std::lock_guard lock(tableMutex);
    return openDevice(*path, cfg);
}

int LinuxSerialBackend::openDevice(const std::string& path, SerialConfig& cfg)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return errno == EACCES ? PermissionDenied : NotValid;
    }
    if (!S_ISCHR(status.st_mode)) {
        return NotValid;
    }
    if (holdsDevice(status.st_rdev)) {
        return AlreadyOpen;
    }
    const auto number = chooseNumber(cfg);
    if (!number) {
        return InUse;
    }
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return mapOpenError(errno);
    }
    if (!::isatty(fd)) {
        ::close(fd);
        return NotValid;
    }
    // The lock keeps out another controller even when it runs as root, which TIOCEXCL
    // alone would let through.
    int locked = -1;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        ::close(fd);
        return InUse;
    }
    // Signalled by a close, so that a thread waiting for input lets go of the descriptor.
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        ::close(fd);
        return NotValid;
    }
    ::ioctl(fd, TIOCEXCL);
    // Bytes that arrived while no program held the port belong to nobody's request.
    ::tcflush(fd, TCIOFLUSH);

    auto entry = std::make_shared<PortEntry>();
    entry->fd = fd;
    entry->wakeFd = wakeFd;
    entry->device = status.st_rdev;
    entry->path = path;
    ports[*number - 1] = entry;
    cfg.setPortNum(*number);
    return 0;
}

bool LinuxSerialBackend::holdsDevice(dev_t device) const
{
    for (const auto& [index, entry] : ports) {
        if (entry->device == device) {
            return true;
        }
    }
    return false;
}

std::optional<int> LinuxSerialBackend::chooseNumber(const SerialConfig& cfg) const
{
    const auto isFree = [this](int number) { return ports.count(number - 1) == 0; };
    const std::string name = textOf(cfg.getPortName());
    if (name.empty()) {
        // The number is the device itself: reopening the record must find the same one.
        return isFree(cfg.getPort()) ? std::optional<int>(cfg.getPort()) : std::nullopt;
    }
    const auto comNumber = comNumberOf(name);
    if (comNumber && isFree(*comNumber)) {
        return comNumber;
    }
    int number = 1;
    while (!isFree(number)) {
        ++number;
    }
    return number;
}

std::shared_ptr<LinuxSerialBackend::PortEntry> LinuxSerialBackend::find(int port)
{
    std::lock_guard lock(tableMutex);
    const auto entry = ports.find(port);
    return entry == ports.end() ? nullptr : entry->second;
}

template <typename Action>
int LinuxSerialBackend::withPort(int port, Action action)
{
    const auto entry = find(port);
    if (!entry) {
        return -1;
    }
    std::lock_guard lock(entry->mutex);
    if (entry->fd < 0) {
        return -1;
    }
    return action(*entry);
}

int LinuxSerialBackend::SerConfigure(const SerialConfig& cfg)
{
    const auto wanted = TermiosSettings::build(cfg);
    if (!wanted) {
        return SettingsRejected;
    }
    const int result = withPort(cfg.getPort() - 1, [&wanted](PortEntry& entry) {
        const bool pseudoTerminal = isPseudoTerminal(entry.device);
        // The C library reports EINVAL when the driver did not keep the parity or the
        // character size; a pseudo-terminal never does, and that is fine for it.
        if (::tcsetattr(entry.fd, TCSANOW, &*wanted) != 0 && !(errno == EINVAL && pseudoTerminal)) {
            return SettingsRejected;
        }
        termios actual{};
        if (::tcgetattr(entry.fd, &actual) != 0 || !sameLineSettings(*wanted, actual, pseudoTerminal)) {
            return SettingsRejected;
        }
        return 0;
    });
    return result == -1 ? NotValid : result;
}

int LinuxSerialBackend::SerClosePort(int port)
{
    std::shared_ptr<PortEntry> closing;
    {
        std::lock_guard lock(tableMutex);
        const auto entry = ports.find(port);
        if (entry == ports.end()) {
            return -1;
        }
        closing = entry->second;
        ports.erase(entry);
    }
    std::unique_lock lock(closing->mutex);
    closeEntry(*closing, lock);
    return 0;
}

int LinuxSerialBackend::SerPutByte(int port, std::uint8_t b)
{
    return SerPutData(port, &b, 1) == 1 ? 0 : -1;
}

int LinuxSerialBackend::SerPutData(int port, const std::uint8_t* data, int count)
{
    if (count <= 0 || data == nullptr) {
        return 0;
    }
    const int sent = withPort(port, [data, count](PortEntry& entry) {
        return writeAll(entry, data, count);
    });
    return sent < 0 ? 0 : sent;
}

int LinuxSerialBackend::writeAll(PortEntry& entry, const std::uint8_t* data, int count)
{
    // The transmit time-out bounds how long the device may take no output at all; a
    // device that stalls longer, hangs up or fails ends the write with what it took.
    int sent = 0;
    while (sent < count) {
        const ssize_t written = ::write(entry.fd, data + sent, static_cast<std::size_t>(count - sent));
        if (written > 0) {
            sent += static_cast<int>(written);
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && errno == EAGAIN && waitWritable(entry.fd, entry.timeoutTx)) {
            continue;
        } else {
            break;
        }
    }
    return sent;
}

int LinuxSerialBackend::readAvailable(int fd, std::uint8_t* buffer, int count)
{
    for (;;) {
        const ssize_t received = ::read(fd, buffer, static_cast<std::size_t>(count));
        if (received > 0) {
            return static_cast<int>(received);
        }
        if (received < 0 && errno == EINTR) {
            continue;
        }
        if (received < 0 && errno != EAGAIN) {
            return -1;
        }
        // With nothing waiting the read gives 0 (or EAGAIN); a hung-up device gives 0 too.
        return deviceGone(fd) ? -1 : 0;
    }
}

int LinuxSerialBackend::SerGetByte(int port)
{
    std::uint8_t b = 0;
    const int received = withPort(port, [&b](PortEntry& entry) {
        return readAvailable(entry.fd, &b, 1);
    });
    return received == 1 ? b : -1;
}

int LinuxSerialBackend::SerGetData(int port, std::uint8_t* buffer, int count)
{
    return withPort(port, [buffer, count](PortEntry& entry) {
        if (count <= 0 || buffer == nullptr) {
            return 0;
        }
        return readAvailable(entry.fd, buffer, count);
    });
}

int LinuxSerialBackend::SerRxWait(int port, int timeoutMs)
{
    const auto entry = find(port);
    if (!entry) {
        return -1;
    }
    std::unique_lock lock(entry->mutex);
    if (entry->fd < 0 || entry->closing) {
        return -1;
    }
    const int fd = entry->fd;
    const int wakeFd = entry->wakeFd;
    // Bytes already waiting end the wait at once.
    ++entry->waiters;
    lock.unlock();
    const int happened = waitForInput(fd, wakeFd, timeoutMs);
    lock.lock();
    --entry->waiters;
    entry->waitersGone.notify_all();
    if (entry->closing || happened < 0) {
        return -1;
    }
    const int waiting = bytesWaiting(fd);
    // Bytes that arrived before a hang-up are read first; after them, the hang-up is said.
    if (waiting == 0 && deviceGone(fd)) {
        return -1;
    }
    return waiting;
}

int LinuxSerialBackend::SerRxFlush(int port)
{
    return withPort(port, [](PortEntry& entry) { return ::tcflush(entry.fd, TCIFLUSH) == 0 ? 0 : -1; });
}

int LinuxSerialBackend::SerTxFlush(int port)
{
    return withPort(port, [](PortEntry& entry) { return ::tcflush(entry.fd, TCOFLUSH) == 0 ? 0 : -1; });
}

int LinuxSerialBackend::SerTxDrain(int port)
{
    return withPort(port, [](PortEntry& entry) {
        int drained = -1;
        do {
            drained = ::tcdrain(entry.fd);
        } while (drained != 0 && errno == EINTR);
        return drained == 0 ? 0 : -1;
    });
}

int LinuxSerialBackend::SerRxReadyCount(int port)
{
    return withPort(port, [](PortEntry& entry) {
        const int waiting = bytesWaiting(entry.fd);
        if (waiting < 0) {
            return -1;
        }
        // Bytes that arrived before a hang-up can still be read; after them, report it.
        if (waiting == 0 && deviceGone(entry.fd)) {
            return -1;
        }
        return waiting;
    });
}

int LinuxSerialBackend::SerTxBufCount(int port)
{
    return withPort(port, [](PortEntry& entry) {
        int pending = 0;
        return ::ioctl(entry.fd, TIOCOUTQ, &pending) == 0 ? pending : -1;
    });
}

// Overflow and line-error sensing are not offered on Linux; the port object refuses them
// before it would ask.
int LinuxSerialBackend::SerRxOverflow(int)
{
    return -1;
}

int LinuxSerialBackend::SerSetDTR(int port, bool level)
{
    return setModemLine(port, TIOCM_DTR, level);
}

int LinuxSerialBackend::SerSetRTS(int port, bool level)
{
    return setModemLine(port, TIOCM_RTS, level);
}

int LinuxSerialBackend::setModemLine(int port, int lineBit, bool level)
{
    return withPort(port, [lineBit, level](PortEntry& entry) {
        return ::ioctl(entry.fd, level ? TIOCMBIS : TIOCMBIC, &lineBit) == 0 ? 0 : -1;
    });
}

int LinuxSerialBackend::modemLine(int port, int lineBit)
{
    return withPort(port, [lineBit](PortEntry& entry) {
        int lines = 0;
        if (::ioctl(entry.fd, TIOCMGET, &lines) != 0) {
            return -1;
        }
        return (lines & lineBit) != 0 ? 1 : 0;
    });
}

int LinuxSerialBackend::SerSendBreak(int port, int duration)
{
    // The duration is in milliseconds; 0 sends the terminal's standard break.
    return withPort(port, [duration](PortEntry& entry) {
        return ::tcsendbreak(entry.fd, duration) == 0 ? 0 : -1;
    });
}

int LinuxSerialBackend::SerSetTimeoutRx(int port, int ms)
{
    return withPort(port, [ms](PortEntry& entry) {
        if (ms < 0) {
            return -1;
        }
        entry.timeoutRx = ms;
        return 0;
    });
}

int LinuxSerialBackend::SerSetTimeoutTx(int port, int ms)
{
    return withPort(port, [ms](PortEntry& entry) {
        if (ms < 0) {
            return -1;
        }
        entry.timeoutTx = ms;
        return 0;
    });
}

int LinuxSerialBackend::SerGetTimeoutRx(int port)
{
    return withPort(port, [](PortEntry& entry) { return entry.timeoutRx; });
}

int LinuxSerialBackend::SerGetTimeoutTx(int port)
{
    return withPort(port, [](PortEntry& entry) { return entry.timeoutTx; });
}

int LinuxSerialBackend::SerSigCTS(int port)
{
    return modemLine(port, TIOCM_CTS);
}

int LinuxSerialBackend::SerSigDSR(int port)
{
    return modemLine(port, TIOCM_DSR);
}

int LinuxSerialBackend::SerSigCD(int port)
{
    return modemLine(port, TIOCM_CD);
}

int LinuxSerialBackend::SerSigRing(int port)
{
    return modemLine(port, TIOCM_RI);
}

int LinuxSerialBackend::SerSigFrameErr(int)
{
    return -1;
}

int LinuxSerialBackend::SerSigParityErr(int)
{
    return -1;
}

int LinuxSerialBackend::SerSigOverrun(int)
{
    return -1;
}

int LinuxSerialBackend::SerSigBreak(int)
{
    return -1;
}

int LinuxSerialBackend::SerFlowTask(int port)
{
    std::this_thread::sleep_for(flowTaskStep);
    return find(port) ? 0 : -1;
}

LowLatency LinuxSerialBackend::SerRequestLowLatency(int port)
{
    std::optional<UsbSerialAdapter> adapter;
    const bool driverTookFlag = withPort(port, [&](PortEntry& entry) {
        // A pseudo-terminal has no adapter behind it, whatever sysfs holds.
        if (isPseudoTerminal(entry.device)) {
            return 0;
        }
        adapter = UsbSerialAdapter::find(sysfsRoot_, entry.path);
        if (!adapter) {
            return 0;
        }
        serial_struct line{};
        if (::ioctl(entry.fd, TIOCGSERIAL, &line) != 0) {
            return 0;
        }
        line.flags |= ASYNC_LOW_LATENCY;
        return ::ioctl(entry.fd, TIOCSSERIAL, &line) == 0 ? 1 : 0;
    }) == 1;
    if (!adapter) {
        return {};
    }
    LowLatency got = adapter->lowerLatencyTimer();
    if (!got.latencyMs && !driverTookFlag) {
        got.why += ", and the driver refused its low-latency flag";
    }
    return got;
}

} // namespace serial
