#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace decksim {

// Keeps the report file up to date on its own thread, so that writing never delays a
// deck's reply: changed() asks for a rewrite, several changes close together make one.
// The destructor writes the final report.
class ReportWriter {
public:
    using Snapshot = std::function<std::vector<std::string>()>;
    static constexpr int minimumGapMs = 100;

    ReportWriter(std::string path, Snapshot snapshot);
    ~ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    void changed();
    // Writes the report now, on the calling thread; false when the file could not be written.
    bool writeNow();

private:
    void run();

    std::string path_;
    Snapshot snapshot_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool dirty_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace decksim
