#include "tools/decksim/ProtocolEngine.h"

#include "tools/decksim/TimeCode.h"

#include <algorithm>

namespace decksim {

namespace {

// Status data beyond byte 9 exist on real decks but carry nothing here.
constexpr std::size_t statusBytesOnRequest = 16;

// The flag bits time data may carry beside the label's digits: frames byte bit 7 colour
// frame (bit 6 is the drop-frame flag), seconds and minutes bytes bit 7, hours byte bits 6
// and 7 (field and binary group flags).
constexpr std::uint8_t colourFrameFlag = 0x80;
constexpr std::uint8_t dropFrameFlag = 0x40;
constexpr std::uint8_t secondsFlag = 0x80;
constexpr std::uint8_t minutesFlag = 0x80;
constexpr std::uint8_t hoursFlags = 0xC0;

// A deck answers a block it will not carry out as one it does not know.
Bytes refusal() { return Block::nak(Block::nakUndefinedCommand); }

std::uint64_t seedOf(const Options& options, Role role)
{
    // Each deck has its own run of sample moments.
    return options.seed * 2 + (role == Role::Recorder ? 1 : 0);
}

}  // namespace

ProtocolEngine::ProtocolEngine(Role role, DeckPair& pair, const Options& options)
    : role_(role),
      pair_(pair),
      varispeed_(!options.noVarispeed),
      replyDelayMicros_(std::int64_t{options.replyDelayMs} * 1000),
      blocksToRefuse_(options.nakEvery),
      repliesToGarble_(options.garbleEvery),
      sampleDelayMicros_(std::int64_t{options.sampleDelayMs} * 1000),
      sampleMoments_(seedOf(options, role)),
      lateReplies_(options.lateEvery),
      lateMicros_(std::int64_t{options.lateMs} * 1000),
      dropFrameFlagDropouts_(options.dfFlagDropoutEvery),
      flagBits_(options.flagBits)
{
    for (const Refusal& refusal : options.refusals) {
        if (!refusal.deck || *refusal.deck == role) {
            refusals_.refuse(refusal.command, refusal.times);
        }
    }
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
    Reply reply = replyFor(result, now);
    if (repliesToGarble_.pick()) {
        reply.bytes = garbled(std::move(reply.bytes));
    }
    const std::int64_t sendAt = sendMoment(now, reply.sampledAt);
    return {std::move(result.bytes), std::move(reply.bytes), reply.sampledAt, sendAt};
}

std::int64_t ProtocolEngine::sendMoment(std::int64_t now, std::int64_t sampledAt)
{
    const std::int64_t ready = std::max(now + replyDelayMicros_, sampledAt);
    return lateReplies_.pick() ? ready + lateMicros_ : ready;
}

ProtocolEngine::Reply ProtocolEngine::replyFor(const BlockFramer::Result& result, std::int64_t now)
{
    switch (result.kind) {
    case BlockFramer::Result::Kind::ChecksumError:
        return {Block::nak(Block::nakChecksumError), now};
    case BlockFramer::Result::Kind::Timeout:
        return {Block::nak(Block::nakTimeout), now};
    case BlockFramer::Result::Kind::Block:
        break;
    }
    // A block hit on the line looks to the deck like one with a bad checksum: it answers
    // with a checksum-error NAK and does nothing.
    if (blocksToRefuse_.pick()) {
        return {Block::nak(Block::nakChecksumError), now};
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

ProtocolEngine::Reply ProtocolEngine::answer(const Bytes& block, std::int64_t receivedAt)
{
    const std::int64_t now = pair_.advanceTo(receivedAt);
    const auto command = DeckCommands::of(block);
    // A deck that lacks variable speed knows no such command.
    if (!command || (*command == DeckCommand::Var && !varispeed_)) {
        return {Block::nak(Block::nakUndefinedCommand), now};
    }
    if (refuses(*command)) {
        return {refusal(), now};
    }
    return carryOut(*command, block, now);
}

bool ProtocolEngine::refuses(DeckCommand command)
{
    if (pair_.deck(role_).local() && !DeckCommands::answeredInLocal(command)) {
        return true;
    }
    return refusals_.refuses(command);
}

ProtocolEngine::Reply ProtocolEngine::sense(DeckCommand command, const Bytes& block, std::int64_t now)
{
    // The deck reads its tape a moment after the request: the deck as it will be then.
    const std::int64_t sampledAt = now + sampleMoments_.upTo(sampleDelayMicros_);
    Deck deck = pair_.deck(role_);
    deck.runEventsUntil(sampledAt);
    const Bytes reply = command == DeckCommand::Status ? statusReply(block, deck, sampledAt) : timeReply(block, deck, sampledAt);
    return {reply, sampledAt};
}

ProtocolEngine::Reply ProtocolEngine::carryOut(DeckCommand command, const Bytes& block, std::int64_t now)
{
    Deck& deck = pair_.deck(role_);
    // Time data name labels of the deck's time base, whatever the base.
    const TimeBase base = deck.timeBase();
    const std::uint8_t* data = block.data() + 2;
    const bool reverse = (block[1] & 0xF0) == 0x20;
    switch (command) {
    case DeckCommand::DeviceType:
        return {Block::withChecksum({0x12, 0x11, 0x20, 0x25}), now};
    case DeckCommand::Status:
    case DeckCommand::TimeCode:
        return sense(command, block, now);
    case DeckCommand::Stop:
        deck.stop(now);
        break;
    case DeckCommand::Play:
        deck.play(now);
        break;
    case DeckCommand::Record:
        deck.record(now);
        break;
    case DeckCommand::Standby:
        deck.setStandby(now, block[1] == 0x05);
        break;
    case DeckCommand::Eject:
        deck.eject(now);
        break;
    case DeckCommand::FastForward:
        deck.fastForward(now);
        break;
    case DeckCommand::Rewind:
        deck.rewind(now);
        break;
    case DeckCommand::Jog:
        deck.jog(now, reverse, data[0]);
        break;
    // Variable-speed play near play speed, with a speed byte like jog and shuttle.
    case DeckCommand::Var:
        deck.varispeed(now, reverse, data[0]);
        break;
    case DeckCommand::Shuttle:
        deck.shuttle(now, reverse, data[0]);
        break;
    case DeckCommand::Preroll:
        deck.preroll(now);
        break;
    case DeckCommand::Cue:
        deck.cueUp(now, TimeCode::fromBcd(data, base));
        break;
    case DeckCommand::Preview:
        deck.preview(now);
        break;
    case DeckCommand::Review:
        deck.review(now);
        break;
    case DeckCommand::AutoEdit:
        deck.autoEdit(now);
        break;
    case DeckCommand::FullEE:
        deck.setFullEE(block[1] == 0x61);
        break;
    case DeckCommand::EditOff:
        deck.editOff(now);
        break;
    case DeckCommand::EditOn:
        deck.editOn(now);
        break;
    case DeckCommand::InPreset:
        deck.setInPoint(TimeCode::fromBcd(data, base));
        break;
    case DeckCommand::OutPreset:
        deck.setOutPoint(TimeCode::fromBcd(data, base));
        break;
    case DeckCommand::PrerollPreset:
        deck.setPrerollFrames(TimeCode::fromBcd(data, base));
        break;
    case DeckCommand::Preset:
        deck.setEditPreset(data[0]);
        break;
    case DeckCommand::TimeMode:
        deck.setTimeMode(data[0]);
        break;
    case DeckCommand::Recon:
        reconPackets_.push_back(block);
        break;
    }
    return {Block::ack(), now};
}

Bytes ProtocolEngine::statusReply(const Bytes& block, const Deck& deck, std::int64_t at)
{
    const std::size_t first = block[2] >> 4;
    const std::size_t count = block[2] & 0x0F;
    if (count == 0 || first + count > statusBytesOnRequest) {
        return Block::nak(Block::nakUndefinedCommand);
    }
    const auto status = deck.statusAt(at).bytes();
    Bytes reply{static_cast<std::uint8_t>(0x70 | count), 0x20};
    for (std::size_t index = first; index < first + count; ++index) {
        reply.push_back(index < status.size() ? status[index] : 0);
    }
    return Block::withChecksum(std::move(reply));
}

Bytes ProtocolEngine::timeReply(const Bytes& block, const Deck& deck, std::int64_t at)
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
    auto time = TimeCode::toBcd(deck.timeCodeFrameAt(at), deck.timeBase());
    if (dropFrameFlagDropouts_.pick()) {
        time[0] &= static_cast<std::uint8_t>(~dropFrameFlag);
    }
    if (flagBits_) {
        time[0] |= colourFrameFlag;
        time[1] |= secondsFlag;
        time[2] |= minutesFlag;
        time[3] |= hoursFlags;
    }
    return Block::withChecksum({0x74, kind, time[0], time[1], time[2], time[3]});
}

}  // namespace decksim
