#include "deck/ThreadInterrupt.h"

namespace {
thread_local ThreadInterrupt* installed = nullptr;
}

ThreadInterrupt::Scope::Scope(ThreadInterrupt& interrupt) : previous_(installed)
{
    installed = &interrupt;
}

ThreadInterrupt::Scope::~Scope()
{
    installed = previous_;
}

void ThreadInterrupt::interrupt()
{
    {
        std::lock_guard lock(mutex_);
        pending_ = true;
    }
    wake_.notify_all();
}

void ThreadInterrupt::clear()
{
    std::lock_guard lock(mutex_);
    pending_ = false;
}

bool ThreadInterrupt::sleepFor(int ms)
{
    std::unique_lock lock(mutex_);
    bool interrupted = wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return pending_; });
    pending_ = false;
    return interrupted;
}

ThreadInterrupt* ThreadInterrupt::current()
{
    return installed;
}
