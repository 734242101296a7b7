#include "deck/LongWaits.h"

#include "deck/Utils.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <string>

namespace {

std::atomic<int> factor{1};

}

void LongWaits::setSpeedUp(int speedUpFactor)
{
    factor = std::max(1, speedUpFactor);
}

int LongWaits::speedUp()
{
    return factor;
}

void LongWaits::speedUpFromEnvironment()
{
    const char* text = std::getenv("KESTRIX_SPEEDUP");
    if (!text)
        return;
    try {
        setSpeedUp(std::stoi(text));
    } catch (const std::exception&) {
        // Not a number: real time.
    }
}

std::chrono::milliseconds LongWaits::scaled(std::chrono::milliseconds span)
{
    return span / factor.load();
}

void LongWaits::pause(std::chrono::milliseconds span)
{
    Utils::DelayT(static_cast<int>(scaled(span).count()));
}

LongWaits::RealTime::RealTime() : previous_(factor.exchange(1))
{
}

LongWaits::RealTime::~RealTime()
{
    factor = previous_;
}
