// The protocol engine on an injected clock: replies, NAKs and framing.

#include "tools/decksim/Clock.h"
#include "tools/decksim/DeckPair.h"
#include "tools/decksim/ProtocolEngine.h"
#include "tools/decksim/Report.h"
#include "tools/decksim/StatusBits.h"
#include "tools/decksim/TimeCode.h"

#include "tests/decksim/ControllerLine.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace decksim {
namespace {

using test::hex;

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
    // The one exchange a whole block makes with the given deck's engine.
    ProtocolEngine::Exchange exchange(ProtocolEngine& deck, const std::string& text)
    {
        const Bytes bytes = hex(text);
        auto exchanges = deck.receive(bytes.data(), bytes.size(), clock.nowMicros());
        EXPECT_EQ(exchanges.size(), 1u) << text;
        return exchanges.empty() ? ProtocolEngine::Exchange{} : exchanges[0];
    }
    Bytes send(ProtocolEngine& deck, const std::string& text) { return exchange(deck, text).reply; }
    StatusBits status(Role role) { return pair.deck(role).statusAt(pair.advanceToNow()); }
    void wait(std::int64_t micros)
    {
        clock.advanceMicros(micros);
        pair.advanceToNow();
    }

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

// Decks that do not obey -------------------------------------------------------------------

const Bytes refused = hex("11 12 01 24");  // the undefined-command NAK
const Bytes ack = hex("10 01 11");

Options refusing()
{
    Options options;
    options.refusals = {{Role::Recorder, DeckCommand::EditOff, 2}, {std::nullopt, DeckCommand::Shuttle, std::nullopt},
                        {Role::Player, DeckCommand::Status, 1}};
    return options;
}

class RefusalTest : public ProtocolEngineTest {
protected:
    RefusalTest() : ProtocolEngineTest(refusing()), recorder(Role::Recorder, pair, refusing()) {}

    ProtocolEngine recorder;
};

TEST_F(RefusalTest, RefusedCommandsAreNakedAndLeftUndoneOnTheirDeckForTheirCount)
{
    ASSERT_EQ(send(recorder, "41 30 50 C1"), ack);  // insert video
    ASSERT_EQ(send(recorder, "20 01 21"), ack);
    ASSERT_EQ(send(recorder, "20 65 85"), ack);     // edit on
    wait(100'000);
    ASSERT_TRUE(status(Role::Recorder).test(StatusBits::edit));
    for (int refusal = 1; refusal <= 2; ++refusal) {
        EXPECT_EQ(send(recorder, "20 64 84"), refused) << refusal;
        wait(100'000);
        EXPECT_TRUE(status(Role::Recorder).test(StatusBits::edit)) << "edit off carried out though refused";
        EXPECT_TRUE(status(Role::Recorder).test(StatusBits::record));
    }
    EXPECT_EQ(send(recorder, "20 64 84"), ack);
    wait(100'000);
    EXPECT_FALSE(status(Role::Recorder).test(StatusBits::record));

    // Refused on both decks, always; the player's status only the first time.
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(send("21 13 40 74"), refused);
        EXPECT_EQ(send(recorder, "21 13 40 74"), refused);
    }
    EXPECT_FALSE(status(Role::Player).test(StatusBits::shuttle));
    EXPECT_EQ(send("61 20 09 8A"), refused);
    EXPECT_EQ(send("61 20 09 8A").size(), 12u);
    EXPECT_EQ(send(recorder, "61 20 09 8A").size(), 12u);
    EXPECT_EQ(send("20 64 84"), ack);  // the player was never told to refuse edit off

    // A refusal given at run time, and ended.
    recorder.refuse(DeckCommand::Stop, std::nullopt);
    EXPECT_EQ(send(recorder, "20 00 20"), refused);
    EXPECT_TRUE(status(Role::Recorder).test(StatusBits::play));
    recorder.allow(DeckCommand::Stop);
    EXPECT_EQ(send(recorder, "20 00 20"), ack);
    EXPECT_TRUE(status(Role::Recorder).test(StatusBits::stop));
}

Options recorderInLocal()
{
    Options options;
    options.recorderLocal = true;
    return options;
}

class LocalTest : public ProtocolEngineTest {
protected:
    LocalTest() : ProtocolEngineTest(recorderInLocal()), recorder(Role::Recorder, pair, recorderInLocal()) {}

    ProtocolEngine recorder;
};

TEST_F(LocalTest, DeckInLocalAnswersSenseRequestsAndRefusesEverythingElse)
{
    const Bytes sensed = send(recorder, "61 20 09 8A");
    ASSERT_EQ(sensed.size(), 12u);
    EXPECT_EQ(sensed[2] & 0x01, 0x01);  // local
    EXPECT_EQ(send(recorder, "61 0C 03 70"), hex("74 04 00 00 00 00 78"));
    EXPECT_EQ(send(recorder, "00 11 11"), hex("12 11 20 25 68"));
    for (const char* block : {"20 01 21", "20 02 22", "20 00 20", "20 10 30", "20 20 40", "21 11 10 42", "21 12 40 73",
                              "21 13 40 74", "24 31 00 10 00 00 65", "20 30 50", "20 42 62", "20 65 85", "20 64 84",
                              "41 30 20 91", "44 14 00 30 00 00 88", "44 15 00 31 00 00 8A", "44 31 00 05 00 00 7A",
                              "41 36 01 78", "20 0F 2F"}) {
        EXPECT_EQ(send(recorder, block), refused) << block;
    }
    wait(5'000'000);
    const Deck& deck = pair.deck(Role::Recorder);
    EXPECT_EQ(deck.positionFrameAt(pair.advanceToNow()), 0);
    EXPECT_EQ(deck.editPreset(), 0);
    EXPECT_FALSE(deck.inPoint() || deck.outPoint());
    EXPECT_EQ(deck.prerollFrames(), Deck::defaultPrerollSeconds * 30);
    EXPECT_FALSE(status(Role::Recorder).test(StatusBits::cassetteOut));

    // The other deck obeys; switched back to REMOTE, so does this one.
    EXPECT_EQ(send("20 01 21"), ack);
    EXPECT_FALSE(status(Role::Player).test(StatusBits::local));
    pair.deck(Role::Recorder).setLocal(false);
    EXPECT_EQ(send(recorder, "20 01 21"), ack);
    EXPECT_TRUE(status(Role::Recorder).test(StatusBits::play));
    EXPECT_FALSE(status(Role::Recorder).test(StatusBits::local));
}

Options writeProtected()
{
    Options options;
    options.recordInhibit = true;
    options.recorderStartFrame = 600;
    return options;
}

class RecordInhibitTest : public ProtocolEngineTest {
protected:
    RecordInhibitTest() : ProtocolEngineTest(writeProtected()), recorder(Role::Recorder, pair, writeProtected()) {}

    // Watches the recorder for a while: it must never show record or edit.
    void neverRecords(std::int64_t micros, const char* during)
    {
        for (std::int64_t waited = 0; waited < micros; waited += 50'000) {
            wait(50'000);
            const StatusBits bits = status(Role::Recorder);
            ASSERT_FALSE(bits.test(StatusBits::record)) << during;
            ASSERT_FALSE(bits.test(StatusBits::edit)) << during;
            ASSERT_TRUE(bits.test(StatusBits::recordInhibit)) << during;
        }
    }

    ProtocolEngine recorder;
};

TEST_F(RecordInhibitTest, WriteProtectedTapeTakesRecordEditOnAndAutoEditButRecordsNothing)
{
    EXPECT_FALSE(status(Role::Player).test(StatusBits::recordInhibit));
    send("20 01 21");
    EXPECT_EQ(send(recorder, "41 30 50 C1"), ack);
    EXPECT_EQ(send(recorder, "20 01 21"), ack);
    EXPECT_EQ(send(recorder, "20 65 85"), ack);
    neverRecords(1'000'000, "edit on");
    EXPECT_TRUE(status(Role::Recorder).test(StatusBits::play));

    EXPECT_EQ(send(recorder, "20 02 22"), ack);
    neverRecords(1'000'000, "record");
    EXPECT_TRUE(status(Role::Recorder).test(StatusBits::play));  // the transport still rolls

    EXPECT_EQ(send(recorder, "44 14 00 30 00 00 88"), ack);  // in 00:00:30:00
    EXPECT_EQ(send(recorder, "44 15 00 31 00 00 8A"), ack);  // out 00:00:31:00
    EXPECT_EQ(send(recorder, "44 31 00 02 00 00 77"), ack);  // preroll 2 s
    EXPECT_EQ(send(recorder, "20 42 62"), ack);
    EXPECT_TRUE(status(Role::Recorder).test(StatusBits::autoEdit));
    neverRecords(20'000'000, "auto edit");
    EXPECT_GT(pair.deck(Role::Recorder).positionFrameAt(pair.advanceToNow()), 930);  // it rolled through its out point
    EXPECT_TRUE(Report::segments(pair.recorderTape(), pair.reelNames()).empty());
    EXPECT_EQ(send(recorder, "20 41 61"), ack);  // review: no edit to replay
    EXPECT_FALSE(status(Role::Recorder).test(StatusBits::review));
}

Options playerWithoutTape()
{
    Options options;
    options.playerNoTape = true;
    options.playerStartFrame = 3000;
    return options;
}

class NoTapeTest : public ProtocolEngineTest {
protected:
    NoTapeTest() : ProtocolEngineTest(playerWithoutTape()), recorder(Role::Recorder, pair, playerWithoutTape()) {}

    ProtocolEngine recorder;
};

TEST_F(NoTapeTest, DeckWithoutACassetteAcknowledgesButNothingMoves)
{
    for (const char* block : {"20 01 21", "21 13 60 94", "20 10 30", "24 31 00 10 00 00 65", "21 12 40 73", "20 02 22"}) {
        EXPECT_EQ(send(block), ack) << block;
        wait(2'000'000);
        EXPECT_EQ(pair.deck(Role::Player).positionFrameAt(pair.advanceToNow()), 3000) << block;
    }
    EXPECT_EQ(send("44 14 00 30 00 00 88"), ack);  // presets are kept
    EXPECT_EQ(pair.deck(Role::Player).inPoint(), 900);
    const Bytes sensed = send("61 20 09 8A");
    ASSERT_EQ(sensed.size(), 12u);
    EXPECT_EQ(sensed[2], 0x20);      // cassette out, and nothing else
    EXPECT_EQ(sensed[2 + 1], 0x00);  // no stop, no play
    EXPECT_EQ(sensed[2 + 2], 0x00);
    EXPECT_EQ(send("61 0C 03 70"), hex("74 04 00 00 00 00 78"));

    // A recorder recording it records no picture from the empty deck.
    EXPECT_EQ(send(recorder, "20 02 22"), ack);
    wait(1'000'000);
    EXPECT_TRUE(status(Role::Recorder).test(StatusBits::record));
    EXPECT_TRUE(Report::segments(pair.recorderTape(), pair.reelNames()).empty());
}

// Timing that is not ideal -------------------------------------------------------------------

Options sampledLate(std::uint64_t seed, int lockFrames = 0)
{
    Options options;
    options.sampleDelayMs = 9;
    options.seed = seed;
    options.lockFrames = lockFrames;
    return options;
}

int frameOfTimeReply(const Bytes& reply)
{
    EXPECT_EQ(reply.size(), 7u);
    return reply.size() == 7 ? TimeCode::fromBcd(reply.data() + 2) : -1;
}

TEST(SampleDelay, SenseRepliesReadTheTapeAtASeededMomentWithinTheDelayAndLeaveNoSooner)
{
    const auto run = [](std::uint64_t seed) {
        ManualClock clock{1'000'000};
        DeckPair pair(sampledLate(seed), clock);
        ProtocolEngine engine(Role::Player, pair, sampledLate(seed));
        const Bytes play = hex("20 01 21");
        engine.receive(play.data(), play.size(), clock.nowMicros());
        std::vector<std::int64_t> delays;
        const Bytes request = hex("61 0C 03 70");
        for (int round = 0; round < 200; ++round) {
            clock.advanceMicros(12'345);
            const std::int64_t now = pair.advanceToNow();
            const auto exchanges = engine.receive(request.data(), request.size(), now);
            EXPECT_EQ(exchanges.size(), 1u);
            const auto& exchange = exchanges.at(0);
            EXPECT_GE(exchange.sampledAt, now);
            EXPECT_LE(exchange.sampledAt, now + 9'000);
            EXPECT_GE(exchange.sendAt, std::max(exchange.sampledAt, now + 2'000));
            // The time code is the tape's at the moment sampled, not when the request came.
            EXPECT_EQ(frameOfTimeReply(exchange.reply), pair.deck(Role::Player).positionFrameAt(exchange.sampledAt));
            delays.push_back(exchange.sampledAt - now);
        }
        return delays;
    };
    const auto delays = run(7);
    EXPECT_LT(*std::min_element(delays.begin(), delays.end()), 1'000);
    EXPECT_GT(*std::max_element(delays.begin(), delays.end()), 8'000);
    EXPECT_EQ(run(7), delays);
    EXPECT_NE(run(8), delays);
}

TEST(SampleDelay, StatusShowsWhatTheDeckDoesAtTheMomentSampled)
{
    // A status request 4.5 ms before the deck locks: locked in the reply exactly when the
    // deck read its status at or after the lock.
    int sampledLocked = 0;
    for (std::uint64_t seed = 1; seed <= 40; ++seed) {
        ManualClock clock{1'000'000};
        DeckPair pair(sampledLate(seed, 1), clock);
        ProtocolEngine engine(Role::Recorder, pair, sampledLate(seed, 1));
        const Bytes play = hex("20 01 21");
        engine.receive(play.data(), play.size(), clock.nowMicros());
        const std::int64_t lockAt = clock.nowMicros() + pair.deck(Role::Recorder).framesToMicros(1);
        clock.advanceMicros(lockAt - 4'500 - clock.nowMicros());
        const Bytes request = hex("61 20 09 8A");
        const auto exchange = engine.receive(request.data(), request.size(), pair.advanceToNow()).at(0);
        const bool locked = (exchange.reply.at(2 + 2) & 0x80) != 0;
        EXPECT_EQ(locked, exchange.sampledAt >= lockAt) << "seed " << seed;
        sampledLocked += locked;
    }
    EXPECT_GT(sampledLocked, 0);
    EXPECT_LT(sampledLocked, 40);
}

Options lateEveryThird()
{
    Options options;
    options.lateEvery = 3;
    options.lateMs = 60;
    return options;
}

class LateRepliesTest : public ProtocolEngineTest {
protected:
    LateRepliesTest() : ProtocolEngineTest(lateEveryThird()) {}
};

TEST_F(LateRepliesTest, EveryThirdReplyOfAnyKindLeavesLate)
{
    const char* blocks[] = {"61 0C 03 70", "20 01 21", "61 20 09 8A", "20 01 22" /* bad checksum */, "00 11 11",
                            "20 77 97" /* unknown */, "61 0C 03 70", "20 00 20", "20 64 84"};
    int index = 0;
    for (const char* block : blocks) {
        ++index;
        clock.advanceMicros(40'000);
        const auto sent = exchange(engine, block);
        const std::int64_t late = index % 3 == 0 ? 60'000 : 0;
        EXPECT_EQ(sent.sendAt, clock.nowMicros() + 2'000 + late) << block;
    }
}

Options flagged(TimeBase base, int dropoutEvery, bool flagBits, int startFrame)
{
    Options options;
    options.timeBase = base;
    options.dfFlagDropoutEvery = dropoutEvery;
    options.flagBits = flagBits;
    options.playerStartFrame = startFrame;
    return options;
}

TEST(TimeDataFlags, DropFrameFlagDropsOutOfEveryNthReplyAndFlagBitsSitBesideTheDigits)
{
    ManualClock clock{1'000'000};
    const auto timeData = [&](ProtocolEngine& engine) {
        const Bytes request = hex("61 0C 03 70");
        const Bytes reply = engine.receive(request.data(), request.size(), clock.nowMicros()).at(0).reply;
        EXPECT_TRUE(Block::checksumIsValid(reply));
        return Bytes(reply.begin() + 2, reply.end() - 1);
    };
    // 00:01:00:02 on a drop-frame tape.
    const Options dropouts = flagged(TimeBase::fps2997DropFrame, 3, false, 1800);
    DeckPair dropFramePair(dropouts, clock);
    ProtocolEngine dropFrame(Role::Player, dropFramePair, dropouts);
    for (int reply = 1; reply <= 6; ++reply) {
        EXPECT_EQ(timeData(dropFrame), hex(reply % 3 == 0 ? "02 00 01 00" : "42 00 01 00")) << reply;
    }

    // 01:23:45:29 with every flag bit a deck may set.
    const int frame = ((1 * 60 + 23) * 60 + 45) * 30 + 29;
    const Options flags = flagged(TimeBase::fps30, 0, true, frame);
    DeckPair flagPair(flags, clock);
    ProtocolEngine flagged30(Role::Player, flagPair, flags);
    EXPECT_EQ(timeData(flagged30), hex("A9 C5 A3 C1"));

    const Options both = flagged(TimeBase::fps2997DropFrame, 2, true, 1800);
    DeckPair bothPair(both, clock);
    ProtocolEngine flaggedDropFrame(Role::Player, bothPair, both);
    EXPECT_EQ(timeData(flaggedDropFrame), hex("C2 80 81 C0"));
    EXPECT_EQ(timeData(flaggedDropFrame), hex("82 80 81 C0"));
}

}  // namespace
}  // namespace decksim
