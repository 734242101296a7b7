#include "engine/EditWatchdog.h"

#include "deck/VCR.h"
#include "engine/RealTimeScheduling.h"

EditWatchdog::EditWatchdog(VCR& recorder) : recorder_(recorder)
{
}

EditWatchdog::~EditWatchdog()
{
    standDown();
    if (thread_.joinable())
        thread_.join();
}

void EditWatchdog::arm(Clock::time_point deadline)
{
    thread_ = std::thread([this, deadline] { run(deadline); });
}

std::optional<Reply> EditWatchdog::standDown()
{
    std::unique_lock lock(mutex_);
    stoodDown_ = true;
    changed_.notify_all();
    // A write under way is waited for: the roll must know whether edit off went out.
    changed_.wait(lock, [this] { return !writing_; });
    return wrote_;
}

void EditWatchdog::run(Clock::time_point deadline)
{
    RealTimeScheduling realTime;
    {
        std::unique_lock lock(mutex_);
        if (changed_.wait_until(lock, deadline, [this] { return stoodDown_; }))
            return;
        writing_ = true;
    }
    // Written once: the roll makes sure it was taken, or writes it again.
    const Reply reply = recorder_.CommandB0(VCR::bseditoff);
    {
        std::lock_guard lock(mutex_);
        wrote_ = reply;
        writing_ = false;
    }
    changed_.notify_all();
}
