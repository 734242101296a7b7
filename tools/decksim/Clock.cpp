#include "tools/decksim/Clock.h"

#include <chrono>

namespace decksim {

std::int64_t SteadyClock::nowMicros() const
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace decksim
