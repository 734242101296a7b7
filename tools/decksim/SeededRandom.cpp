#include "tools/decksim/SeededRandom.h"

namespace decksim {

std::uint64_t SeededRandom::next()
{
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::int64_t SeededRandom::upTo(std::int64_t highest)
{
    if (highest <= 0) {
        return 0;
    }
    // The bias of a plain modulo is below 1e-12 for the spans used here.
    return static_cast<std::int64_t>(next() % (static_cast<std::uint64_t>(highest) + 1));
}

}  // namespace decksim
