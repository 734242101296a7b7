#include "ui/PointFieldLock.h"

#include <utility>

PointFieldLock::PointFieldLock(std::function<void(bool editable)> apply) : apply_(std::move(apply))
{
}

void PointFieldLock::hold(Holder holder)
{
    change(holder, true);
}

void PointFieldLock::release(Holder holder)
{
    change(holder, false);
}

bool PointFieldLock::editable() const
{
    std::lock_guard lock(mutex_);
    return holders_.empty();
}

void PointFieldLock::change(Holder holder, bool holding)
{
    std::lock_guard lock(mutex_);
    if (holding)
        holders_.insert(holder);
    else
        holders_.erase(holder);
    apply_(holders_.empty());
}
