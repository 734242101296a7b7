#pragma once

#include "tools/decksim/Block.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace decksim {

// Cuts the incoming byte stream into blocks by the count nibble of CMD-1. A block whose
// checksum is wrong, or whose bytes straggle more than 10 ms apart, is handed on as such;
// either way the framer starts afresh with the next byte, so a partial or garbled stream
// never wedges it.
class BlockFramer {
public:
    static constexpr std::int64_t straggleLimitMicros = 10'000;

    struct Result {
        enum class Kind { Block, ChecksumError, Timeout };
        Kind kind;
        Bytes bytes;
    };

    std::vector<Result> feed(const std::uint8_t* data, std::size_t count, std::int64_t now);
    // The partial block, once its next byte is overdue.
    std::optional<Result> expire(std::int64_t now);
    // When the partial block times out; nothing while no block is open.
    std::optional<std::int64_t> deadline() const;

private:
    Bytes partial_;
    std::int64_t lastByteAt_ = 0;
};

}  // namespace decksim
