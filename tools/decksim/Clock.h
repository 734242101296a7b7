#pragma once

#include <atomic>
#include <cstdint>

namespace decksim {

// The time base of the deck model, in microseconds. Injected so that model tests can step
// time without sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t nowMicros() const = 0;
};

// Wall-clock time from the monotonic steady clock.
class SteadyClock : public Clock {
public:
    std::int64_t nowMicros() const override;
};

// Time that moves only when a test says so.
class ManualClock : public Clock {
public:
    explicit ManualClock(std::int64_t startMicros = 0) : now_(startMicros) {}
    std::int64_t nowMicros() const override { return now_.load(); }
    void advanceMicros(std::int64_t micros) { now_ += micros; }

private:
    std::atomic<std::int64_t> now_;
};

}  // namespace decksim
