#include "engine/RealTimeScheduling.h"

#include "deck/Utils.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

namespace {

std::atomic<bool> refusalSaid{false};
std::atomic<bool> allowed{true};

// The highest priority the user may take: the limit, unless the process is privileged.
int allowedPriority()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_RTPRIO, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur > 0)
        return std::min<int>(RealTimeScheduling::priority, static_cast<int>(limit.rlim_cur));
    return RealTimeScheduling::priority;
}

}

void RealTimeScheduling::allow(bool allowedNow)
{
    allowed = allowedNow;
}

RealTimeScheduling::RealTimeScheduling()
{
    if (!allowed)
        return;
    sched_param previous{};
    if (pthread_getschedparam(pthread_self(), &previousPolicy_, &previous) != 0)
        return;
    previousPriority_ = previous.sched_priority;
    sched_param wanted{};
    wanted.sched_priority = allowedPriority();
    const int refused = pthread_setschedparam(pthread_self(), SCHED_FIFO, &wanted);
    active_ = refused == 0;
    if (refused != 0 && !refusalSaid.exchange(true)) {
        Utils::OutLine(std::string("Edit timing without real-time scheduling (") + std::strerror(refused)
                       + "): see the README to allow it");
    }
}

RealTimeScheduling::~RealTimeScheduling()
{
    if (!active_)
        return;
    sched_param previous{};
    previous.sched_priority = previousPriority_;
    pthread_setschedparam(pthread_self(), previousPolicy_, &previous);
}
