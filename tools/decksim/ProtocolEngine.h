#pragma once

#include "tools/decksim/Block.h"
#include "tools/decksim/BlockFramer.h"
#include "tools/decksim/DeckPair.h"
#include "tools/decksim/EveryNth.h"
#include "tools/decksim/Options.h"
#include "tools/decksim/Role.h"

#include <optional>
#include <vector>

namespace decksim {

// One deck's side of the protocol: frames the incoming bytes, carries out each block on the
// deck model and builds its reply: ACK, sense data, device type, or a NAK with the right
// error bits. The options may make it a deck on a bad line: every Nth good block is taken
// for a garbled one (checksum NAK, not carried out), every Nth reply has a byte changed.
// Callers serialise access together with the DeckPair.
class ProtocolEngine {
public:
    // A block (or the bytes of a broken one) and the reply it earns.
    struct Exchange {
        Bytes received;
        Bytes reply;
    };

    ProtocolEngine(Role role, DeckPair& pair, const Options& options = {});

    std::vector<Exchange> receive(const std::uint8_t* data, std::size_t count, std::int64_t now);
    std::optional<Exchange> expire(std::int64_t now);
    std::optional<std::int64_t> deadline() const { return framer_.deadline(); }

    // The reply to one well-formed block received at now.
    Bytes answer(const Bytes& block, std::int64_t now);
    // Remembered RECON set-up packets, in the order received.
    const std::vector<Bytes>& reconPackets() const { return reconPackets_; }

private:
    Exchange exchangeFor(BlockFramer::Result result, std::int64_t now);
    Bytes replyFor(const BlockFramer::Result& result, std::int64_t now);
    // Changes one byte, at a position that moves from one garbled reply to the next.
    Bytes garbled(Bytes reply) const;
    Bytes statusReply(const Bytes& block, std::int64_t now) const;
    Bytes timeReply(const Bytes& block, std::int64_t now) const;

    Role role_;
    DeckPair& pair_;
    BlockFramer framer_;
    bool varispeed_;
    EveryNth blocksToRefuse_;
    EveryNth repliesToGarble_;
    std::vector<Bytes> reconPackets_;
};

}  // namespace decksim
