#include "tools/decksim/ProtocolEngine.h"

#include "tools/decksim/TimeCode.h"

namespace decksim {

namespace {

constexpr std::uint16_t command(std::uint8_t cmd1, std::uint8_t cmd2) { return static_cast<std::uint16_t>(cmd1 << 8 | cmd2); }

// Status data beyond byte 9 exist on real decks but carry nothing here.
constexpr std::size_t statusBytesOnRequest = 16;

}  // namespace

ProtocolEngine::ProtocolEngine(Role role, DeckPair& pair, const Options& options)
    : role_(role),
      pair_(pair),
      varispeed_(!options.noVarispeed),
      blocksToRefuse_(options.nakEvery),
      repliesToGarble_(options.garbleEvery)
{
}

std::vector<ProtocolEngine::Exchange> ProtocolEngine::receive(const std::uint8_t* data, std::size_t count, std::int64_t now)
{
    std::vector<Exchange> exchanges;
    for (auto& result : framer_.feed(data, count, now)) {
        exchanges.push_back(exchangeFor(std::move(result), now));
    }
    return exchanges;
}

std::optional<ProtocolEngine::Exchange> ProtocolEngine::expire(std::int64_t now)
{
    auto overdue = framer_.expire(now);
    if (!overdue) {
        return std::nullopt;
    }
    return exchangeFor(std::move(*overdue), now);
}

ProtocolEngine::Exchange ProtocolEngine::exchangeFor(BlockFramer::Result result, std::int64_t now)
{
    Bytes reply = replyFor(result, now);
    if (repliesToGarble_.pick()) {
        reply = garbled(std::move(reply));
    }
    return {std::move(result.bytes), std::move(reply)};
}

Bytes ProtocolEngine::replyFor(const BlockFramer::Result& result, std::int64_t now)
{
    switch (result.kind) {
    case BlockFramer::Result::Kind::ChecksumError:
        return Block::nak(Block::nakChecksumError);
    case BlockFramer::Result::Kind::Timeout:
        return Block::nak(Block::nakTimeout);
    case BlockFramer::Result::Kind::Block:
        break;
    }
    // A block hit on the line looks to the deck like one with a bad checksum: it answers
    // with a checksum-error NAK and does nothing.
    if (blocksToRefuse_.pick()) {
        return Block::nak(Block::nakChecksumError);
    }
    return answer(result.bytes, now);
}

Bytes ProtocolEngine::garbled(Bytes reply) const
{
    // One flipped bit, never in the count nibble of CMD-1, so the reply keeps its length
    // and only its checksum gives it away.
    constexpr std::uint8_t flippedBit = 0x40;
    reply[static_cast<std::size_t>(repliesToGarble_.picked()) % reply.size()] ^= flippedBit;
    return reply;
}

Bytes ProtocolEngine::answer(const Bytes& block, std::int64_t receivedAt)
{
    const std::int64_t now = pair_.advanceTo(receivedAt);
    Deck& deck = pair_.deck(role_);
    // Time data name labels of the deck's time base, whatever the base.
    const TimeBase base = deck.timeBase();
    const std::uint8_t* data = block.data() + 2;
    switch (command(block[0], block[1])) {
    case command(0x00, 0x11):
        return Block::withChecksum({0x12, 0x11, 0x20, 0x25});
    case command(0x61, 0x20):
        return statusReply(block, now);
    case command(0x61, 0x0C):
        return timeReply(block, now);
    case command(0x20, 0x00):
        deck.stop(now);
        break;
    case command(0x20, 0x01):
        deck.play(now);
        break;
    case command(0x20, 0x02):
        deck.record(now);
        break;
    case command(0x20, 0x04):
        deck.setStandby(now, false);
        break;
    case command(0x20, 0x05):
        deck.setStandby(now, true);
        break;
    case command(0x20, 0x0F):
        deck.eject(now);
        break;
    case command(0x20, 0x10):
        deck.fastForward(now);
        break;
    case command(0x20, 0x20):
        deck.rewind(now);
        break;
    case command(0x21, 0x11):
        deck.jog(now, false, data[0]);
        break;
    case command(0x21, 0x21):
        deck.jog(now, true, data[0]);
        break;
    // Variable-speed play, 21 12 forward and 21 22 reverse, with a speed byte like jog and
    // shuttle; a deck that lacks it knows no such command.
    case command(0x21, 0x12):
    case command(0x21, 0x22):
        if (!varispeed_) {
            return Block::nak(Block::nakUndefinedCommand);
        }
        deck.varispeed(now, block[1] == 0x22, data[0]);
        break;
    case command(0x21, 0x13):
        deck.shuttle(now, false, data[0]);
        break;
    case command(0x21, 0x23):
        deck.shuttle(now, true, data[0]);
        break;
    case command(0x20, 0x30):
        deck.preroll(now);
        break;
    case command(0x24, 0x31):
        deck.cueUp(now, TimeCode::fromBcd(data, base));
        break;
    case command(0x20, 0x40):
        deck.preview(now);
        break;
    case command(0x20, 0x41):
        deck.review(now);
        break;
    case command(0x20, 0x42):
        deck.autoEdit(now);
        break;
    case command(0x20, 0x60):
        deck.setFullEE(false);
        break;
    case command(0x20, 0x61):
        deck.setFullEE(true);
        break;
    case command(0x20, 0x64):
        deck.editOff(now);
        break;
    case command(0x20, 0x65):
        deck.editOn(now);
        break;
    case command(0x44, 0x14):
        deck.setInPoint(TimeCode::fromBcd(data, base));
        break;
    case command(0x44, 0x15):
        deck.setOutPoint(TimeCode::fromBcd(data, base));
        break;
    case command(0x44, 0x31):
        deck.setPrerollFrames(TimeCode::fromBcd(data, base));
        break;
    case command(0x41, 0x30):
        deck.setEditPreset(data[0]);
        break;
    case command(0x41, 0x36):
        deck.setTimeMode(data[0]);
        break;
    case command(0xF3, 0x02):
        reconPackets_.push_back(block);
        break;
    default:
        return Block::nak(Block::nakUndefinedCommand);
    }
    return Block::ack();
}

Bytes ProtocolEngine::statusReply(const Bytes& block, std::int64_t now) const
{
    const std::size_t first = block[2] >> 4;
    const std::size_t count = block[2] & 0x0F;
    if (count == 0 || first + count > statusBytesOnRequest) {
        return Block::nak(Block::nakUndefinedCommand);
    }
    const auto status = pair_.deck(role_).statusAt(now).bytes();
    Bytes reply{static_cast<std::uint8_t>(0x70 | count), 0x20};
    for (std::size_t index = first; index < first + count; ++index) {
        reply.push_back(index < status.size() ? status[index] : 0);
    }
    return Block::withChecksum(std::move(reply));
}

Bytes ProtocolEngine::timeReply(const Bytes& block, std::int64_t now) const
{
    // 01 asks for LTC, 02 for VITC, 03 for the better of the two: LTC here.
    std::uint8_t kind = 0;
    switch (block[2]) {
    case 0x01:
    case 0x03:
        kind = 0x04;
        break;
    case 0x02:
        kind = 0x06;
        break;
    default:
        return Block::nak(Block::nakUndefinedCommand);
    }
    const Deck& deck = pair_.deck(role_);
    const auto time = TimeCode::toBcd(deck.positionFrameAt(now), deck.timeBase());
    return Block::withChecksum({0x74, kind, time[0], time[1], time[2], time[3]});
}

}  // namespace decksim
