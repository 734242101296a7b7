// The decks in each time base: the labels in time code replies, time data read as labels,
// and the tape's speed, all on an injected clock.

#include "tests/decksim/ControllerLine.h"
#include "tools/decksim/Clock.h"
#include "tools/decksim/DeckPair.h"
#include "tools/decksim/ProtocolEngine.h"

#include <gtest/gtest.h>

namespace decksim {
namespace {

using test::hex;

constexpr std::int64_t second = 1'000'000;

Options withBase(TimeBase base, int playerStartFrame = 0)
{
    Options options;
    options.timeBase = base;
    options.playerStartFrame = playerStartFrame;
    return options;
}

class VirtualTimeBase : public ::testing::Test {
protected:
    // The player of a pair in the given time base, reached through its protocol engine.
    struct Player {
        Player(const Options& options, const Clock& clock) : pair(options, clock), engine(Role::Player, pair) {}

        Bytes send(const Bytes& block, std::int64_t now)
        {
            const auto exchanges = engine.receive(block.data(), block.size(), now);
            return exchanges.size() == 1 ? exchanges[0].reply : Bytes{};
        }
        // The four time data bytes of a time code reply, after checking its frame.
        Bytes timeData(std::int64_t now)
        {
            const Bytes reply = send(hex("61 0C 01 6E"), now);
            EXPECT_EQ(reply.size(), 7u);
            EXPECT_TRUE(Block::checksumIsValid(reply));
            return reply.size() == 7 ? Bytes(reply.begin() + 2, reply.end() - 1) : Bytes{};
        }

        DeckPair pair;
        ProtocolEngine engine;
    };

    // Plays from the start frame and returns the time data of each of the next frames.
    std::vector<Bytes> labelsWhilePlaying(const Options& options, int frames)
    {
        Player player(options, clock);
        const std::int64_t start = clock.nowMicros();
        player.send(hex("20 01 21"), start);
        std::vector<Bytes> labels;
        for (int frame = 0; frame < frames; ++frame) {
            const std::int64_t at = start + player.pair.deck(Role::Player).framesToMicros(frame);
            clock.advanceMicros(at - clock.nowMicros());
            labels.push_back(player.timeData(clock.nowMicros()));
        }
        return labels;
    }

    ManualClock clock{5 * second};
};

TEST_F(VirtualTimeBase, DropFrameLabelsSkipTwoAtEachMinuteButTheTenthAndCarryTheFlag)
{
    // Frame 1798 is 00:00:59:28; frame 17980 is 00:09:59:28.
    EXPECT_EQ(labelsWhilePlaying(withBase(TimeBase::fps2997DropFrame, 1798), 3),
              (std::vector<Bytes>{hex("68 59 00 00"), hex("69 59 00 00"), hex("42 00 01 00")}));
    EXPECT_EQ(labelsWhilePlaying(withBase(TimeBase::fps2997DropFrame, 17980), 4),
              (std::vector<Bytes>{hex("68 59 09 00"), hex("69 59 09 00"), hex("40 00 10 00"), hex("41 00 10 00")}));
}

TEST_F(VirtualTimeBase, NonDropBasesCountEveryLabelWithoutTheFlag)
{
    EXPECT_EQ(labelsWhilePlaying(withBase(TimeBase::fps2997, 1798), 3),
              (std::vector<Bytes>{hex("28 59 00 00"), hex("29 59 00 00"), hex("00 00 01 00")}));
    EXPECT_EQ(labelsWhilePlaying(withBase(TimeBase::fps25, 23), 3),
              (std::vector<Bytes>{hex("23 00 00 00"), hex("24 00 00 00"), hex("00 01 00 00")}));
}

TEST_F(VirtualTimeBase, TimeDataAreReadAsLabelsOfTheBase)
{
    Player dropFrame(withBase(TimeBase::fps2997DropFrame), clock);
    const Deck& deck = dropFrame.pair.deck(Role::Player);
    dropFrame.send(hex("44 14 42 00 01 00 9B"), clock.nowMicros());  // in 00:01:00:02, drop-frame flag set
    dropFrame.send(hex("44 15 00 00 10 00 69"), clock.nowMicros());  // out 00:10:00:00
    dropFrame.send(hex("44 31 00 05 00 00 7A"), clock.nowMicros());  // preroll 5 s
    EXPECT_EQ(deck.inPoint(), 1800);
    EXPECT_EQ(deck.outPoint(), 17982);
    EXPECT_EQ(deck.prerollFrames(), 150);
    dropFrame.send(hex("24 31 05 00 11 00 6B"), clock.nowMicros());  // cue to 00:11:00:05
    clock.advanceMicros(60 * second);
    EXPECT_EQ(deck.positionFrameAt(dropFrame.pair.advanceToNow()), 17982 + 1800 + 3);
    EXPECT_EQ(dropFrame.timeData(clock.nowMicros()), hex("45 00 11 00"));

    Player pal(withBase(TimeBase::fps25), clock);
    pal.send(hex("44 14 24 59 00 00 D5"), clock.nowMicros());  // in 00:00:59:24
    pal.send(hex("44 31 00 05 00 00 7A"), clock.nowMicros());
    EXPECT_EQ(pal.pair.deck(Role::Player).inPoint(), 59 * 25 + 24);
    EXPECT_EQ(pal.pair.deck(Role::Player).prerollFrames(), 125);
}

TEST_F(VirtualTimeBase, NtscTapeRunsAThousandthSlowerThanThirtyFrameTape)
{
    Player thirty(withBase(TimeBase::fps30), clock);
    Player ntsc(withBase(TimeBase::fps2997), clock);
    Player dropFrame(withBase(TimeBase::fps2997DropFrame), clock);
    for (Player* player : {&thirty, &ntsc, &dropFrame}) {
        player->send(hex("20 01 21"), clock.nowMicros());
    }
    clock.advanceMicros(1001 * second);
    const auto frame = [&](Player& player) { return player.pair.deck(Role::Player).positionFrameAt(player.pair.advanceToNow()); };
    EXPECT_EQ(frame(thirty), 30030);
    EXPECT_EQ(frame(ntsc), 30000);
    EXPECT_EQ(frame(dropFrame), 30000);
    EXPECT_EQ(ntsc.timeData(clock.nowMicros()), hex("00 40 16 00"));       // 00:16:40:00, behind the clock
    EXPECT_EQ(dropFrame.timeData(clock.nowMicros()), hex("40 41 16 00"));  // 00:16:41:00, in step with it
}

TEST_F(VirtualTimeBase, TapeEndsAtTheLabelTwoHoursInEachBase)
{
    const std::pair<TimeBase, int> ends[] = {
        {TimeBase::fps30, 216000}, {TimeBase::fps2997, 216000}, {TimeBase::fps2997DropFrame, 215784}, {TimeBase::fps25, 180000}};
    for (const auto& [base, endFrame] : ends) {
        SCOPED_TRACE(std::string(base.name()));
        Player player(withBase(base), clock);
        player.send(hex("20 10 30"), clock.nowMicros());  // fast forward to the end
        clock.advanceMicros(200 * second);
        EXPECT_EQ(player.pair.deck(Role::Player).positionFrameAt(player.pair.advanceToNow()), endFrame);
        EXPECT_EQ(player.timeData(clock.nowMicros()).at(3), 0x02);
    }
}

}  // namespace
}  // namespace decksim
