#include "tools/decksim/ReportWriter.h"

#include "tools/decksim/AtomicFile.h"

#include <chrono>

namespace decksim {

ReportWriter::ReportWriter(std::string path, Snapshot snapshot)
    : path_(std::move(path)), snapshot_(std::move(snapshot)), thread_([this] { run(); })
{
}

ReportWriter::~ReportWriter()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    writeNow();
}

void ReportWriter::changed()
{
    {
        std::lock_guard lock(mutex_);
        dirty_ = true;
    }
    wake_.notify_all();
}

bool ReportWriter::writeNow()
{
    std::string text;
    for (const std::string& line : snapshot_()) {
        text += line;
        text += '\n';
    }
    return AtomicFile::write(path_, text);
}

void ReportWriter::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return dirty_ || stopping_; });
        if (stopping_) {
            return;
        }
        dirty_ = false;
        lock.unlock();
        writeNow();
        lock.lock();
        wake_.wait_for(lock, std::chrono::milliseconds(minimumGapMs), [this] { return stopping_; });
    }
}

}  // namespace decksim
