#pragma once

#include "tools/decksim/Block.h"

#include <string>

namespace decksim {

// The deck's end of its serial line: the master side of a pseudo-terminal in raw mode. The
// deck keeps its own descriptor of the slave side open, so a controller can close the port
// and open it again without the master ever seeing a hang-up.
class DeckPort {
public:
    DeckPort();  // throws std::system_error when no pseudo-terminal can be made
    ~DeckPort();
    DeckPort(const DeckPort&) = delete;
    DeckPort& operator=(const DeckPort&) = delete;

    int masterFd() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }

    // Reads what has arrived, without waiting; 0 when nothing has.
    std::size_t readAvailable(std::uint8_t* buffer, std::size_t capacity);
    // Writes the bytes. A line that nobody drains loses them, as a real line would.
    void write(const Bytes& bytes);

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

}  // namespace decksim
