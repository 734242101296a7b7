#pragma once

#include "tools/decksim/Block.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace decksim {

// The USB serial adapter on the controller's side of a line. Such adapters hold received
// bytes for a latency timer before passing them on, so what a deck sends reaches the
// controller in pieces and late. Here each burst the deck sends arrives in up to two pieces:
// the bytes before a split point at once, the rest latency later. The split point moves
// from burst to burst (including "no split": the whole burst late). Zero latency passes
// every burst on whole, at once. Pieces never overtake each other.
class SerialAdapter {
public:
    explicit SerialAdapter(std::int64_t latencyMicros) : latencyMicros_(latencyMicros) {}

    // The deck sends bytes at sentAt.
    void carry(const Bytes& bytes, std::int64_t sentAt);
    // When the next piece is due; nothing while nothing is held.
    std::optional<std::int64_t> nextDue() const;
    // The pieces due by now, in order.
    std::vector<Bytes> takeDue(std::int64_t now);

private:
    struct Piece {
        std::int64_t due;
        Bytes bytes;
    };

    void hold(Bytes bytes, std::int64_t due);

    std::int64_t latencyMicros_;
    std::size_t bursts_ = 0;
    std::deque<Piece> pieces_;
};

}  // namespace decksim
