#pragma once

#include "serial/SerialConfig.h"
#include "serial/backend/SerialBackend.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// A programmable serial backend for tests. Every call is recorded with its arguments. By
// default it behaves like a healthy port: opening succeeds and numbers the port, writes are
// accepted whole, reads deliver the canned receive bytes, waits for input end when bytes
// arrive, lines read as not asserted, and no port is a USB adapter.
// Any operation's result can be scripted, for every call or for the next calls only.
// Safe to use from several threads.
class FakeSerialBackend : public serial::SerialBackend {
public:
    using Bytes = std::vector<std::uint8_t>;
    using Clock = std::chrono::steady_clock;

    struct Call {
        std::string operation;
        // The port index first (where the operation takes one), then the other numbers:
        // a byte, a count, a level (0 or 1), a duration or a time-out.
        std::vector<int> arguments;
        // The bytes handed to SerPutByte or SerPutData.
        Bytes data;
        // Identical calls in a row (the receive wait polls in a tight loop) are kept as
        // one record with a repeat count.
        int repeats = 1;
    };

    // Every later call of operation returns result. For SerPutData the result is the number
    // of bytes accepted (and recorded as sent); for SerGetByte, SerGetData, SerRxReadyCount
    // and SerRxWait it replaces the canned receive bytes.
    void setResult(const std::string& operation, int result);
    // The next call of operation returns result; queued results are used before the
    // result given to setResult, in order.
    void queueResult(const std::string& operation, int result);
    void clearResult(const std::string& operation);

    // Bytes that arrive at the port after delay from now.
    void receive(const Bytes& bytes, std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    // One piece of a far end's answer: bytes that arrive delay after the write they answer.
    struct Piece {
        Bytes bytes;
        std::chrono::milliseconds delay{0};
    };
    // The far end's answer to the next write not yet answered: the pieces arrive after that
    // write, as a deck's reply does. Answers are used one per write, in order.
    void answerNextWrite(std::vector<Piece> pieces);
    void answerNextWrite(const Bytes& bytes, std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    // Every byte accepted by SerPutByte and SerPutData, in order.
    Bytes sent() const;
    // What SerRequestLowLatency reports from now on.
    void setLowLatency(serial::LowLatency answer);

    std::vector<Call> calls() const;
    int count(const std::string& operation) const;
    std::optional<Call> last(const std::string& operation) const;
    void clearCalls();
    // Waits until operation was called at least n times in all; false on timeout.
    bool waitForCalls(const std::string& operation, int n, std::chrono::milliseconds timeout) const;
    // The record handed to the latest SerConfigure.
    std::optional<serial::SerialConfig> lastConfigured() const;

    int SerGetLibVer() override;
    int SerOpenPort(serial::SerialConfig& cfg) override;
    int SerConfigure(const serial::SerialConfig& cfg) override;
    int SerClosePort(int port) override;
    int SerPutByte(int port, std::uint8_t b) override;
    int SerPutData(int port, const std::uint8_t* data, int count) override;
    int SerGetByte(int port) override;
    int SerGetData(int port, std::uint8_t* buffer, int count) override;
    int SerRxWait(int port, int timeoutMs) override;
    int SerRxFlush(int port) override;
    int SerTxFlush(int port) override;
    int SerTxDrain(int port) override;
    int SerRxReadyCount(int port) override;
    int SerTxBufCount(int port) override;
    int SerRxOverflow(int port) override;
    int SerSetDTR(int port, bool level) override;
    int SerSetRTS(int port, bool level) override;
    int SerSendBreak(int port, int duration) override;
    int SerSetTimeoutRx(int port, int ms) override;
    int SerSetTimeoutTx(int port, int ms) override;
    int SerGetTimeoutRx(int port) override;
    int SerGetTimeoutTx(int port) override;
    int SerSigCTS(int port) override;
    int SerSigDSR(int port) override;
    int SerSigCD(int port) override;
    int SerSigFrameErr(int port) override;
    int SerSigParityErr(int port) override;
    int SerSigOverrun(int port) override;
    int SerSigRing(int port) override;
    int SerSigBreak(int port) override;
    int SerFlowTask(int port) override;
    serial::LowLatency SerRequestLowLatency(int port) override;

private:
    struct Arrival {
        Clock::time_point at;
        std::uint8_t byte;
    };

    // Records the call and returns its scripted result, if any. Caller holds the lock.
    std::optional<int> record(Call call);
    int simple(const std::string& operation, std::vector<int> arguments, int natural);
    std::size_t arrivedCount() const;
    // When the next byte still on its way arrives, if any does.
    std::optional<Clock::time_point> nextArrival() const;
    int countOf(const std::string& operation) const;

    mutable std::mutex mutex;
    mutable std::condition_variable called;
    // Told of every byte put on its way to the port.
    std::condition_variable arrivals;
    std::map<std::string, int> results;
    std::map<std::string, std::deque<int>> queuedResults;
    std::vector<Call> history;
    std::deque<Arrival> incoming;
    std::deque<std::vector<Piece>> answers;
    Bytes accepted;
    std::optional<serial::SerialConfig> configured;
    std::map<int, int> timeoutsRx;
    std::map<int, int> timeoutsTx;
    int nextPortNumber = 1;
    serial::LowLatency lowLatency;
};
