#include "ui/SequenceClock.h"

#include "ui/OperatorThread.h"

namespace ui {

bool SequenceClock::waitUntil(Clock::time_point when)
{
    return OperatorThread::instance().pauseUntil(when);
}

bool SequenceClock::aborted() const
{
    return OperatorThread::instance().aborted();
}

}
