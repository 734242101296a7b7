#include "tests/serial/FakeSerialBackend.h"

#include <algorithm>
#include <thread>

void FakeSerialBackend::setResult(const std::string& operation, int result)
{
    std::lock_guard lock(mutex);
    results[operation] = result;
}

void FakeSerialBackend::queueResult(const std::string& operation, int result)
{
    std::lock_guard lock(mutex);
    queuedResults[operation].push_back(result);
}

void FakeSerialBackend::clearResult(const std::string& operation)
{
    std::lock_guard lock(mutex);
    results.erase(operation);
    queuedResults.erase(operation);
}

void FakeSerialBackend::receive(const Bytes& bytes, std::chrono::milliseconds delay)
{
    std::lock_guard lock(mutex);
    const auto at = Clock::now() + delay;
    for (const auto byte : bytes) {
        incoming.push_back({at, byte});
    }
    arrivals.notify_all();
}

void FakeSerialBackend::answerNextWrite(std::vector<Piece> pieces)
{
    std::lock_guard lock(mutex);
    answers.push_back(std::move(pieces));
}

void FakeSerialBackend::answerNextWrite(const Bytes& bytes, std::chrono::milliseconds delay)
{
    answerNextWrite({Piece{bytes, delay}});
}

FakeSerialBackend::Bytes FakeSerialBackend::sent() const
{
    std::lock_guard lock(mutex);
    return accepted;
}

void FakeSerialBackend::setLowLatency(serial::LowLatency answer)
{
    std::lock_guard lock(mutex);
    lowLatency = std::move(answer);
}

std::vector<FakeSerialBackend::Call> FakeSerialBackend::calls() const
{
    std::lock_guard lock(mutex);
    return history;
}

int FakeSerialBackend::count(const std::string& operation) const
{
    std::lock_guard lock(mutex);
    return countOf(operation);
}

int FakeSerialBackend::countOf(const std::string& operation) const
{
    int total = 0;
    for (const auto& call : history) {
        total += call.operation == operation ? call.repeats : 0;
    }
    return total;
}

std::optional<FakeSerialBackend::Call> FakeSerialBackend::last(const std::string& operation) const
{
    std::lock_guard lock(mutex);
    const auto found = std::find_if(history.rbegin(), history.rend(),
                                    [&](const Call& call) { return call.operation == operation; });
    return found == history.rend() ? std::nullopt : std::optional<Call>(*found);
}

void FakeSerialBackend::clearCalls()
{
    std::lock_guard lock(mutex);
    history.clear();
}

bool FakeSerialBackend::waitForCalls(const std::string& operation, int n,
                                     std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex);
    return called.wait_for(lock, timeout, [&] { return countOf(operation) >= n; });
}

std::optional<serial::SerialConfig> FakeSerialBackend::lastConfigured() const
{
    std::lock_guard lock(mutex);
    return configured;
}

std::optional<int> FakeSerialBackend::record(Call call)
{
    const std::string operation = call.operation;
    if (!history.empty() && history.back().operation == operation
        && history.back().arguments == call.arguments && history.back().data == call.data) {
        ++history.back().repeats;
    } else {
        history.push_back(std::move(call));
    }
    called.notify_all();
    auto& queued = queuedResults[operation];
    if (!queued.empty()) {
        const int result = queued.front();
        queued.pop_front();
        return result;
    }
    const auto sticky = results.find(operation);
    return sticky == results.end() ? std::nullopt : std::optional<int>(sticky->second);
}

int FakeSerialBackend::simple(const std::string& operation, std::vector<int> arguments, int natural)
{
    std::lock_guard lock(mutex);
    return record({operation, std::move(arguments), {}}).value_or(natural);
}

std::size_t FakeSerialBackend::arrivedCount() const
{
    const auto now = Clock::now();
    return static_cast<std::size_t>(std::count_if(incoming.begin(), incoming.end(),
                                                  [now](const Arrival& a) { return a.at <= now; }));
}

std::optional<FakeSerialBackend::Clock::time_point> FakeSerialBackend::nextArrival() const
{
    const auto now = Clock::now();
    std::optional<Clock::time_point> next;
    for (const Arrival& a : incoming) {
        if (a.at > now && (!next || a.at < *next)) {
            next = a.at;
        }
    }
    return next;
}

int FakeSerialBackend::SerGetLibVer()
{
    return simple("SerGetLibVer", {}, 1);
}

int FakeSerialBackend::SerOpenPort(serial::SerialConfig& cfg)
{
    std::lock_guard lock(mutex);
    const int result = record({"SerOpenPort", {cfg.getPort()}, {}}).value_or(0);
    if (result == 0 && cfg.getPort() < 1) {
        cfg.setPortNum(nextPortNumber++);
    }
    return result;
}

int FakeSerialBackend::SerConfigure(const serial::SerialConfig& cfg)
{
    std::lock_guard lock(mutex);
    configured = cfg.copy();
    return record({"SerConfigure", {cfg.getPort() - 1}, {}}).value_or(0);
}

int FakeSerialBackend::SerClosePort(int port)
{
    return simple("SerClosePort", {port}, 0);
}

int FakeSerialBackend::SerPutByte(int port, std::uint8_t b)
{
    std::lock_guard lock(mutex);
    const int result = record({"SerPutByte", {port, b}, {b}}).value_or(0);
    if (result == 0) {
        accepted.push_back(b);
    }
    return result;
}

int FakeSerialBackend::SerPutData(int port, const std::uint8_t* data, int count)
{
    std::lock_guard lock(mutex);
    const Bytes bytes(data, data + std::max(count, 0));
    const int result = record({"SerPutData", {port, count}, bytes}).value_or(count);
    const int taken = std::clamp(result, 0, std::max(count, 0));
    accepted.insert(accepted.end(), bytes.begin(), bytes.begin() + taken);
    if (taken > 0 && !answers.empty()) {
        const auto written = Clock::now();
        for (const auto& piece : answers.front()) {
            for (const auto byte : piece.bytes) {
                incoming.push_back({written + piece.delay, byte});
            }
        }
        answers.pop_front();
        arrivals.notify_all();
    }
    return result;
}

int FakeSerialBackend::SerGetByte(int port)
{
    std::lock_guard lock(mutex);
    if (const auto scripted = record({"SerGetByte", {port}, {}})) {
        return *scripted;
    }
    if (arrivedCount() == 0) {
        return -1;
    }
    const int byte = incoming.front().byte;
    incoming.pop_front();
    return byte;
}

int FakeSerialBackend::SerGetData(int port, std::uint8_t* buffer, int count)
{
    std::lock_guard lock(mutex);
    if (const auto scripted = record({"SerGetData", {port, count}, {}})) {
        return *scripted;
    }
    const int taken = static_cast<int>(std::min(arrivedCount(), static_cast<std::size_t>(std::max(count, 0))));
    for (int i = 0; i < taken; ++i) {
        buffer[i] = incoming.front().byte;
        incoming.pop_front();
    }
    return taken;
}

int FakeSerialBackend::SerRxWait(int port, int timeoutMs)
{
    std::unique_lock lock(mutex);
    if (const auto scripted = record({"SerRxWait", {port, timeoutMs}, {}})) {
        return *scripted;
    }
    // Without a limit the wait still looks again now and then: an hour is as good as for ever.
    const auto deadline = Clock::now() + (timeoutMs < 0 ? std::chrono::hours(1) : std::chrono::milliseconds(timeoutMs));
    for (;;) {
        if (const auto waiting = arrivedCount(); waiting > 0) {
            return static_cast<int>(waiting);
        }
        if (Clock::now() >= deadline) {
            return 0;
        }
        arrivals.wait_until(lock, std::min(deadline, nextArrival().value_or(deadline)));
    }
}

int FakeSerialBackend::SerRxFlush(int port)
{
    std::lock_guard lock(mutex);
    // Only what has arrived can be discarded; bytes still on their way come later.
    const auto now = Clock::now();
    std::erase_if(incoming, [now](const Arrival& a) { return a.at <= now; });
    return record({"SerRxFlush", {port}, {}}).value_or(0);
}

int FakeSerialBackend::SerTxFlush(int port)
{
    return simple("SerTxFlush", {port}, 0);
}

int FakeSerialBackend::SerTxDrain(int port)
{
    return simple("SerTxDrain", {port}, 0);
}

int FakeSerialBackend::SerRxReadyCount(int port)
{
    std::lock_guard lock(mutex);
    return record({"SerRxReadyCount", {port}, {}}).value_or(static_cast<int>(arrivedCount()));
}

int FakeSerialBackend::SerTxBufCount(int port)
{
    return simple("SerTxBufCount", {port}, 0);
}

int FakeSerialBackend::SerRxOverflow(int port)
{
    return simple("SerRxOverflow", {port}, 0);
}

int FakeSerialBackend::SerSetDTR(int port, bool level)
{
    return simple("SerSetDTR", {port, level ? 1 : 0}, 0);
}

int FakeSerialBackend::SerSetRTS(int port, bool level)
{
    return simple("SerSetRTS", {port, level ? 1 : 0}, 0);
}

int FakeSerialBackend::SerSendBreak(int port, int duration)
{
    return simple("SerSendBreak", {port, duration}, 0);
}

int FakeSerialBackend::SerSetTimeoutRx(int port, int ms)
{
    std::lock_guard lock(mutex);
    const int result = record({"SerSetTimeoutRx", {port, ms}, {}}).value_or(0);
    if (result != -1) {
        timeoutsRx[port] = ms;
    }
    return result;
}

int FakeSerialBackend::SerSetTimeoutTx(int port, int ms)
{
    std::lock_guard lock(mutex);
    const int result = record({"SerSetTimeoutTx", {port, ms}, {}}).value_or(0);
    if (result != -1) {
        timeoutsTx[port] = ms;
    }
    return result;
}

int FakeSerialBackend::SerGetTimeoutRx(int port)
{
    std::lock_guard lock(mutex);
    return record({"SerGetTimeoutRx", {port}, {}}).value_or(timeoutsRx[port]);
}

int FakeSerialBackend::SerGetTimeoutTx(int port)
{
    std::lock_guard lock(mutex);
    return record({"SerGetTimeoutTx", {port}, {}}).value_or(timeoutsTx[port]);
}

int FakeSerialBackend::SerSigCTS(int port)
{
    return simple("SerSigCTS", {port}, 0);
}

int FakeSerialBackend::SerSigDSR(int port)
{
    return simple("SerSigDSR", {port}, 0);
}

int FakeSerialBackend::SerSigCD(int port)
{
    return simple("SerSigCD", {port}, 0);
}

int FakeSerialBackend::SerSigFrameErr(int port)
{
    return simple("SerSigFrameErr", {port}, 0);
}

int FakeSerialBackend::SerSigParityErr(int port)
{
    return simple("SerSigParityErr", {port}, 0);
}

int FakeSerialBackend::SerSigOverrun(int port)
{
    return simple("SerSigOverrun", {port}, 0);
}

int FakeSerialBackend::SerSigRing(int port)
{
    return simple("SerSigRing", {port}, 0);
}

int FakeSerialBackend::SerSigBreak(int port)
{
    return simple("SerSigBreak", {port}, 0);
}

int FakeSerialBackend::SerFlowTask(int port)
{
    // A real step takes a few milliseconds; so does this one, to keep the task's loop
    // from flooding the call record.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return simple("SerFlowTask", {port}, 0);
}

serial::LowLatency FakeSerialBackend::SerRequestLowLatency(int port)
{
    std::lock_guard lock(mutex);
    record({"SerRequestLowLatency", {port}, {}});
    return lowLatency;
}
