#include "engine/TapePosition.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Clock = TapePosition::Clock;
constexpr double msPerFrame = 1001.0 / 30.0;

Clock::time_point at(double ms)
{
    return Clock::time_point{} + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(ms));
}

// Readings of a tape at play speed whose frame 100 began at 10 ms, asked every step ms.
void readRolling(TapePosition& tape, double from, double to, double step)
{
    for (double ms = from; ms < to; ms += step)
        tape.add(100 + static_cast<int>(std::floor((ms - 10.0) / msPerFrame)), at(ms));
}

}

TEST(TapePosition, ReadingsPinTheFrameBoundaryDownToAFractionOfAFrame)
{
    for (double step : {3.0, 19.0}) {
        SCOPED_TRACE(step);
        TapePosition tape(msPerFrame);
        readRolling(tape, 10.5, 700, step);
        ASSERT_TRUE(tape.known());
        EXPECT_LT(tape.spread(), step / msPerFrame + 0.01);
        // Frame 120 begins at 10 ms + 20 frames.
        const double boundary = std::chrono::duration<double, std::milli>(tape.when(120.0) - at(0)).count();
        EXPECT_NEAR(boundary, 10.0 + 20 * msPerFrame, step / 2 + 0.5);
    }
}

TEST(TapePosition, ReadingsFromBeforeTheTapeRolledAreLeftOut)
{
    TapePosition tape(msPerFrame);
    // A servo locking: the tape stands at frame 99 for a while, then rolls.
    for (double ms = -200; ms < 10; ms += 7)
        tape.add(99, at(ms));
    EXPECT_FALSE(tape.known()) << "a standing tape says nothing about its frame boundaries";
    readRolling(tape, 11, 300, 7);
    ASSERT_TRUE(tape.known());
    EXPECT_NEAR(tape.at(at(10.0 + 5 * msPerFrame)), 105.0, 0.25);
}
