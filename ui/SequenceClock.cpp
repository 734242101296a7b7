#include "ui/SequenceClock.h"

#include "deck/LongWaits.h"
#include "ui/OperatorThread.h"

namespace ui {

bool SequenceClock::waitUntil(Clock::time_point when)
{
    return OperatorThread::instance().pauseUntil(when);
}

bool SequenceClock::pause(std::chrono::milliseconds span)
{
    return waitUntil(Clock::now() + LongWaits::scaled(span));
}

bool SequenceClock::aborted() const
{
    return OperatorThread::instance().aborted();
}

}
