#pragma once

#include <cstdint>
#include <vector>

namespace serial {

// A generic source of bytes. Reads wait until data has arrived.
class InputStream {
public:
    using Bytes = std::vector<std::uint8_t>;

    virtual ~InputStream() = default;

    // One byte as 0 to 255.
    virtual int read() = 0;
    // Fills the start of buffer; returns how many bytes were stored.
    virtual int read(Bytes& buffer) = 0;
    // Stores up to length bytes from offset on; nullptr stands for an absent buffer.
    virtual int read(Bytes* buffer, int offset, int length) = 0;
    // Bytes that can be read without waiting.
    virtual int available() = 0;
    // Waits until bytes can be read or ms milliseconds have passed (a negative time waits
    // without limit); how many can be read, 0 when the time passed first.
    virtual int waitAvailable(int ms) = 0;
    virtual void close() {}
};

} // namespace serial
