#pragma once

#include "eventlist/EventList.h"
#include "eventlist/ListWarning.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Saves the list to its file on a thread of its own, so that neither the GUI thread nor the
// operator thread ever waits for the disk. Each save replaces the file whole (ListFile), so a
// crash at any moment leaves the old list or the new one.
//
// Lists handed over while a save runs wait; only the newest is saved next, so saves in a row
// coalesce and the last list handed over always reaches the file. A save that fails is tried
// again after retryDelay until it succeeds or a newer list takes its place; each result is
// reported, on the saving thread.
class ListSaver {
public:
    struct Result {
        bool saved = false;
        // Why the file could not be replaced; empty when it was.
        std::string failure;
        // What other systems may read differently in the list as written.
        std::vector<ListWarning> warnings;
    };
    using Reporter = std::function<void(const Result&)>;

    static constexpr std::chrono::milliseconds retryDelay{2000};

    ListSaver(std::string path, Reporter reporter);
    // Saves a list still waiting, once, then stops.
    ~ListSaver();
    ListSaver(const ListSaver&) = delete;
    ListSaver& operator=(const ListSaver&) = delete;

    const std::string& path() const { return path_; }

    // Any thread; returns at once.
    void save(EventList list);
    // Waits until the last list handed over is in the file, up to the limit; false when it is
    // not (a save still failing, or too slow).
    bool flush(std::chrono::milliseconds limit);
    // Saves done so far (successful or not), for figures and tests.
    std::uint64_t savesDone() const;

private:
    void run();

    const std::string path_;
    Reporter reporter_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<EventList> pending_;
    // Lists handed over, and the number of the last one in the file.
    std::uint64_t handedOver_ = 0;
    std::uint64_t inFile_ = 0;
    std::uint64_t savesDone_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};
