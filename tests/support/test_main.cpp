#include "deck/LongWaits.h"

#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    // The long waits of the sequences (50 s for cue-up, the edit's pauses, 5 s pauses) run
    // twenty times faster; the tests of each of them in real time say so.
    LongWaits::setSpeedUp(20);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
