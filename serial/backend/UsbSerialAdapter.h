#pragma once

#include "serial/LowLatency.h"

#include <optional>
#include <string>

namespace serial {

// The USB serial adapter behind a device path (/dev/ttyUSB0, or a /dev/serial/by-id link to
// it), found in sysfs: /sys/class/tty/<name>/device is the adapter's port, and its subsystem
// says whether it hangs on USB. Adapters with an FTDI-style driver have a latency_timer file
// there: how long the adapter holds received bytes before passing them on.
class UsbSerialAdapter {
public:
    // The adapter behind devicePath in the sysfs tree at sysfsRoot; nothing when the device
    // is no USB serial adapter (a built-in port, a pseudo-terminal) or cannot be resolved.
    static std::optional<UsbSerialAdapter> find(const std::string& sysfsRoot, const std::string& devicePath);

    // Sets the latency timer to 1 ms where its file can be written, and says what it holds
    // afterwards and, when that is not 1 ms, why.
    LowLatency lowerLatencyTimer() const;

    const std::string& latencyTimerPath() const { return latencyTimer_; }

private:
    explicit UsbSerialAdapter(std::string latencyTimer) : latencyTimer_(std::move(latencyTimer)) {}

    std::string latencyTimer_;
};

} // namespace serial
