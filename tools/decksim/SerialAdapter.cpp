#include "tools/decksim/SerialAdapter.h"

#include <algorithm>

namespace decksim {

void SerialAdapter::carry(const Bytes& bytes, std::int64_t sentAt)
{
    if (bytes.empty()) {
        return;
    }
    if (latencyMicros_ == 0) {
        hold(bytes, sentAt);
        return;
    }
    const std::size_t split = bursts_++ % bytes.size();
    const auto splitAt = bytes.begin() + static_cast<std::ptrdiff_t>(split);
    hold(Bytes(bytes.begin(), splitAt), sentAt);
    hold(Bytes(splitAt, bytes.end()), sentAt + latencyMicros_);
}

void SerialAdapter::hold(Bytes bytes, std::int64_t due)
{
    if (bytes.empty()) {
        return;
    }
    if (!pieces_.empty()) {
        due = std::max(due, pieces_.back().due);
    }
    pieces_.push_back({due, std::move(bytes)});
}

std::optional<std::int64_t> SerialAdapter::nextDue() const
{
    if (pieces_.empty()) {
        return std::nullopt;
    }
    return pieces_.front().due;
}

std::vector<Bytes> SerialAdapter::takeDue(std::int64_t now)
{
    std::vector<Bytes> due;
    while (!pieces_.empty() && pieces_.front().due <= now) {
        due.push_back(std::move(pieces_.front().bytes));
        pieces_.pop_front();
    }
    return due;
}

}  // namespace decksim
