#include "deck/ConsoleWriter.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>

namespace {

// Far more lines than a deck in trouble says while the console is merely slow.
constexpr std::size_t standardCapacity = 4096;
constexpr std::chrono::milliseconds lastFlush{1000};

}

ConsoleWriter::ConsoleWriter(int fd, std::size_t capacity)
    : fd_(fd), capacity_(capacity), owner_(::getpid()), thread_([this] { run(); })
{
}

ConsoleWriter::~ConsoleWriter()
{
    flush(lastFlush);
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    queued_.notify_all();
    thread_.join();
}

ConsoleWriter& ConsoleWriter::standardOutput()
{
    static ConsoleWriter* const writer = [] {
        auto* made = new ConsoleWriter(STDOUT_FILENO, standardCapacity);
        // A program that ends by returning from main still says its last lines.
        std::atexit([] { standardOutput().flush(lastFlush); });
        return made;
    }();
    return *writer;
}

void ConsoleWriter::write(std::string text)
{
    if (::getpid() != owner_) {
        writeWhole(text);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (queue_.size() >= capacity_) {
            ++dropped_;
            return;
        }
        // The count of lost lines goes where they would have stood, before this line.
        if (dropped_ > 0) {
            queue_.push_back(droppedLine(dropped_));
            ++accepted_;
            dropped_ = 0;
        }
        queue_.push_back(std::move(text));
        ++accepted_;
    }
    queued_.notify_one();
}

bool ConsoleWriter::flush(std::chrono::milliseconds limit)
{
    if (::getpid() != owner_)
        return true;
    std::unique_lock lock(mutex_);
    const std::uint64_t target = accepted_;
    return written_.wait_for(lock, limit, [&] { return done_ >= target; });
}

std::string ConsoleWriter::droppedLine(std::uint64_t count)
{
    return "Console lines dropped: " + std::to_string(count) + " (the console was not being read)\n";
}

void ConsoleWriter::run()
{
    // A reader gone makes the write fail with EPIPE instead of ending the process, whatever
    // the process does with the signal.
    sigset_t brokenPipe;
    sigemptyset(&brokenPipe);
    sigaddset(&brokenPipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);

    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return stopping_ || !queue_.empty() || dropped_ > 0; });
        if (stopping_ && queue_.empty())
            return;
        const bool fromQueue = !queue_.empty();
        std::string text;
        if (fromQueue) {
            text = std::move(queue_.front());
            queue_.pop_front();
        } else {
            // Everything before the lost lines is out: say how many there were.
            text = droppedLine(dropped_);
            dropped_ = 0;
        }
        lock.unlock();
        writeWhole(text);
        lock.lock();
        if (fromQueue)
            ++done_;
        written_.notify_all();
    }
}

void ConsoleWriter::writeWhole(const std::string& text) const
{
    std::size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + sent, text.size() - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A console left non-blocking by another program: wait until it takes bytes.
            pollfd writable{fd_, POLLOUT, 0};
            ::poll(&writable, 1, -1);
        } else if (n < 0 && errno != EINTR) {
            // The reader is gone or the file refuses bytes: the line is lost, nothing else.
            return;
        }
    }
}
