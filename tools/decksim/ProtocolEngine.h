#pragma once

#include "tools/decksim/Block.h"
#include "tools/decksim/BlockFramer.h"
#include "tools/decksim/DeckCommand.h"
#include "tools/decksim/DeckPair.h"
#include "tools/decksim/EveryNth.h"
#include "tools/decksim/Options.h"
#include "tools/decksim/Refusals.h"
#include "tools/decksim/Role.h"
#include "tools/decksim/SeededRandom.h"

#include <optional>
#include <vector>

namespace decksim {

// One deck's side of the protocol: frames the incoming bytes, carries out each block on the
// deck model and builds its reply: ACK, sense data, device type, or a NAK with the right
// error bits. The options may make it a deck on a bad line (every Nth good block taken for a
// garbled one, every Nth reply with a byte changed or sent late), a deck that will not obey
// (refused commands, LOCAL), and a deck that reads its tape a little after a sense request
// came, as real ones do. Callers serialise access together with the DeckPair.
class ProtocolEngine {
public:
    // A block (or the bytes of a broken one), the reply it earns, the moment the deck read
    // its tape for that reply (when the block was complete, but for sense requests with a
    // sample delay) and the moment the reply leaves the deck.
    struct Exchange {
        Bytes received;
        Bytes reply;
        std::int64_t sampledAt = 0;
        std::int64_t sendAt = 0;
    };

    ProtocolEngine(Role role, DeckPair& pair, const Options& options = {});

    std::vector<Exchange> receive(const std::uint8_t* data, std::size_t count, std::int64_t now);
    std::optional<Exchange> expire(std::int64_t now);
    std::optional<std::int64_t> deadline() const { return framer_.deadline(); }

    // From now on the deck answers the command with a NAK and leaves it undone, the next
    // times times or, with nothing, always; allow ends that.
    void refuse(DeckCommand command, std::optional<int> times) { refusals_.refuse(command, times); }
    void allow(DeckCommand command) { refusals_.allow(command); }
    // The deck was switched off: a block it was receiving is gone.
    void powerCycle() { framer_ = BlockFramer{}; }
    // Remembered RECON set-up packets, in the order received.
    const std::vector<Bytes>& reconPackets() const { return reconPackets_; }

private:
    struct Reply {
        Bytes bytes;
        std::int64_t sampledAt;
    };

    Exchange exchangeFor(BlockFramer::Result result, std::int64_t now);
    Reply replyFor(const BlockFramer::Result& result, std::int64_t now);
    // The reply to one well-formed block received at now.
    Reply answer(const Bytes& block, std::int64_t receivedAt);
    bool refuses(DeckCommand command);
    Reply carryOut(DeckCommand command, const Bytes& block, std::int64_t now);
    Reply sense(DeckCommand command, const Bytes& block, std::int64_t now);
    std::int64_t sendMoment(std::int64_t now, std::int64_t sampledAt);
    // Changes one byte, at a position that moves from one garbled reply to the next.
    Bytes garbled(Bytes reply) const;
    static Bytes statusReply(const Bytes& block, const Deck& deck, std::int64_t at);
    Bytes timeReply(const Bytes& block, const Deck& deck, std::int64_t at);

    Role role_;
    DeckPair& pair_;
    BlockFramer framer_;
    bool varispeed_;
    std::int64_t replyDelayMicros_;
    EveryNth blocksToRefuse_;
    EveryNth repliesToGarble_;
    Refusals refusals_;
    std::int64_t sampleDelayMicros_;
    SeededRandom sampleMoments_;
    EveryNth lateReplies_;
    std::int64_t lateMicros_;
    EveryNth dropFrameFlagDropouts_;
    bool flagBits_;
    std::vector<Bytes> reconPackets_;
};

}  // namespace decksim
