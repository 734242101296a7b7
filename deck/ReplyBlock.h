#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The framing rules a deck's reply follows: a block is [CMD-1 | n] [CMD-2] n data bytes and a
// checksum, the low 8 bits of the sum of the bytes before it. These checks decide whether
// bytes read from a deck are a reply to the request that was sent.
class ReplyBlock {
public:
    using Bytes = std::vector<std::uint8_t>;

    static constexpr std::uint8_t nakCmd1 = 0x11;
    static constexpr std::uint8_t nakCmd2 = 0x12;

    // The length of the block that starts with this byte: its data count plus 3.
    static int lengthFrom(std::uint8_t first) { return (first & 0x0F) + 3; }
    static bool checksumOk(const std::uint8_t* block, int length);
    static bool isNak(const std::uint8_t* block, int length);
    // Whether a well-formed block can be the deck's answer to the request: sense requests are
    // answered by their own sense data, every other command by an ACK, a NAK or data of the
    // system group.
    static bool answers(const Bytes& request, const std::uint8_t* block, int length);
    // A status sense request: its answer cannot be mistaken for the answer to any other
    // request.
    static bool isStatusSense(const Bytes& request);
    // The operator's words for the error bits of a NAK, for example "CHECKSUM ERROR".
    static std::string nakReason(std::uint8_t errorBits);
};
