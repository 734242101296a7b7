// The virtual decks' side of the line: arbitrary bytes, at arbitrary times, to either deck of
// a pair, through the block framer and the protocol engine into the deck model. The input
// first chooses the decks' options, then a run of chunks: which deck, how much time passes,
// and the bytes. Whatever arrives, every block earns one reply of the right length with a
// right checksum (unless replies are garbled on purpose), every byte received is framed in
// order, and the tape stays on the reel.

#include "tests/fuzz/FuzzSupport.h"
#include "tools/decksim/Block.h"
#include "tools/decksim/Clock.h"
#include "tools/decksim/DeckPair.h"
#include "tools/decksim/ProtocolEngine.h"
#include "tools/decksim/TimeCode.h"

#include <array>

namespace decksim {
namespace {

Options optionsFrom(FuzzInput& input)
{
    static constexpr std::array bases{TimeBase::fps30, TimeBase::fps2997, TimeBase::fps2997DropFrame, TimeBase::fps25};
    Options options;
    const std::uint8_t flags = input.byte();
    options.noVarispeed = flags & 0x01;
    options.timeBase = bases[(flags >> 1) % bases.size()];
    options.nakEvery = input.byte() % 8;
    options.garbleEvery = input.byte() % 8;
    options.lockFrames = input.byte() % 16;
    options.editDelayFrames = input.byte() % 16;
    options.seekSpeed = 1 + input.byte() % 100;
    const int tapeEnd = TimeCode::tapeEndFrame(options.timeBase);
    options.playerStartFrame = (input.byte() << 8 | input.byte()) * 4 % (tapeEnd + 1);
    options.recorderStartFrame = (input.byte() << 8 | input.byte()) * 4 % (tapeEnd + 1);
    return options;
}

// How far the clock moves before a chunk: from microseconds (bytes of one block) to tens of
// seconds (a deck left to wind or cue).
std::int64_t stepMicros(std::uint8_t control, std::uint8_t amount)
{
    static constexpr std::int64_t scales[] = {10, 1'000, 100'000, 0};
    return amount * scales[(control >> 5) & 0x03];
}

// One deck's line: what was sent to it and what its framer handed back, to check that no
// byte is lost, doubled or reordered.
struct Line {
    ProtocolEngine engine;
    Bytes sent;
    Bytes framed;
};

void checkExchange(const ProtocolEngine::Exchange& exchange, const Options& options, Line& line)
{
    const Bytes& reply = exchange.reply;
    FUZZ_ASSERT(!exchange.received.empty());
    FUZZ_ASSERT(exchange.received.size() <= 18);
    FUZZ_ASSERT(!reply.empty() && reply.size() == Block::lengthFor(reply.front()));
    if (options.garbleEvery == 0)
        FUZZ_ASSERT(Block::checksumIsValid(reply));
    line.framed.insert(line.framed.end(), exchange.received.begin(), exchange.received.end());
}

void checkLine(const Line& line)
{
    // Everything framed so far is the start of what was sent; the rest is one open block.
    FUZZ_ASSERT(line.framed.size() <= line.sent.size());
    FUZZ_ASSERT(std::equal(line.framed.begin(), line.framed.end(), line.sent.begin()));
    FUZZ_ASSERT(line.sent.size() - line.framed.size() < 18);
}

void checkTape(const DeckPair& pair, std::int64_t now)
{
    for (const Role role : {Role::Player, Role::Recorder}) {
        const Deck& deck = pair.deck(role);
        const int frame = deck.positionFrameAt(now);
        FUZZ_ASSERT(frame >= 0 && frame <= deck.tapeEndFrame());
    }
}

void feedChunk(FuzzInput& input, ManualClock& clock, std::array<Line*, 2> lines, const Options& options)
{
    const std::uint8_t control = input.byte();
    Line& line = *lines[control >> 7];
    clock.advanceMicros(stepMicros(control, input.byte()));
    const std::int64_t now = clock.nowMicros();
    const Bytes bytes = input.bytes(control & 0x1F);
    line.sent.insert(line.sent.end(), bytes.begin(), bytes.end());
    for (const auto& exchange : line.engine.receive(bytes.data(), bytes.size(), now))
        checkExchange(exchange, options, line);
    for (Line* each : lines) {
        if (const auto overdue = each->engine.expire(now))
            checkExchange(*overdue, options, *each);
        checkLine(*each);
    }
}

}  // namespace
}  // namespace decksim

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace decksim;
    FuzzInput input(data, size);
    const Options options = optionsFrom(input);
    ManualClock clock(1'000'000);
    DeckPair pair(options, clock);
    Line player{ProtocolEngine(Role::Player, pair, options), {}, {}};
    Line recorder{ProtocolEngine(Role::Recorder, pair, options), {}, {}};
    while (!input.empty()) {
        feedChunk(input, clock, {&player, &recorder}, options);
        checkTape(pair, pair.advanceToNow());
    }
    return 0;
}
