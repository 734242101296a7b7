// The deck link against a scripted far end on a pseudo-terminal: replies split, late, refused,
// garbled, echoed or missing. Whatever the line does, the time code shown is one the deck
// sent, never a mix of two replies or of a reply and something else.

#include "deck/VCR.h"
#include "deck/VCRPort.h"
#include "tests/deck/DeckTestSupport.h"
#include "tests/deck/FakeDeckView.h"
#include "tests/serial/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <sys/resource.h>
#include <thread>

namespace {

using Bytes = PseudoTerminal::Bytes;
using std::chrono::milliseconds;

struct Piece {
    Bytes bytes;
    milliseconds after{0};  // from the request's arrival
};

Bytes timeReply(int hh, int mm, int ss, int ff)
{
    auto bcd = [](int v) { return static_cast<std::uint8_t>(v / 10 * 16 + v % 10); };
    return decktest::withChecksum({0x74, 0x04, bcd(ff), bcd(ss), bcd(mm), bcd(hh)});
}

const Bytes ack{0x10, 0x01, 0x11};
const Bytes checksumNak{0x11, 0x12, 0x04, 0x27};

// The status bytes a status request asks for (the high nibble of its third byte is the first
// byte, the low nibble the count): a deck at stop.
Bytes stopStatus(const Bytes& request)
{
    const std::size_t first = request.size() > 2 ? request[2] >> 4 : 0;
    const std::size_t count = request.size() > 2 ? request[2] & 0x0F : 0;
    Bytes reply{static_cast<std::uint8_t>(0x70 | count), 0x20};
    for (std::size_t index = first; index < first + count; ++index)
        reply.push_back(index == 1 ? 0x20 : 0x00);
    return decktest::withChecksum(reply);
}

// A deck that answers each request with what the test scripted for it, one script per request
// in order, or, when nothing is scripted, with an ACK (a time code for a time code request).
// Status requests always get the deck's status at once.
class ScriptedDeck {
public:
    ScriptedDeck()
    {
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedDeck()
    {
        stopping_ = true;
        thread_.join();
    }

    const std::string& path() const { return line_.slavePath(); }
    void script(std::vector<Piece> answer)
    {
        std::lock_guard lock(mutex_);
        answers_.push_back(std::move(answer));
    }
    // How late every unscripted answer comes.
    void answerAfter(milliseconds delay) { delay_ = delay; }
    int requestsReceived() const { return received_; }
    int requestsAnswered() const { return answered_; }

private:
    void serve()
    {
        while (!stopping_) {
            Bytes first = line_.read(1, milliseconds(20));
            if (first.empty())
                continue;
            Bytes request = line_.read(static_cast<std::size_t>((first[0] & 0x0F) + 2), milliseconds(100));
            request.insert(request.begin(), first[0]);
            const auto arrived = std::chrono::steady_clock::now();
            ++received_;
            const std::vector<Piece> answer = answerFor(request);
            for (std::size_t piece = 0; piece < answer.size(); ++piece) {
                std::this_thread::sleep_until(arrived + answer[piece].after);
                // Counted before the last bytes go: whoever has read them sees the count.
                if (piece + 1 == answer.size())
                    ++answered_;
                if (!answer[piece].bytes.empty())
                    line_.write(answer[piece].bytes);
            }
        }
    }

    std::vector<Piece> answerFor(const Bytes& request)
    {
        const bool sense = (request[0] & 0xF0) == 0x60;
        if (sense && request.size() > 1 && request[1] == 0x20)
            return {{stopStatus(request)}};
        std::lock_guard lock(mutex_);
        if (!answers_.empty()) {
            auto answer = std::move(answers_.front());
            answers_.pop_front();
            return answer;
        }
        if (sense && request.size() > 1 && request[1] == 0x0C)
            return {{timeReply(1, 0, 0, 0), delay_}};
        return {{ack, delay_}};
    }

    PseudoTerminal line_;
    std::mutex mutex_;
    std::deque<std::vector<Piece>> answers_;
    std::atomic<milliseconds> delay_{milliseconds(0)};
    std::atomic<int> received_{0};
    std::atomic<int> answered_{0};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

// How often the calling thread has gone to sleep and been woken since it began.
long wakeUpsOfThisThread()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

class ExchangeOnARealLine : public testing::Test {
protected:
    void SetUp() override
    {
        vcr = std::make_unique<VCR>(deck.path(), false, false);
        view = &FakeDeckView::attachTo(*vcr);
        deck.script({{timeReply(1, 0, 0, 0)}});
        vcr->CommandB8();
        ASSERT_EQ(vcr->timecode(), "01:00:00:00");
    }

    ScriptedDeck deck;
    std::unique_ptr<VCR> vcr;
    FakeDeckView* view = nullptr;
};

}

TEST_F(ExchangeOnARealLine, AReplySplitAtAnyByteIsReadWhole)
{
    const Bytes reply = timeReply(10, 20, 30, 12);
    for (std::size_t cut = 1; cut < reply.size(); ++cut) {
        SCOPED_TRACE(cut);
        deck.script({{Bytes(reply.begin(), reply.begin() + cut), milliseconds(2)},
                     {Bytes(reply.begin() + cut, reply.end()), milliseconds(18)}});
        vcr->CommandB8();
        EXPECT_EQ(vcr->timecode(), "10:20:30:12");
        deck.script({{timeReply(1, 0, 0, 0)}});
        vcr->CommandB8();
        ASSERT_EQ(vcr->timecode(), "01:00:00:00");
    }
}

TEST_F(ExchangeOnARealLine, RepliesLateAsAUsbAdapterDeliversThemAreTaken)
{
    for (int ms : {14, 16, 25}) {
        SCOPED_TRACE(ms);
        deck.script({{timeReply(2, 0, 0, ms), milliseconds(ms)}});
        vcr->CommandB8();
        EXPECT_EQ(vcr->timecode(), "02:00:00:" + std::to_string(ms));
    }
}

TEST_F(ExchangeOnARealLine, ARefusalAGarbledByteOrSilenceKeepsTheLastTimeCode)
{
    struct Case {
        std::vector<Piece> answer;
        const char* status;
    };
    Bytes garbled = timeReply(3, 0, 0, 0);
    garbled[4] ^= 0x01;
    const Case cases[] = {
        {{{{0x11, 0x12, 0x04, 0x27}}}, "DECK NAK: CHECKSUM ERROR"},
        {{{{0x11, 0x12, 0x01, 0x24}}}, "DECK NAK: UNDEFINED COMMAND"},
        {{{garbled}}, "BAD DECK REPLY"},
        {{{Bytes(garbled.begin(), garbled.begin() + 5)}}, "BAD DECK REPLY"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        deck.script(c.answer);
        vcr->CommandB8();
        EXPECT_EQ(vcr->timecode(), "01:00:00:00");
        EXPECT_TRUE(decktest::waitFor([&] { return view->message() == c.status; }));
    }
    deck.script({{{}}});
    vcr->CommandB8();
    EXPECT_EQ(vcr->timecode(), "01:00:00:00");
    EXPECT_EQ(vcr->lastReply().count, 0);
}

TEST_F(ExchangeOnARealLine, AnEchoOfTheRequestIsSkipped)
{
    deck.script({{VCR::bsgettc}, {timeReply(4, 5, 6, 7), milliseconds(3)}});
    vcr->CommandB8();
    EXPECT_EQ(vcr->timecode(), "04:05:06:07");
}

TEST_F(ExchangeOnARealLine, AReplyTooLateForItsRequestDoesNotAnswerTheNext)
{
    // The time code comes after the exchange gave up; the status request that follows gets
    // its own reply, and the time code request after that gets its own.
    deck.script({{timeReply(5, 0, 0, 0), milliseconds(VCRPort::adapterLatencyAllowanceMs + 40)}});
    vcr->CommandB8();
    EXPECT_EQ(vcr->timecode(), "01:00:00:00");
    vcr->CommandStatus();
    EXPECT_EQ(vcr->statusText(), "Stop ");
    deck.script({{timeReply(6, 0, 0, 0)}});
    vcr->CommandB8();
    EXPECT_EQ(vcr->timecode(), "06:00:00:00");
}

TEST_F(ExchangeOnARealLine, EachDistinctFailureIsSaidOnceOnTheConsole)
{
    const std::string console = decktest::consoleOf([&] {
        for (int i = 0; i < 3; ++i) {
            deck.script({{{0x11, 0x12, 0x04, 0x27}}});
            vcr->CommandB8();
            deck.script({{{0x11, 0x12, 0x80, 0xA3}}});
            vcr->CommandB8();
        }
    });
    EXPECT_EQ(console, "Play VCR: DECK NAK: CHECKSUM ERROR\nPlay VCR: DECK NAK: TIME-OUT\n");
}

TEST_F(ExchangeOnARealLine, AReplyNineMillisecondsLateWakesTheReaderAHandfulOfTimes)
{
    // The reader waits on the port for the bytes, not by looking again every half millisecond.
    for (int attempt = 0; attempt < 3; ++attempt) {
        deck.script({{timeReply(7, 0, 0, attempt), milliseconds(9)}});
        const long before = wakeUpsOfThisThread();
        vcr->CommandB8();
        const long wakeUps = wakeUpsOfThisThread() - before;
        EXPECT_EQ(vcr->timecode(), "07:00:00:0" + std::to_string(attempt));
        EXPECT_LE(wakeUps, 5);
    }
}

TEST_F(ExchangeOnARealLine, ALateReplyIsNeverTakenForTheNextRequestOfItsKind)
{
    // Each first request's reply comes after the exchange gave up and after the line has been
    // quiet for the adapter allowance: then the next request of the same kind goes out, and
    // the stale reply would fit it.
    const milliseconds late(VCRPort::adapterLatencyAllowanceMs + 45);

    deck.script({{timeReply(5, 0, 0, 0), late}});
    EXPECT_FALSE(vcr->CommandB8());
    deck.script({{timeReply(6, 0, 0, 0)}});
    EXPECT_TRUE(vcr->CommandB8());
    EXPECT_EQ(vcr->timecode(), "06:00:00:00");

    struct Case {
        const char* name;
        Bytes lateAnswer, ownAnswer;
        Reply::Outcome own;
    };
    for (const Case& c : {Case{"late ACK", ack, checksumNak, Reply::Outcome::Refused},
                          Case{"late NAK", checksumNak, ack, Reply::Outcome::Answered}}) {
        SCOPED_TRACE(c.name);
        deck.script({{c.lateAnswer, late}});
        EXPECT_EQ(vcr->CommandB0(VCR::bsplay).outcome, Reply::Outcome::Silent);
        deck.script({{c.ownAnswer}});
        EXPECT_EQ(vcr->CommandB0(VCR::bsstop).outcome, c.own);
    }
}

TEST_F(ExchangeOnARealLine, HoldingPollingReturnsOnlyOnceThePollUnderWayIsOver)
{
    // The deck takes 30 ms over each time code: a hold that comes meanwhile must wait for it,
    // so that the holder's first request goes out at once, and no poll follows.
    deck.answerAfter(milliseconds(30));
    vcr->GetTC();
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(decktest::waitFor([&] { return deck.requestsReceived() > deck.requestsAnswered(); }));
        vcr->holdPolling(true);
        const int received = deck.requestsReceived();
        EXPECT_EQ(deck.requestsAnswered(), received) << "held while a poll still waited for its reply";
        EXPECT_FALSE(decktest::waitFor([&] { return deck.requestsReceived() > received; }, 150))
            << "a poll went out while held";
        vcr->holdPolling(false);
    }
}
