#pragma once

#include "tools/decksim/Clock.h"
#include "tools/decksim/DeckPair.h"
#include "tools/decksim/DeckPort.h"
#include "tools/decksim/Options.h"
#include "tools/decksim/ProtocolEngine.h"
#include "tools/decksim/Report.h"
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
#include <optional>
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
    // Throws std::invalid_argument when the options name the player's reels wrongly.
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
    // Switches the deck off and on again, plugged or not: it comes back stopped, with no edit
    // preset, no points and the default preroll, its tape where it was. Recording ends; a
    // block it was receiving and replies it had not sent yet are lost.
    void powerCycle(Role role);
    // Every block received and sent so far.
    std::vector<TraceEntry> trace() const;
    void clearTrace();
    // The recorder's tape, one report line per segment.
    std::vector<std::string> reportLines() const;
    // The same segments, with frame numbers and the player's reel.
    std::vector<Report::Segment> segments() const;
    // A muted deck reads and discards, never answering.
    void setMuted(Role role, bool muted);
    // The deck never reports cue-up complete (it still moves and parks).
    void setNoCue(Role role, bool noCue);
    // The deck answers the command with the undefined-command NAK and leaves it undone, the
    // next times times or, with nothing, always; allow ends that.
    void refuse(Role role, DeckCommand command, std::optional<int> times = std::nullopt);
    void allow(Role role, DeckCommand command);
    // The deck's REMOTE/LOCAL switch: in LOCAL it answers sense requests and refuses the rest.
    void setLocal(Role role, bool local);
    // The cassette's write-protect (see --rec-inhibit), as if another cassette went in
    // between two recordings: it holds for the deck's next record or edit on.
    void setRecordInhibit(Role role, bool inhibit);
    // Puts another of the player's reels in; the player stops, each reel keeps its own
    // position. Throws std::invalid_argument for a reel the player does not have.
    void mount(const std::string& reel);
    std::string mountedReel() const;

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

    // What happens to a deck on the serving thread, between its polls of the lines.
    struct LineChange {
        enum class Kind { Unplug, Plug, PowerCycle };
        Role role;
        Kind kind;
    };

    Station& station(Role role) const { return *stations_[role == Role::Player ? 0 : 1]; }
    void makeLinks();
    void removeLinks();
    // Plugging and power cycles happen on the serving thread, between its polls of the
    // lines: it alone uses the ports' descriptors and the replies on their way.
    void changeLine(Role role, LineChange::Kind kind);
    void serveLineChanges();
    void applyLineChange(const LineChange& change);
    void unplugStation(Station& station);
    void powerCycleStation(Station& station);
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
    std::mutex lineMutex_;
    std::condition_variable lineChanged_;
    std::deque<LineChange> lineChanges_;
    std::uint64_t lineChangesAsked_ = 0;
    std::uint64_t lineChangesDone_ = 0;
    std::exception_ptr lineFailure_;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace decksim
