// The deck's reply checks and the whole exchange on the deck link: the input chooses the
// request, how the reply is cut into pieces and the reply's bytes. Whatever the deck sends,
// the link hands out at most 16 bytes, calls a reply answered only for a block with a right
// checksum that answers the request, and finds an answer that comes first (after an echo).

#include "deck/ReplyBlock.h"
#include "deck/VCRPort.h"
#include "serial/backend/SerialBackend.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/serial/FakeSerialBackend.h"

#include <algorithm>
#include <deque>
#include <memory>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Packets the controller sends, from each kind: sense requests and commands of each group.
const Bytes knownRequests[] = {
    {0x61, 0x20, 0x09, 0x8A},       {0x61, 0x0C, 0x03, 0x70},       {0x20, 0x01, 0x21},
    {0x20, 0x00, 0x20},             {0x00, 0x11, 0x11},             {0x21, 0x13, 0x00, 0x34},
    {0x21, 0x12, 0x40, 0x73},       {0x24, 0x31, 0x00, 0x01, 0x01, 0x00, 0x57},
    {0x44, 0x14, 0x04, 0x03, 0x02, 0x01, 0x62},                    {0x41, 0x30, 0x44, 0xB5},
    {0xF3, 0x02, 0xD0, 0x00, 0x10, 0xD5},
};

constexpr std::size_t longestReply = 64;

// A line on which each piece of the reply arrives when the link next waits for input, and
// which reports a failure once the reply is used up: the exchange ends at once instead of
// waiting out its deadline, through the same path.
class PieceByPieceLine : public FakeSerialBackend {
public:
    explicit PieceByPieceLine(std::vector<Bytes> pieces) : pieces_(pieces.begin(), pieces.end()) {}

    int SerPutData(int port, const std::uint8_t* data, int count) override
    {
        written_ = true;
        return FakeSerialBackend::SerPutData(port, data, count);
    }

    int SerRxWait(int port, int) override
    {
        int ready = FakeSerialBackend::SerRxReadyCount(port);
        while (ready == 0 && written_ && !pieces_.empty()) {
            receive(pieces_.front());
            pieces_.pop_front();
            ready = FakeSerialBackend::SerRxReadyCount(port);
        }
        return ready > 0 ? ready : -1;
    }

private:
    std::deque<Bytes> pieces_;
    bool written_ = false;
};

Bytes chooseRequest(FuzzInput& input)
{
    const std::uint8_t choice = input.byte();
    if (choice & 0x80)
        return input.bytes(2 + (choice & 0x0F));
    return knownRequests[choice % std::size(knownRequests)];
}

// The reply cut at the places the input chose.
std::vector<Bytes> cutIntoPieces(const Bytes& reply, const Bytes& cutChoices)
{
    std::vector<std::size_t> at;
    for (const std::uint8_t choice : cutChoices)
        at.push_back(choice % (reply.size() + 1));
    std::sort(at.begin(), at.end());
    std::vector<Bytes> pieces;
    std::size_t from = 0;
    for (const std::size_t to : at) {
        pieces.emplace_back(reply.begin() + from, reply.begin() + to);
        from = to;
    }
    pieces.emplace_back(reply.begin() + from, reply.end());
    return pieces;
}

unsigned plainSum(const std::uint8_t* block, int count)
{
    unsigned sum = 0;
    for (int i = 0; i < count; ++i)
        sum += block[i];
    return sum & 0xFF;
}

bool isSenseRequest(const Bytes& request)
{
    return (request[0] & 0xF0) == 0x60;
}

// The checks on their own, for every stretch of the reply that could be a block.
void checkBlockRules(const Bytes& request, const Bytes& reply)
{
    for (std::size_t start = 0; start < reply.size(); ++start) {
        const std::uint8_t* block = reply.data() + start;
        const int length = static_cast<int>(std::min<std::size_t>(reply.size() - start, 18));
        for (int count = 0; count <= length; ++count) {
            const bool wellFormed = count >= 3 && count == ReplyBlock::lengthFrom(block[0])
                && plainSum(block, count - 1) == block[count - 1];
            FUZZ_ASSERT(ReplyBlock::checksumOk(block, count) == wellFormed);
            if (ReplyBlock::isNak(block, count))
                FUZZ_ASSERT(count == 4 && block[0] == 0x11 && block[1] == 0x12);
            if (request.size() < 2 || !ReplyBlock::answers(request, block, count) || ReplyBlock::isNak(block, count))
                continue;
            const std::uint8_t group = block[0] & 0xF0;
            FUZZ_ASSERT(group == (isSenseRequest(request) ? 0x70 : 0x10));
        }
    }
    const std::uint8_t errorBits = reply.empty() ? 0 : reply[0];
    const std::string reason = ReplyBlock::nakReason(errorBits);
    FUZZ_ASSERT(!reason.empty());
    FUZZ_ASSERT((reason.find("CHECKSUM ERROR") != std::string::npos) == ((errorBits & 0x04) != 0));
}

bool contains(const Bytes& haystack, const std::uint8_t* needle, int count)
{
    return std::search(haystack.begin(), haystack.end(), needle, needle + count) != haystack.end();
}

bool isEcho(const Bytes& request, const std::uint8_t* block, int length)
{
    return std::equal(request.begin(), request.end(), block, block + length);
}

// The length of the answer block the reply starts with (after an echo of the request), or 0.
// Only a request that is a whole block can be recognised by its echo.
int leadingAnswer(const Bytes& request, const Bytes& reply, std::size_t& start)
{
    const int requestLength = static_cast<int>(request.size());
    if (requestLength < 3 || !ReplyBlock::checksumOk(request.data(), requestLength))
        return 0;
    start = reply.size() >= request.size() && isEcho(request, reply.data(), requestLength) ? request.size() : 0;
    if (start >= reply.size())
        return 0;
    const std::uint8_t* block = reply.data() + start;
    const int length = ReplyBlock::lengthFrom(block[0]);
    if (reply.size() - start < static_cast<std::size_t>(length) || !ReplyBlock::checksumOk(block, length)
        || isEcho(request, block, length) || !ReplyBlock::answers(request, block, length))
        return 0;
    return length;
}

void checkTakenBlock(const Bytes& request, const Bytes& reply, const Reply& got)
{
    const int length = ReplyBlock::lengthFrom(got[0]);
    // The link's buffer holds 16 bytes: a longer block is handed out cut to them.
    FUZZ_ASSERT(got.count == std::min(length, Reply::buffersize));
    FUZZ_ASSERT(contains(reply, got.bytes.data(), got.count));
    if (length > Reply::buffersize)
        return;
    FUZZ_ASSERT(ReplyBlock::checksumOk(got.bytes.data(), length));
    FUZZ_ASSERT(ReplyBlock::answers(request, got.bytes.data(), length));
    FUZZ_ASSERT(!isEcho(request, got.bytes.data(), length));
    FUZZ_ASSERT(ReplyBlock::isNak(got.bytes.data(), length) == (got.outcome == Reply::Outcome::Refused));
}

void checkExchange(const Bytes& request, const Bytes& reply, const Reply& got)
{
    FUZZ_ASSERT(got.count >= 0 && got.count <= Reply::buffersize);
    FUZZ_ASSERT(got.exchange == 1);
    FUZZ_ASSERT((got.count == 0) == (got.outcome == Reply::Outcome::Silent));
    if (got.answered() || got.outcome == Reply::Outcome::Refused)
        checkTakenBlock(request, reply, got);
    if (got.outcome == Reply::Outcome::Bad)
        FUZZ_ASSERT(contains(reply, got.bytes.data(), got.count));
    std::size_t start = 0;
    if (const int length = leadingAnswer(request, reply, start)) {
        FUZZ_ASSERT(got.answered() || got.outcome == Reply::Outcome::Refused);
        FUZZ_ASSERT(std::equal(got.bytes.begin(), got.bytes.begin() + got.count, reply.begin() + start));
        FUZZ_ASSERT(got.count == std::min(length, Reply::buffersize));
    }
}

void runExchange(const Bytes& request, const Bytes& reply, std::vector<Bytes> pieces)
{
    auto line = std::make_shared<PieceByPieceLine>(std::move(pieces));
    serial::SerialBackend::install(line);
    Reply got;
    {
        VCRPort link("COM1", nullptr, false);
        FUZZ_ASSERT(!link.bad);
        got = link.SendSerial(request);
        FUZZ_ASSERT(link.SerCount() == got.count);
    }
    serial::SerialBackend::install(nullptr);
    FUZZ_ASSERT(request.empty() ? got.outcome == Reply::Outcome::Silent : line->sent() == request);
    // The deck sampled what it reports between the moment before the write and the reply.
    FUZZ_ASSERT(got.asked <= got.written && got.written <= got.arrived);
    if (!request.empty())
        checkExchange(request, reply, got);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const Bytes request = chooseRequest(input);
    const Bytes cutChoices = input.bytes(input.byte() % 4);
    const Bytes reply = input.bytes(longestReply);
    checkBlockRules(request, reply);
    runExchange(request, reply, cutIntoPieces(reply, cutChoices));
    return 0;
}
