#pragma once

#include "deck/Reply.h"
#include "serial/LowLatency.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace serial {
class SerialConfig;
class SerialPort;
class InputStream;
class OutputStream;
}

// The serial link to one deck: the port configured for an RS-422 deck or a LANC interface,
// and the one request/response exchange every deck command uses.
class VCRPort {
public:
    static constexpr int buffersize = Reply::buffersize;

    VCRPort(const std::string& portName, bool lanc);
    ~VCRPort();
    VCRPort(const VCRPort&) = delete;
    VCRPort& operator=(const VCRPort&) = delete;

    // The time a deck may take to answer, the adapter's latency allowance on top of it, and
    // the longest a write may stall: all protocol timing, in milliseconds.
    static constexpr int adapterLatencyAllowanceMs = 25;
    static constexpr int writeMarginMs = 50;
    static int writeLimitMs();

    // Discards stale input, writes the request and reads until the whole reply block has
    // arrived or the deadline passes, all under the link's lock. The reply is handed out by
    // value with its length, its outcome, the number of its exchange and its stamps.
    //
    // The link keeps in step with the deck: after an exchange that got no answer (nothing in
    // time, or bytes that answer nothing), whatever was still on its way may come at any
    // moment and look like the answer to the next request. So before the next request the
    // line is read and discarded until it has been quiet for the adapter allowance, and,
    // unless that request is a status request, a status request goes first: its answer
    // cannot be mistaken for any other, so once it is taken the line holds nothing older.
    Reply SendSerial(const std::vector<std::uint8_t>& request);
    // The status request that brings the link back in step.
    static const std::vector<std::uint8_t> stepProof;
    // Writes a request on the first link, the other on the second once the delay has passed
    // since the first was written, then collects each reply: two decks that must start a
    // fraction of a frame apart get their commands that far apart, however late the first
    // deck's reply comes through its line. Both links are brought in step before either
    // request is written.
    static std::pair<Reply, Reply> SendStaggered(VCRPort& first, const std::vector<std::uint8_t>& firstRequest,
                                                 VCRPort& second, const std::vector<std::uint8_t>& secondRequest,
                                                 std::chrono::steady_clock::duration delay);
    // The time the deck has to answer; the reply deadline adds the adapter allowance to it.
    void setwait(int ms);
    int SerCount() const;

    bool hasOpenPort() const;
    bool hasOutStream() const;
    // For the end of the program: takes the link for good and drops output still queued, so
    // that closing the port does not wait for a line that takes no bytes (a serial driver
    // may wait up to 30 s for queued output to drain).
    void closeForExit();

    // False from the moment the port failed (a write or a read error, a hang-up: the device
    // has gone) until reopen brings it back. An offline link writes nothing: each request
    // is counted as a failed write and answered at once with no reply.
    bool online() const { return !offline_; }
    // Why the link went offline, for the operator.
    std::string offlineReason() const;
    // Tries once to open the same port name again and set it up as at start-up, quietly;
    // true when the link is online. The first requests go out before any other thread can
    // reach the deck.
    bool reopen(const std::vector<std::vector<std::uint8_t>>& firstRequests = {});
    // The writes that failed since the link went offline; counting starts again from 0.
    int takeFailedWrites() { return failedWrites_.exchange(0); }
    // What the port got when low latency was asked of it at opening.
    serial::LowLatency lowLatency() const;
    // Whether the last exchange left the link out of step (see SendSerial).
    bool outOfStep() const;
    // Brings the link back in step now, when the last exchange left it out of step, so that
    // the next request (a command due on a frame) goes out without that delay.
    void bringInStepNow();

    bool bad = false;
    // Why opening failed, for the operator's hint (a backend result code; 0 when it did not).
    int openFailure = 0;

private:
    // Builds the configuration (38400 8O1, no handshake or CTS/RTS for LANC) and opens the
    // port over it; a serial failure is raised.
    void openPort();
    void setUpLines();
    // The port did not open or could not be configured: say so and mark the link bad.
    void notAvailable(const std::string& portName, int failure);
    // Runs one step of the link set-up; a serial failure is said (at start-up only) and
    // set-up goes on.
    template <typename Step>
    void setUpStep(const char* failureLine, Step step);
    // The caller holds the link's lock.
    void goOffline(const char* reason);
    bool portGone();
    void setUpLancLines();
    void setUpRs422Lines();
    void makeStreams();
    // The parts of an exchange; the caller holds the link's lock.
    void bringInStep(const std::vector<std::uint8_t>& request);
    void drainUntilQuiet();
    bool writeRequest(const std::vector<std::uint8_t>& request);
    void readReply(const std::vector<std::uint8_t>& request);
    bool SendSer(const std::vector<std::uint8_t>& request);
    // Reads until a block that answers the request is whole, skipping an echo of the request
    // and blocks that answer something else, or until the deadline. Waits on the port for
    // the bytes; at the deadline it takes one last look at what has arrived.
    void ReadSer(const std::vector<std::uint8_t>& request);
    // Waits for input for at most waitMs milliseconds (0: not at all), then appends what has
    // arrived, at most room bytes; how many bytes it appended, -1 when the port failed.
    int readArrived(std::vector<std::uint8_t>& collected, std::size_t room, int waitMs);
    // Puts the block (or what came of it) into the reply with its outcome.
    void take(const std::uint8_t* block, int length, Reply::Outcome outcome);
    void discardStaleInput();
    static void DelayT(int ms);

    std::string portName_;
    bool LANC = false;
    // Set while a reopened port is set up: what failed was said at start-up.
    bool quietSetUp_ = false;
    std::atomic<bool> offline_{false};
    std::atomic<int> failedWrites_{0};
    std::string offlineReason_;
    bool outOfStep_ = false;
    serial::LowLatency lowLatency_;
    bool sigs = false;
    bool cts = false;
    bool dsr = false;
    // Set by the deck controller while polling may be exchanging; taken at each exchange.
    std::atomic<int> wait{10};
    int txBuf = 2048;
    int rxBuf = 4096;
    std::atomic<int> numBytes{0};
    std::uint64_t exchanges_ = 0;
    Reply serin;
    std::shared_ptr<serial::SerialConfig> serCfg;
    std::unique_ptr<serial::SerialPort> serialPort;
    std::unique_ptr<serial::OutputStream> SerialOutStream;
    std::unique_ptr<serial::InputStream> SerialInStream;
    mutable std::mutex lock_;
};
