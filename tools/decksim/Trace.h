#pragma once

#include "tools/decksim/Block.h"
#include "tools/decksim/Role.h"

#include <cstdint>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace decksim {

struct TraceEntry {
    std::int64_t micros;  // since the decks started
    Role deck;
    bool received;
    std::vector<std::uint8_t> bytes;
};

// Every block received and sent, kept in memory and, when a file is given, written there one
// line each: "<micros> <player|recorder> <rx|tx> <bytes in upper-case hex>". Thread-safe.
class Trace {
public:
    // Opens (truncates) the trace file; false when it cannot be written.
    bool writeTo(const std::string& path);
    void add(TraceEntry entry);
    std::vector<TraceEntry> entries() const;
    void clear();

    static std::string line(const TraceEntry& entry);

private:
    mutable std::mutex mutex_;
    std::vector<TraceEntry> entries_;
    std::ofstream file_;
};

}  // namespace decksim
