#pragma once

#include "tools/decksim/Clock.h"
#include "tools/decksim/DeckPair.h"
#include "tools/decksim/DeckPort.h"
#include "tools/decksim/Options.h"
#include "tools/decksim/ProtocolEngine.h"
#include "tools/decksim/ReportWriter.h"
#include "tools/decksim/Role.h"
#include "tools/decksim/SerialAdapter.h"
#include "tools/decksim/Trace.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace decksim {

// A player and a recorder deck, each on its own pseudo-terminal, served by one thread that
// polls both lines. They start in the constructor and stop cleanly in the destructor.
// A pseudo-terminal's device path dies with it, so each deck's line is reached through a
// symbolic link the decks own (in a temporary folder): a deck can be unplugged and plugged
// back, as a USB adapter is, and come back at the same path.
class VirtualDecks {
public:
    explicit VirtualDecks(Options options = {});
    ~VirtualDecks();
    VirtualDecks(const VirtualDecks&) = delete;
    VirtualDecks& operator=(const VirtualDecks&) = delete;

    // The path a controller opens: a link to the deck's pseudo-terminal, e.g. /dev/pts/7.
    const std::string& path(Role role) const;
    // Pulls the deck's line: the controller's port hangs up and the path goes away. What was
    // on its way to the controller is lost. Nothing happens to a deck already unplugged.
    void unplug(Role role);
    // Gives the deck a new line at the same path. Nothing happens to a deck that is plugged.
    // Throws std::system_error when no pseudo-terminal can be made.
    void plugBack(Role role);
    // Every block received and sent so far.
    std::vector<TraceEntry> trace() const;
    void clearTrace();
    // The recorder's tape, one report line per segment.
    std::vector<std::string> reportLines() const;
    // A muted deck reads and discards, never answering.
    void setMuted(Role role, bool muted);
    // The deck never reports cue-up complete (it still moves and parks).
    void setNoCue(Role role, bool noCue);

    // Thread-safe inspection, exact at the moment of the call.
    int positionFrames(Role role) const;
    std::array<std::uint8_t, 10> statusBytes(Role role) const;
    std::uint8_t editPreset(Role role) const;
    int prerollFrames(Role role) const;
    int inPoint(Role role) const;   // -1 while none is set
    int outPoint(Role role) const;  // -1 while none is set
    std::vector<std::vector<std::uint8_t>> reconPackets(Role role) const;

    // Also write every trace line to this file; false when it cannot be opened.
    bool writeTraceTo(const std::string& path);
    // Keep this report file up to date from now on, and write it at the end; false when it
    // cannot be written.
    bool writeReportTo(const std::string& path);

private:
    struct PendingReply {
        std::int64_t due;
        Bytes bytes;
    };
    struct Station {
        Station(Role role, DeckPair& pair, const Options& options)
            : role(role), engine(role, pair, options), adapter(std::int64_t{options.adapterLatencyMs} * 1000)
        {
        }
        Role role;
        // No port while the deck is unplugged; only the serving thread touches it.
        std::unique_ptr<DeckPort> port = std::make_unique<DeckPort>();
        std::string linkPath;
        ProtocolEngine engine;
        std::deque<PendingReply> replies;
        // What the deck sends passes through it on its way to the controller.
        SerialAdapter adapter;
        std::atomic<bool> muted{false};
    };

    struct PortChange {
        Role role;
        bool plugged;
    };

    Station& station(Role role) const { return *stations_[role == Role::Player ? 0 : 1]; }
    void makeLinks();
    void removeLinks();
    // Plugging happens on the serving thread, between its polls of the lines: it alone
    // uses the ports' descriptors.
    void changePort(Role role, bool plugged);
    void servePortChanges();
    void applyPortChange(const PortChange& change);
    void drainWakeUps();
    void wakeUp();
    void run();
    void serveInput(Station& station, std::int64_t now);
    void expireStraggling(Station& station, std::int64_t now);
    void takeExchange(Station& station, ProtocolEngine::Exchange exchange, std::int64_t now);
    void sendDueReplies(Station& station, std::int64_t now);
    void deliverToController(Station& station, std::int64_t now);
    void advanceModel(std::int64_t now);
    std::int64_t nextWakeUp(std::int64_t now) const;
    void record(Role role, bool received, const Bytes& bytes, std::int64_t now);

    Options options_;
    SteadyClock clock_;
    std::int64_t startMicros_;
    mutable std::mutex modelMutex_;
    mutable DeckPair pair_;
    std::array<std::unique_ptr<Station>, 2> stations_;
    Trace trace_;
    std::uint64_t reportedVersion_ = 0;
    std::mutex reportMutex_;
    std::unique_ptr<ReportWriter> reportWriter_;
    std::string linkDir_;
    std::mutex portMutex_;
    std::condition_variable portChanged_;
    std::deque<PortChange> portChanges_;
    std::uint64_t portChangesAsked_ = 0;
    std::uint64_t portChangesDone_ = 0;
    std::exception_ptr portFailure_;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace decksim
