#pragma once

#include <cstdint>
#include <vector>

namespace serial {

// A generic sink of bytes.
class OutputStream {
public:
    using Bytes = std::vector<std::uint8_t>;

    virtual ~OutputStream() = default;

    // Writes the low 8 bits of b.
    virtual void write(int b) = 0;
    virtual void write(const Bytes& b) = 0;
    virtual void write(const Bytes& b, int offset, int length) = 0;
    virtual void flush() {}
    virtual void close() {}
};

} // namespace serial
