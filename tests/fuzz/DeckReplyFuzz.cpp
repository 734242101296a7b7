// The deck's reply checks and consecutive exchanges on the deck link: the input chooses two to
// four requests, the bytes the deck sends, how much of them arrives within each exchange
// (a reply's tail may come only in the next exchange, an exchange may get nothing at all) and
// how each exchange's share is cut into pieces. Whatever the deck sends, the link hands out at
// most 16 bytes, calls a reply answered only for a block with a right checksum that answers
// the request, and finds an answer that comes first (after an echo).

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

// A line on which the deck's bytes for each exchange arrive after a request was written, one
// piece each time the link waits for input and finds nothing there. Pieces an exchange gave
// up on before they arrived come at the start of the next one, as a late reply does.
class StraddlingLine : public FakeSerialBackend {
public:
    explicit StraddlingLine(std::vector<std::vector<Bytes>> shares) : shares_(shares.begin(), shares.end()) {}

    int SerPutData(int port, const std::uint8_t* data, int count) override
    {
        if (!shares_.empty()) {
            due_.insert(due_.end(), shares_.front().begin(), shares_.front().end());
            shares_.pop_front();
        }
        delivered_.clear();
        return FakeSerialBackend::SerPutData(port, data, count);
    }

    int SerRxWait(int port, int) override
    {
        int ready = FakeSerialBackend::SerRxReadyCount(port);
        while (ready == 0 && !due_.empty()) {
            receive(due_.front());
            delivered_.insert(delivered_.end(), due_.front().begin(), due_.front().end());
            due_.pop_front();
            ready = FakeSerialBackend::SerRxReadyCount(port);
        }
        return ready;
    }

    // What arrived during the last exchange, and whether all that was meant for it did.
    const Bytes& delivered() const { return delivered_; }
    bool allArrived() const { return due_.empty(); }

private:
    std::deque<std::vector<Bytes>> shares_;
    std::deque<Bytes> due_;
    Bytes delivered_;
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

void checkExchange(const Bytes& request, const Bytes& reply, const Reply& got, bool allArrived)
{
    FUZZ_ASSERT(got.count >= 0 && got.count <= Reply::buffersize);
    FUZZ_ASSERT((got.count == 0) == (got.outcome == Reply::Outcome::Silent));
    if (got.answered() || got.outcome == Reply::Outcome::Refused)
        checkTakenBlock(request, reply, got);
    if (got.outcome == Reply::Outcome::Bad)
        FUZZ_ASSERT(contains(reply, got.bytes.data(), got.count));
    std::size_t start = 0;
    if (const int length = leadingAnswer(request, reply, start); length && allArrived) {
        FUZZ_ASSERT(got.answered() || got.outcome == Reply::Outcome::Refused);
        FUZZ_ASSERT(std::equal(got.bytes.begin(), got.bytes.begin() + got.count, reply.begin() + start));
        FUZZ_ASSERT(got.count == std::min(length, Reply::buffersize));
    }
}

// Each exchange may wait this long for its reply: the line hands over at once all that comes
// within an exchange, so the deadline only ends the exchanges that wait for more.
constexpr int deadlineMs = 3;

void runExchanges(const std::vector<Bytes>& requests, std::vector<std::vector<Bytes>> shares)
{
    auto line = std::make_shared<StraddlingLine>(std::move(shares));
    serial::SerialBackend::install(line);
    {
        VCRPort link("COM1", false);
        FUZZ_ASSERT(!link.bad);
        link.setwait(deadlineMs - VCRPort::adapterLatencyAllowanceMs);
        std::uint64_t lastExchange = 0;
        for (std::size_t index = 0; index < requests.size(); ++index) {
            const Bytes& request = requests[index];
            const std::size_t sentBefore = line->sent().size();
            const Reply got = link.SendSerial(request);
            FUZZ_ASSERT(link.SerCount() == got.count);
            FUZZ_ASSERT(got.exchange > lastExchange);
            lastExchange = got.exchange;
            // After an exchange that got no answer the link may first prove it is in step with
            // an exchange of its own; the request itself goes out last, whole.
            const Bytes sent = line->sent();
            FUZZ_ASSERT(sent.size() - sentBefore >= request.size());
            FUZZ_ASSERT(std::equal(request.begin(), request.end(), sent.end() - request.size(), sent.end()));
            // The deck sampled what it reports between the moment before the write and the reply.
            FUZZ_ASSERT(got.asked <= got.written && got.written <= got.arrived);
            if (request.empty())
                FUZZ_ASSERT(got.outcome == Reply::Outcome::Silent);
            else
                checkExchange(request, line->delivered(), got, line->allArrived());
        }
    }
    serial::SerialBackend::install(nullptr);
}

// The deck's bytes shared out among the exchanges, each share cut into pieces, all where the
// input chose.
std::vector<std::vector<Bytes>> shareOut(FuzzInput& input, const Bytes& sent, std::size_t exchanges)
{
    std::vector<std::vector<Bytes>> shares;
    std::size_t from = 0;
    for (std::size_t index = 0; index < exchanges; ++index) {
        const std::size_t left = sent.size() - from;
        const std::size_t length = index + 1 == exchanges ? left : input.byte() % (left + 1);
        const Bytes share(sent.begin() + from, sent.begin() + from + length);
        from += length;
        shares.push_back(cutIntoPieces(share, input.bytes(input.byte() % 4)));
    }
    return shares;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::size_t exchanges = 2 + input.byte() % 3;
    std::vector<Bytes> requests;
    for (std::size_t index = 0; index < exchanges; ++index)
        requests.push_back(chooseRequest(input));
    const Bytes sent = input.bytes(input.byte() % (longestReply + 1));
    for (const Bytes& request : requests)
        checkBlockRules(request, sent);
    runExchanges(requests, shareOut(input, sent, exchanges));
    return 0;
}
