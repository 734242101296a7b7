#pragma once

#include <cstdint>

namespace decksim {

// Pseudo-random numbers that are the same for the same seed on every machine and library
// (SplitMix64), so that a run with a random fault can be repeated.
class SeededRandom {
public:
    explicit SeededRandom(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next();
    // A whole number from 0 to highest, both included.
    std::int64_t upTo(std::int64_t highest);

private:
    std::uint64_t state_;
};

}  // namespace decksim
