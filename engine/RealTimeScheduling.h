#pragma once

// The calling thread runs under real-time scheduling (first in, first out, at a modest
// priority) for the object's lifetime, when the system lets the user have it (RLIMIT_RTPRIO,
// or CAP_SYS_NICE): a roll's timed writes then go out when they are due, whatever else the
// machine is doing. Without it the thread runs as before, and the console says so once.
class RealTimeScheduling {
public:
    RealTimeScheduling();
    ~RealTimeScheduling();
    RealTimeScheduling(const RealTimeScheduling&) = delete;
    RealTimeScheduling& operator=(const RealTimeScheduling&) = delete;

    bool active() const { return active_; }
    // Whether rolls ask for real-time scheduling at all (a benchmark compares both).
    static void allow(bool allowed);

    // The priority asked for; the limit the user is given may lower it.
    static constexpr int priority = 10;

private:
    bool active_ = false;
    int previousPolicy_ = 0;
    int previousPriority_ = 0;
};
