#pragma once

#include <chrono>

// The long waits the sequences are made of: the cue thread's 50 s for a deck to report
// cue-up, the auto edit's set pauses, the 5 s pauses before a message is gone or the program
// ends. In service each lasts what it says. Tests speed all of them up by one factor, so the
// suite runs the same sequences without waiting for them; tape timing (when a command must
// reach a deck) never goes through here.
class LongWaits {
public:
    // 1 is real time; the environment variable KESTRIX_SPEEDUP sets it for a whole process
    // where the process asks for it (the test build of the program, never the shipped one).
    static void setSpeedUp(int factor);
    static int speedUp();
    static void speedUpFromEnvironment();

    static std::chrono::milliseconds scaled(std::chrono::milliseconds span);
    // Pauses the calling thread for the scaled span (cut short like any pause).
    static void pause(std::chrono::milliseconds span);

    // Real time for its lifetime: for the one test of each long wait in real time.
    class RealTime {
    public:
        RealTime();
        ~RealTime();
        RealTime(const RealTime&) = delete;
        RealTime& operator=(const RealTime&) = delete;

    private:
        int previous_;
    };
};
