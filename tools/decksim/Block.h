#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace decksim {

using Bytes = std::vector<std::uint8_t>;

// One block of the deck protocol: CMD-1 (group | data count n), CMD-2, n data bytes and a
// checksum, the low 8 bits of the sum of all earlier bytes.
class Block {
public:
    static constexpr std::uint8_t nakUndefinedCommand = 0x01;
    static constexpr std::uint8_t nakChecksumError = 0x04;
    static constexpr std::uint8_t nakTimeout = 0x80;

    static std::uint8_t checksum(const std::uint8_t* bytes, std::size_t count);
    // The body with its checksum appended.
    static Bytes withChecksum(Bytes body);
    static Bytes withChecksum(std::initializer_list<std::uint8_t> body) { return withChecksum(Bytes(body)); }
    static bool checksumIsValid(const Bytes& block);
    // Total length of a block that starts with this CMD-1 byte.
    static std::size_t lengthFor(std::uint8_t cmd1) { return (cmd1 & 0x0Fu) + 3u; }

    static Bytes ack() { return {0x10, 0x01, 0x11}; }
    static Bytes nak(std::uint8_t errorBits) { return withChecksum({0x11, 0x12, errorBits}); }
};

}  // namespace decksim
