#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>

// Console lines written by a thread of their own, so that a thread saying a line (a deck's
// polling thread in the middle of an edit) never waits for whoever reads the console. Lines
// are written whole and in the order they were said. When the reader stops reading and the
// queue is full, further lines are dropped and counted; once everything queued is out, one
// line says how many were lost, at the place where they would have stood.
class ConsoleWriter {
public:
    // Writes to the file descriptor, which stays open for the writer's life; at most capacity
    // lines wait.
    ConsoleWriter(int fd, std::size_t capacity);
    // Gives the lines still queued a second to go out, then ends the thread: by then the file
    // must take them or refuse them (a reader gone).
    ~ConsoleWriter();
    ConsoleWriter(const ConsoleWriter&) = delete;
    ConsoleWriter& operator=(const ConsoleWriter&) = delete;

    // The writer of standard output, made on first use and never destroyed: threads that are
    // never joined may still say a line while the process ends.
    static ConsoleWriter& standardOutput();

    // Queues the text, which ends with its newline; never waits for the reader.
    void write(std::string text);
    // Waits until everything queued before the call is written (or refused by the file: a
    // reader gone), for at most the limit; false when time ran out first.
    bool flush(std::chrono::milliseconds limit);

    // The line that stands for lines lost to a full queue.
    static std::string droppedLine(std::uint64_t count);

private:
    void run();
    // Writes all of the text unless the file refuses it; the only writer of the descriptor.
    void writeWhole(const std::string& text) const;

    const int fd_;
    const std::size_t capacity_;
    // A process forked from this one has no writer thread: it writes its lines itself.
    const pid_t owner_;
    std::mutex mutex_;
    std::condition_variable queued_;
    std::condition_variable written_;
    std::deque<std::string> queue_;
    std::uint64_t dropped_ = 0;
    // Texts taken into the queue, and texts the thread is done with, since the start.
    std::uint64_t accepted_ = 0;
    std::uint64_t done_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};
