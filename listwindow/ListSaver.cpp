#include "listwindow/ListSaver.h"

#include "eventlist/ListError.h"
#include "eventlist/ListFile.h"

ListSaver::ListSaver(std::string path, Reporter reporter)
    : path_(std::move(path)), reporter_(std::move(reporter)), thread_([this] { run(); })
{
}

ListSaver::~ListSaver()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void ListSaver::save(EventList list)
{
    {
        std::lock_guard lock(mutex_);
        pending_ = std::move(list);
        ++handedOver_;
    }
    changed_.notify_all();
}

bool ListSaver::flush(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return inFile_ == handedOver_; });
}

std::uint64_t ListSaver::savesDone() const
{
    std::lock_guard lock(mutex_);
    return savesDone_;
}

void ListSaver::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || pending_; });
        if (!pending_)
            return;
        EventList list = std::move(*pending_);
        pending_.reset();
        const std::uint64_t number = handedOver_;
        lock.unlock();
        Result result;
        try {
            result.warnings = ListFile::save(path_, list);
            result.saved = true;
        } catch (const ListError& failure) {
            result.failure = failure.what();
        }
        reporter_(result);
        lock.lock();
        ++savesDone_;
        if (result.saved) {
            inFile_ = number;
        } else if (!pending_ && !stopping_) {
            // The same list again after a while, unless a newer one comes first.
            pending_ = std::move(list);
            changed_.wait_for(lock, retryDelay, [this, number] { return stopping_ || handedOver_ != number; });
        }
        changed_.notify_all();
    }
}
