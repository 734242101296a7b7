#pragma once

#include <array>
#include <cstdint>

// One reply as the deck link collected it: the 16-byte reply buffer and the number of bytes
// the last read placed in it, taken together under the link's lock.
struct Reply {
    static constexpr int buffersize = 16;

    std::array<std::uint8_t, buffersize> bytes{};
    int count = 0;

    std::uint8_t operator[](int index) const { return bytes[index]; }
};
