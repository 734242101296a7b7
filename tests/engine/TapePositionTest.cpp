#include "engine/TapePosition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using Clock = TapePosition::Clock;
constexpr double msPerFrame = 1001.0 / 30.0;
// The deck samples its tape up to its 9 ms turnaround after the request, plus the request's
// time on the line.
constexpr double windowMs = 11.0;

Clock::time_point at(double ms)
{
    return Clock::time_point{} + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(ms));
}

// A tape at play speed whose frame 100 began at 10 ms.
double truePosition(double ms)
{
    return 100 + (ms - 10.0) / msPerFrame;
}

int labelAt(double ms)
{
    return static_cast<int>(std::floor(truePosition(ms)));
}

// A reading asked at `ms`, the deck sampling its tape `late` ms after.
TapePosition::Reading reading(double ms, double late)
{
    return {labelAt(ms + late), at(ms), at(ms + windowMs)};
}

void expectTruthInside(const TapePosition& tape, double ms)
{
    ASSERT_TRUE(tape.known());
    EXPECT_LE(tape.earliest(at(ms)), truePosition(ms)) << "at " << ms << " ms";
    EXPECT_GT(tape.latest(at(ms)), truePosition(ms)) << "at " << ms << " ms";
}

}

TEST(TapePosition, ReadingsSampledAnywhereInTheirWindowKeepTheTruthInsideTheSpread)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> late(0.0, 9.0);
    std::uniform_real_distribution<double> pace(5.0, 40.0);
    TapePosition tape(msPerFrame);
    for (double ms = 10.5; ms < 2000; ms += pace(random)) {
        tape.add(reading(ms, late(random)));
        if (tape.known())
            expectTruthInside(tape, ms + 150);
    }
    EXPECT_LT(tape.spread(), 0.5) << "the readings narrow the position to well under a frame";
    EXPECT_EQ(tape.outliers(), 0);
}

TEST(TapePosition, ReadingsFromBeforeTheTapeRolledAreLeftOut)
{
    TapePosition tape(msPerFrame);
    // A servo locking: the tape stands at frame 99 for a while, then rolls.
    for (double ms = -200; ms < 10; ms += 7)
        tape.add({99, at(ms), at(ms + windowMs)});
    EXPECT_FALSE(tape.known()) << "a standing tape says nothing about its frame boundaries";
    // Those within a frame of the start agree with a rolling tape and are kept a while, a
    // little wrong; the horizon forgets them before a preroll ends.
    for (double ms = 11; ms < 10 + 15 * msPerFrame; ms += 7)
        tape.add(reading(ms, 4.0));
    expectTruthInside(tape, 10.0 + 16 * msPerFrame);
}

TEST(TapePosition, AStaleReadingIsAnOutlierAndMovesNothing)
{
    TapePosition tape(msPerFrame);
    for (double ms = 10.5; ms < 1000; ms += 13)
        tape.add(reading(ms, 3.0));
    ASSERT_TRUE(tape.settled());
    const double before = tape.at(at(1200));
    const double spread = tape.spread();

    // A reply that came too late for an earlier request: three frames old.
    EXPECT_FALSE(tape.add({labelAt(1000) - 3, at(1000), at(1000 + windowMs)}));

    EXPECT_EQ(tape.outliers(), 1);
    EXPECT_DOUBLE_EQ(tape.at(at(1200)), before);
    EXPECT_DOUBLE_EQ(tape.spread(), spread);
    expectTruthInside(tape, 1200);
}

TEST(TapePosition, ARunOfContradictingReadingsSaysTheTapeNoLongerRolls)
{
    TapePosition tape(msPerFrame);
    for (double ms = 10.5; ms < 1000; ms += 13)
        tape.add(reading(ms, 3.0));
    ASSERT_TRUE(tape.settled());
    // The deck stopped at frame 129.
    tape.add({129, at(1100), at(1100 + windowMs)});
    tape.add({129, at(1140), at(1140 + windowMs)});
    EXPECT_TRUE(tape.known()) << "two odd readings are outliers";
    tape.add({129, at(1180), at(1180 + windowMs)});
    EXPECT_FALSE(tape.known()) << "a third in a row: the estimate starts anew, it is not re-based";
}

TEST(TapePosition, AReadingWhoseSampleWindowIsWideSaysLittle)
{
    // Replies through a slow line: the sample may lie anywhere in 30 ms.
    TapePosition tape(msPerFrame);
    for (double ms = 10.5; ms < 1000; ms += 33)
        tape.add({labelAt(ms + 25), at(ms), at(ms + 30)});
    expectTruthInside(tape, 1100);
    EXPECT_GT(tape.spread(), 0.8) << "a window of most of a frame cannot pin the tape down";
}
