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
const Bytes stopStatus = decktest::withChecksum({0x79, 0x20, 0, 0x20, 0, 0, 0, 0, 0, 0, 0});

// A deck that answers each request with what the test scripted for it, or with an ACK (a
// stop status for a status request) when nothing is scripted.
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

private:
    void serve()
    {
        while (!stopping_) {
            Bytes first = line_.read(1, milliseconds(20));
            if (first.empty())
                continue;
            Bytes rest = line_.read(static_cast<std::size_t>((first[0] & 0x0F) + 2), milliseconds(100));
            const auto arrived = std::chrono::steady_clock::now();
            for (const Piece& piece : answerFor(first[0], rest)) {
                std::this_thread::sleep_until(arrived + piece.after);
                if (!piece.bytes.empty())
                    line_.write(piece.bytes);
            }
        }
    }

    std::vector<Piece> answerFor(std::uint8_t cmd1, const Bytes& rest)
    {
        const bool sense = (cmd1 & 0xF0) == 0x60;
        std::lock_guard lock(mutex_);
        if (sense && !answers_.empty()) {
            auto answer = std::move(answers_.front());
            answers_.pop_front();
            return answer;
        }
        if (sense && rest.size() >= 1 && rest[0] == 0x20)
            return {{stopStatus}};
        return {{ack}};
    }

    PseudoTerminal line_;
    std::mutex mutex_;
    std::deque<std::vector<Piece>> answers_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

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
