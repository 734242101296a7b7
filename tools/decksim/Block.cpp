#include "tools/decksim/Block.h"

namespace decksim {

std::uint8_t Block::checksum(const std::uint8_t* bytes, std::size_t count)
{
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += bytes[i];
    }
    return static_cast<std::uint8_t>(sum & 0xFFu);
}

Bytes Block::withChecksum(Bytes body)
{
    body.push_back(checksum(body.data(), body.size()));
    return body;
}

bool Block::checksumIsValid(const Bytes& block)
{
    return !block.empty() && checksum(block.data(), block.size() - 1) == block.back();
}

}  // namespace decksim
