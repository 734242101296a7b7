#include "tools/decksim/BlockFramer.h"

namespace decksim {

std::vector<BlockFramer::Result> BlockFramer::feed(const std::uint8_t* data, std::size_t count, std::int64_t now)
{
    std::vector<Result> results;
    if (auto overdue = expire(now)) {
        results.push_back(std::move(*overdue));
    }
    for (std::size_t i = 0; i < count; ++i) {
        partial_.push_back(data[i]);
        lastByteAt_ = now;
        if (partial_.size() == Block::lengthFor(partial_.front())) {
            const auto kind = Block::checksumIsValid(partial_) ? Result::Kind::Block : Result::Kind::ChecksumError;
            results.push_back({kind, std::move(partial_)});
            partial_.clear();
        }
    }
    return results;
}

std::optional<BlockFramer::Result> BlockFramer::expire(std::int64_t now)
{
    if (partial_.empty() || now - lastByteAt_ <= straggleLimitMicros) {
        return std::nullopt;
    }
    Result overdue{Result::Kind::Timeout, std::move(partial_)};
    partial_.clear();
    return overdue;
}

std::optional<std::int64_t> BlockFramer::deadline() const
{
    if (partial_.empty()) {
        return std::nullopt;
    }
    return lastByteAt_ + straggleLimitMicros + 1;
}

}  // namespace decksim
