#pragma once

#include "serial/backend/SerialBackend.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>

namespace serial {

// The serial backend over Linux terminal devices: real ports (/dev/ttyS*, USB adapters) and
// pseudo-terminals. Ports are named "COMn" (/dev/ttyS(n-1)), by a device path starting with
// "/", or, in a record without a name, by number on the record's device stem. Reads return
// at once with what has arrived; SerRxWait waits for input on the device with poll().
class LinuxSerialBackend : public SerialBackend {
public:
    // The device exists but this user may not open it (not in the dialout group).
    static constexpr int PermissionDenied = 1004;
    // The terminal refused the line settings, or the record asks for settings a Linux
    // terminal cannot make.
    static constexpr int SettingsRejected = 1005;
    static constexpr int LibraryVersion = 1;

    // sysfsRoot is where the kernel's device tree is mounted; tests give a folder of their own.
    explicit LinuxSerialBackend(std::string sysfsRoot = "/sys") : sysfsRoot_(std::move(sysfsRoot)) {}
    LinuxSerialBackend(const LinuxSerialBackend&) = delete;
    LinuxSerialBackend& operator=(const LinuxSerialBackend&) = delete;
    ~LinuxSerialBackend() override;

    // The device path a record names, or nothing when the record names no usable port.
    static std::optional<std::string> devicePathOf(const SerialConfig& cfg);

    int SerGetLibVer() override;
    int SerOpenPort(SerialConfig& cfg) override;
    int SerConfigure(const SerialConfig& cfg) override;
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
    LowLatency SerRequestLowLatency(int port) override;

private:
    // One open device. Its own lock keeps a close from pulling the descriptor away while
    // another thread uses it; the descriptor is -1 once closed. A thread waiting for input
    // does not hold the lock: it counts itself among the waiters, and a close wakes it
    // through wakeFd and waits until no waiter is left before it closes the descriptor.
    struct PortEntry {
        std::mutex mutex;
        std::condition_variable waitersGone;
        int fd = -1;
        int wakeFd = -1;
        int waiters = 0;
        // Set by a close before it wakes the waiters.
        bool closing = false;
        dev_t device = 0;
        std::string path;
        int timeoutRx = 0;
        int timeoutTx = 0;
    };

    std::shared_ptr<PortEntry> find(int port);
    // Runs action on the open port under its lock; -1 when the port is not open.
    template <typename Action>
    int withPort(int port, Action action);

    int openDevice(const std::string& path, SerialConfig& cfg);
    std::optional<int> chooseNumber(const SerialConfig& cfg) const;
    bool holdsDevice(dev_t device) const;
    int modemLine(int port, int lineBit);
    int setModemLine(int port, int lineBit, bool level);
    static int writeAll(PortEntry& entry, const std::uint8_t* data, int count);
    static int readAvailable(int fd, std::uint8_t* buffer, int count);
    static void closeEntry(PortEntry& entry, std::unique_lock<std::mutex>& lock);

    std::string sysfsRoot_;
    std::mutex tableMutex;
    // Keyed by the 0-based index every call after SerOpenPort uses.
    std::map<int, std::shared_ptr<PortEntry>> ports;
};

} // namespace serial
