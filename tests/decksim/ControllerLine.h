#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace decksim::test {

using Bytes = std::vector<std::uint8_t>;

Bytes hex(const std::string& text);

// The controller's end of a virtual deck's line: the slave side of its pseudo-terminal,
// opened and put in raw mode as a controller would.
class ControllerLine {
public:
    explicit ControllerLine(const std::string& path);
    ~ControllerLine();
    ControllerLine(const ControllerLine&) = delete;
    ControllerLine& operator=(const ControllerLine&) = delete;

    void write(const Bytes& bytes);
    // Reads until count bytes have come or the deadline passes; returns what came.
    Bytes read(std::size_t count, std::chrono::milliseconds deadline = std::chrono::seconds(3));
    // Writes a block and reads a reply of replyLength bytes.
    Bytes exchange(const Bytes& block, std::size_t replyLength);
    Bytes exchange(const std::string& block, std::size_t replyLength) { return exchange(hex(block), replyLength); }
    // The deck's time code, in frames, from a time sense request.
    int timeCode();
    // Status bytes 0..8 from a status sense request.
    Bytes status();
    // The deck's end of the line has gone (its pseudo-terminal closed): the port reports a
    // hang-up and takes no more bytes.
    bool hungUp() const;

private:
    int fd_;
};

}  // namespace decksim::test
