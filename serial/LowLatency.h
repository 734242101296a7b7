#pragma once

#include <optional>
#include <string>

namespace serial {

// What a port got when low latency was asked of it. Only a USB serial adapter holds received
// bytes back (for its latency timer, 16 ms by default); any other port delivers them at once
// and gets nothing.
struct LowLatency {
    bool usbAdapter = false;
    // The adapter's latency timer once the request was made, where the adapter has one.
    std::optional<int> latencyMs;
    // Why the latency timer is not at 1 ms, for the operator; empty when it is.
    std::string why;
};

} // namespace serial
