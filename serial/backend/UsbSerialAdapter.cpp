#include "serial/backend/UsbSerialAdapter.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace serial {

namespace {

// The path with every link resolved, or nothing when it does not exist.
std::optional<std::string> resolved(const std::string& path)
{
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    if (!real) {
        return std::nullopt;
    }
    return std::string(real.get());
}

std::string lastComponent(const std::string& path)
{
    return path.substr(path.find_last_of('/') + 1);
}

// An FTDI-style adapter's port sits on the usb-serial bus; a CDC-ACM adapter's tty device is
// the USB interface itself.
bool onUsb(const std::string& device)
{
    const auto subsystem = resolved(device + "/subsystem");
    return subsystem && (lastComponent(*subsystem) == "usb-serial" || lastComponent(*subsystem) == "usb");
}

bool exists(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

// Writes the text whole to a sysfs attribute; the error number when it cannot.
int writeAttribute(const std::string& path, const std::string& text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    ssize_t written = -1;
    do {
        written = ::write(fd, text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    const int error = written == static_cast<ssize_t>(text.size()) ? 0 : (written < 0 ? errno : EIO);
    ::close(fd);
    return error;
}

std::optional<int> readNumber(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    char text[32] = {};
    ssize_t got = -1;
    do {
        got = ::read(fd, text, sizeof text - 1);
    } while (got < 0 && errno == EINTR);
    ::close(fd);
    if (got <= 0) {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text || errno != 0 || value < 0 || value > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

} // namespace

std::optional<UsbSerialAdapter> UsbSerialAdapter::find(const std::string& sysfsRoot, const std::string& devicePath)
{
    const auto node = resolved(devicePath);
    if (!node) {
        return std::nullopt;
    }
    const std::string device = sysfsRoot + "/class/tty/" + lastComponent(*node) + "/device";
    if (!resolved(device) || !onUsb(device)) {
        return std::nullopt;
    }
    return UsbSerialAdapter(device + "/latency_timer");
}

LowLatency UsbSerialAdapter::lowerLatencyTimer() const
{
    LowLatency got;
    got.usbAdapter = true;
    if (!exists(latencyTimer_)) {
        got.why = "the adapter has no latency timer";
        return got;
    }
    const int error = writeAttribute(latencyTimer_, "1");
    got.latencyMs = readNumber(latencyTimer_);
    if (got.latencyMs == 1) {
        return got;
    }
    got.why = error != 0
        ? "cannot set " + latencyTimer_ + ": " + std::strerror(error) + "; the README's udev rule allows it"
        : "the adapter did not take 1 ms";
    return got;
}

} // namespace serial
