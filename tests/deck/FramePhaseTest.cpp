// Where a playing deck's frames begin, learnt from its readings: requests timed by it must
// make the deck sample just after a frame began, never just before (the reading would be a
// whole frame old), whatever the phase of the deck's frames and however long the deck takes
// to sample.

#include "deck/FramePhase.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using Clock = FramePhase::Clock;
using Ms = std::chrono::duration<double, std::milli>;

constexpr double frameMs = 1001.0 / 30.0;
constexpr double cycleMs = 30.0;
constexpr double marginMs = frameMs - cycleMs + 1.0;

Clock::time_point at(double ms)
{
    return Clock::time_point() + std::chrono::duration_cast<Clock::duration>(Ms(ms));
}

double msOf(Clock::time_point moment)
{
    return Ms(moment - Clock::time_point()).count();
}

// A deck at play speed whose frame 0 began at originMs and which samples its tape a delay
// after a request reaches it.
struct PlayingDeck {
    double originMs;
    double frameMs;

    int frameAt(double sampleMs) const { return static_cast<int>(std::floor((sampleMs - originMs) / frameMs)); }
    // How far into its frame the deck is at that moment, in ms.
    double phaseAt(double sampleMs) const { return sampleMs - originMs - frameAt(sampleMs) * frameMs; }
};

// The polling's learning cycles: requests a cycle apart, each stamped when written.
double learn(FramePhase& phase, const PlayingDeck& deck, double fromMs, double delayMs, int cycles)
{
    double asked = fromMs;
    for (int cycle = 0; cycle < cycles; ++cycle, asked += cycleMs)
        phase.add(deck.frameAt(asked + delayMs), at(asked), deck.frameMs);
    return asked;
}

}

TEST(FramePhase, RequestsItTimesMakeTheDeckSampleJustAfterItsFrameBegan)
{
    for (double origin = 0; origin < frameMs; origin += 1.7) {
        for (const double delay : {0.0, 2.0, 8.5}) {
            SCOPED_TRACE(testing::Message() << "origin " << origin << " delay " << delay);
            const PlayingDeck deck{origin + 3600000.0, frameMs};
            FramePhase phase;
            double now = learn(phase, deck, 3700000.0, delay, 10);
            for (int request = 0; request < 30; ++request) {
                const auto next = phase.nextRequest(at(now + frameMs / 2), marginMs);
                ASSERT_TRUE(next.has_value());
                const double asked = msOf(*next);
                EXPECT_GE(asked, now + frameMs / 2 - 0.001);
                EXPECT_LT(asked, now + frameMs * 1.5 + 0.001);
                const double phaseMs = deck.phaseAt(asked + delay);
                EXPECT_LE(phaseMs, marginMs + 0.01) << "the deck sampled late in its frame";
                EXPECT_GT(phaseMs, 0.0) << "the deck sampled before its frame began";
                phase.add(deck.frameAt(asked + delay), at(asked), deck.frameMs);
                now = asked;
            }
        }
    }
}

TEST(FramePhase, ADeckThatSamplesAfterAVaryingDelayIsStillReadAfterItsFrameBegan)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> delay(0.0, 9.0);
    const PlayingDeck deck{12.3, frameMs};
    FramePhase phase;
    double asked = 1000.0;
    for (int cycle = 0; cycle < 40; ++cycle, asked += cycleMs)
        phase.add(deck.frameAt(asked + delay(random)), at(asked), frameMs);
    int early = 0;
    for (int request = 0; request < 200; ++request) {
        asked = msOf(*phase.nextRequest(at(asked + frameMs / 2), marginMs));
        const double sample = asked + delay(random);
        early += deck.phaseAt(sample) > frameMs / 2 ? 1 : 0;
        EXPECT_LE(deck.phaseAt(sample), marginMs + 9.0 + 0.01);
        phase.add(deck.frameAt(sample), at(asked), frameMs);
    }
    EXPECT_EQ(early, 0) << "readings of the frame before";
}

TEST(FramePhase, NothingIsKnownOfADeckThatIsNotAtPlaySpeedOrChangesItsBase)
{
    FramePhase phase;
    const PlayingDeck deck{0, frameMs};
    double now = learn(phase, deck, 1000.0, 1.0, 10);
    ASSERT_TRUE(phase.nextRequest(at(now), marginMs));

    // It stops: the same frame, read again and again.
    const int stoppedAt = deck.frameAt(now);
    phase.add(stoppedAt, at(now), frameMs);
    phase.add(stoppedAt, at(now + cycleMs), frameMs);
    EXPECT_FALSE(phase.nextRequest(at(now), marginMs));
    for (int cycle = 2; cycle < 20; ++cycle)
        phase.add(stoppedAt, at(now + cycle * cycleMs), frameMs);
    EXPECT_FALSE(phase.nextRequest(at(now), marginMs));

    // It shuttles at twice play speed.
    FramePhase shuttling;
    for (int cycle = 0; cycle < 20; ++cycle)
        shuttling.add(2 * deck.frameAt(1000.0 + cycle * cycleMs), at(1000.0 + cycle * cycleMs), frameMs);
    EXPECT_FALSE(shuttling.nextRequest(at(2000.0), marginMs));

    // Its readings change to another base: what was learnt on the old one is no guide.
    FramePhase rebased;
    now = learn(rebased, deck, 1000.0, 1.0, 10);
    ASSERT_TRUE(rebased.nextRequest(at(now), marginMs));
    const PlayingDeck pal{0, 40.0};
    rebased.add(pal.frameAt(now), at(now), 40.0);
    EXPECT_FALSE(rebased.nextRequest(at(now), marginMs));

    rebased.forget();
    EXPECT_FALSE(rebased.nextRequest(at(now), marginMs));
}
