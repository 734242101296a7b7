// The protocol engine on an injected clock: replies, NAKs and framing.

#include "tools/decksim/Clock.h"
#include "tools/decksim/DeckPair.h"
#include "tools/decksim/ProtocolEngine.h"
#include "tools/decksim/StatusBits.h"

#include <gtest/gtest.h>

namespace decksim {
namespace {

Bytes hex(const std::string& text)
{
    Bytes bytes;
    for (std::size_t at = 0; at + 1 < text.size(); at += 3) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(at, 2), nullptr, 16)));
    }
    return bytes;
}

class ProtocolEngineTest : public ::testing::Test {
protected:
    explicit ProtocolEngineTest(Options options = {}) : pair(options, clock), engine(Role::Player, pair, options) {}

    // Sends bytes as one chunk and returns all replies, concatenated.
    Bytes send(const Bytes& bytes)
    {
        Bytes replies;
        for (const auto& exchange : engine.receive(bytes.data(), bytes.size(), clock.nowMicros())) {
            replies.insert(replies.end(), exchange.reply.begin(), exchange.reply.end());
        }
        return replies;
    }
    Bytes send(const std::string& text) { return send(hex(text)); }

    ManualClock clock{1'000'000};
    DeckPair pair;
    ProtocolEngine engine;
};

TEST_F(ProtocolEngineTest, EveryControllerPacketGetsItsReply)
{
    const Bytes ack = hex("10 01 11");
    const std::vector<std::pair<std::string, Bytes>> cases{
        {"00 11 11", hex("12 11 20 25 68")},
        {"61 20 09 8A", hex("79 20 00 A0 02 00 00 00 40 00 00 7B")},
        {"61 0C 03 70", hex("74 04 00 00 00 00 78")},
        {"41 36 00 77", ack},
        {"F3 02 D0 00 10 D5", ack},
        {"F3 02 A1 07 00 9D", ack},
        {"F3 02 10 02 00 07", ack},
        {"F3 02 40 00 00 35", ack},
        {"44 31 00 05 00 00 7A", ack},
        {"44 14 04 03 02 01 62", ack},
        {"44 15 04 03 02 01 63", ack},
        {"41 30 44 B5", ack},
        {"24 31 00 01 01 00 57", ack},
        {"20 01 21", ack},
        {"20 00 20", ack},
        {"20 02 22", ack},
        {"21 13 00 34", ack},
        {"21 13 40 74", ack},
        {"21 23 0C 50", ack},
        {"20 10 30", ack},
        {"20 20 40", ack},
        {"21 11 10 42", ack},
        {"21 21 10 52", ack},
        {"20 05 25", ack},
        {"20 04 24", ack},
        {"20 61 81", ack},
        {"20 60 80", ack},
        {"20 40 60", ack},
        {"20 41 61", ack},
        {"20 42 62", ack},
        {"20 30 50", ack},
        {"20 65 85", ack},
        {"20 64 84", ack},
        {"20 0F 2F", ack},
    };
    for (const auto& [packet, reply] : cases) {
        ProtocolEngine fresh(Role::Player, pair);
        const Bytes bytes = hex(packet);
        const auto exchanges = fresh.receive(bytes.data(), bytes.size(), clock.nowMicros());
        ASSERT_EQ(exchanges.size(), 1u) << packet;
        EXPECT_EQ(exchanges[0].received, bytes) << packet;
        EXPECT_EQ(exchanges[0].reply, reply) << packet;
    }
}

TEST_F(ProtocolEngineTest, PresetsReachTheDeckAndShowInTheStatus)
{
    send("41 30 44 B5");
    send("44 31 00 10 00 00 85");  // 10 s, BCD
    send("44 14 04 03 02 01 62");
    send("44 15 04 03 02 01 63");
    send("F3 02 A1 07 00 9D");
    send("41 36 01 78");
    const Deck& deck = pair.deck(Role::Player);
    EXPECT_EQ(deck.editPreset(), 0x44);
    EXPECT_EQ(deck.prerollFrames(), 300);
    EXPECT_EQ(deck.inPoint(), 108000 + 2 * 1800 + 3 * 30 + 4);
    EXPECT_EQ(deck.outPoint(), deck.inPoint());
    EXPECT_EQ(deck.timeMode(), 0x01);
    EXPECT_EQ(engine.reconPackets(), std::vector<Bytes>{hex("F3 02 A1 07 00 9D")});
    const Bytes status = send("61 20 09 8A");
    EXPECT_EQ(status[2 + 3], 0x03);  // in set, out set
    EXPECT_EQ(status[2 + 5], 0x44);  // edit preset mirrored
}

TEST_F(ProtocolEngineTest, TimeSenseAnswersLtcOrVitcInBcd)
{
    send("24 31 29 59 59 01 31");  // cue to 01:59:59:29
    clock.advanceMicros(300'000'000);
    EXPECT_EQ(send("61 0C 03 70"), hex("74 04 29 59 59 01 54"));
    EXPECT_EQ(send("61 0C 01 6E"), hex("74 04 29 59 59 01 54"));
    EXPECT_EQ(send("61 0C 02 6F"), hex("74 06 29 59 59 01 56"));
}

TEST_F(ProtocolEngineTest, BadBlocksGetTheMatchingNak)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"20 01 22", "11 12 04 27"},           // checksum
        {"20 77 97", "11 12 01 24"},           // no such command
        {"21 01 00 22", "11 12 01 24"},        // play with a data byte
        {"61 20 00 81", "11 12 01 24"},        // status of no bytes
        {"61 20 F9 7A", "11 12 01 24"},        // status bytes beyond 15
        {"61 0C 09 76", "11 12 01 24"},        // unknown time source
    };
    for (const auto& [packet, nak] : cases) {
        EXPECT_EQ(send(packet), hex(nak)) << packet;
    }
}

TEST_F(ProtocolEngineTest, BlocksAreFramedByTheirCountAcrossChunks)
{
    EXPECT_TRUE(send("61 20").empty());
    clock.advanceMicros(9'000);
    EXPECT_FALSE(engine.expire(clock.nowMicros()));
    EXPECT_EQ(send("09 8A 20 01 21").size(), 12u + 3u);  // status reply, then ACK for play
}

TEST_F(ProtocolEngineTest, StragglingBlockTimesOutAndTheNextBlockIsServed)
{
    send("61 20 09");
    EXPECT_EQ(engine.deadline(), clock.nowMicros() + 10'001);
    clock.advanceMicros(10'001);
    const auto timedOut = engine.expire(clock.nowMicros());
    ASSERT_TRUE(timedOut);
    EXPECT_EQ(timedOut->received, hex("61 20 09"));
    EXPECT_EQ(timedOut->reply, hex("11 12 80 A3"));
    EXPECT_EQ(send("00 11 11"), hex("12 11 20 25 68"));
}

TEST_F(ProtocolEngineTest, GarbageNeverWedgesTheDeck)
{
    // A stray byte announcing a long block swallows what follows until the line goes quiet.
    EXPECT_TRUE(send("FF 00 11 11").empty());
    clock.advanceMicros(50'000);
    EXPECT_EQ(send("00 11 11"), hex("11 12 80 A3 12 11 20 25 68"));
    // A short garbled block costs one checksum NAK and nothing more.
    EXPECT_EQ(send("20 55 00 00 11 11"), hex("11 12 04 27 12 11 20 25 68"));
}

// A bad line and a deck without variable speed ----------------------------------------------

Options lineFaults(int nakEvery, int garbleEvery)
{
    Options options;
    options.nakEvery = nakEvery;
    options.garbleEvery = garbleEvery;
    return options;
}

class NakEveryThirdTest : public ProtocolEngineTest {
protected:
    NakEveryThirdTest() : ProtocolEngineTest(lineFaults(3, 0)) {}
};

TEST_F(NakEveryThirdTest, EveryThirdBlockOfEachDeckIsRefusedAndNotCarriedOut)
{
    const StatusBits::Bit play = StatusBits::play;
    EXPECT_EQ(send("00 11 11"), hex("12 11 20 25 68"));
    EXPECT_EQ(send("61 0C 03 70"), hex("74 04 00 00 00 00 78"));
    EXPECT_EQ(send("20 01 21"), hex("11 12 04 27"));
    EXPECT_FALSE(pair.deck(Role::Player).statusAt(clock.nowMicros()).test(play));
    EXPECT_EQ(send("20 01 21"), hex("10 01 11"));
    EXPECT_TRUE(pair.deck(Role::Player).statusAt(clock.nowMicros()).test(play));

    // The recorder keeps its own count.
    ProtocolEngine recorder(Role::Recorder, pair, lineFaults(3, 0));
    const Bytes stop = hex("20 00 20");
    for (const char* expected : {"10 01 11", "10 01 11", "11 12 04 27"}) {
        const auto exchanges = recorder.receive(stop.data(), stop.size(), clock.nowMicros());
        ASSERT_EQ(exchanges.size(), 1u);
        EXPECT_EQ(exchanges[0].reply, hex(expected));
    }
    EXPECT_EQ(send("00 11 11"), hex("12 11 20 25 68"));
    EXPECT_EQ(send("20 00 20"), hex("11 12 04 27"));
    EXPECT_TRUE(pair.deck(Role::Player).statusAt(clock.nowMicros()).test(play));
}

class GarbleEverySecondTest : public ProtocolEngineTest {
protected:
    GarbleEverySecondTest() : ProtocolEngineTest(lineFaults(0, 2)) {}
};

TEST_F(GarbleEverySecondTest, EverySecondReplyHasOneByteChangedAndAWrongChecksum)
{
    const std::vector<std::string> requests{"00 11 11", "00 11 11", "61 0C 03 70", "61 0C 03 70", "20 01 21", "20 01 21"};
    const std::vector<std::string> clean{"12 11 20 25 68", "12 11 20 25 68", "74 04 00 00 00 00 78",
                                         "74 04 00 00 00 00 78", "10 01 11", "10 01 11"};
    for (std::size_t index = 0; index < requests.size(); ++index) {
        SCOPED_TRACE(requests[index] + " #" + std::to_string(index + 1));
        const Bytes reply = send(requests[index]);
        const Bytes expected = hex(clean[index]);
        ASSERT_EQ(reply.size(), expected.size());
        std::size_t changed = 0;
        for (std::size_t at = 0; at < reply.size(); ++at) {
            changed += reply[at] != expected[at];
        }
        EXPECT_EQ(changed, index % 2 == 1 ? 1u : 0u);
        EXPECT_EQ(Block::checksumIsValid(reply), index % 2 == 0);
        EXPECT_EQ(Block::lengthFor(reply[0]), reply.size());
    }
    // Garbled or not, the commands were carried out.
    EXPECT_TRUE(pair.deck(Role::Player).statusAt(clock.nowMicros()).test(StatusBits::play));
}

TEST_F(ProtocolEngineTest, VariableSpeedPlayMovesNearPlaySpeedUntilPlay)
{
    Deck& deck = pair.deck(Role::Player);
    const auto status = [&] { return deck.statusAt(pair.advanceToNow()); };
    const auto frame = [&] { return deck.positionFrameAt(pair.advanceToNow()); };
    send("24 31 00 00 01 00 56");  // cue to 00:01:00:00, room to go back
    clock.advanceMicros(10'000'000);
    ASSERT_EQ(frame(), 1800);

    EXPECT_EQ(send("21 12 42 75"), hex("10 01 11"));  // forward, 10^(2/32) = 1.155x
    EXPECT_TRUE(status().test(StatusBits::var));
    EXPECT_FALSE(status().test(StatusBits::reverse));
    clock.advanceMicros(10'000'000);
    EXPECT_EQ(frame(), 1800 + 346);

    EXPECT_EQ(send("21 22 3E 81"), hex("10 01 11"));  // reverse, 0.866x
    EXPECT_TRUE(status().test(StatusBits::var));
    EXPECT_TRUE(status().test(StatusBits::reverse));
    clock.advanceMicros(10'000'000);
    EXPECT_EQ(frame(), 2146 - 260);

    EXPECT_EQ(send("20 01 21"), hex("10 01 11"));
    EXPECT_FALSE(status().test(StatusBits::var));
    EXPECT_TRUE(status().test(StatusBits::play));
    EXPECT_TRUE(status().test(StatusBits::servoLock));
    clock.advanceMicros(10'000'000);
    EXPECT_EQ(frame(), 1886 + 300);
}

class NoVarispeedTest : public ProtocolEngineTest {
protected:
    static Options noVarispeed()
    {
        Options options;
        options.noVarispeed = true;
        return options;
    }
    NoVarispeedTest() : ProtocolEngineTest(noVarispeed()) {}
};

TEST_F(NoVarispeedTest, VariableSpeedPlayIsAnUndefinedCommandAndChangesNothing)
{
    send("20 01 21");
    EXPECT_EQ(send("21 12 40 73"), hex("11 12 01 24"));
    EXPECT_EQ(send("21 22 40 83"), hex("11 12 01 24"));
    const StatusBits status = pair.deck(Role::Player).statusAt(pair.advanceToNow());
    EXPECT_FALSE(status.test(StatusBits::var));
    EXPECT_TRUE(status.test(StatusBits::play));
    EXPECT_FALSE(status.test(StatusBits::reverse));
}

}  // namespace
}  // namespace decksim
