#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// A pseudo-terminal for tests: the test holds the master side and a port opens the slave
// path, as a controller opens a serial device.
class PseudoTerminal {
public:
    using Bytes = std::vector<std::uint8_t>;

    PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;
    ~PseudoTerminal();

    const std::string& slavePath() const { return path; }
    void write(const Bytes& bytes);
    // Reads until count bytes came or the deadline passed; returns what came.
    Bytes read(std::size_t count, std::chrono::milliseconds timeout);
    // Closes the master side, as if the device had been unplugged.
    void closeMaster();

private:
    int master = -1;
    std::string path;
};
