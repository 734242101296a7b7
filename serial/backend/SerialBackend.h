#pragma once

#include "serial/LowLatency.h"
#include "serial/SerialConfig.h"

#include <cstdint>
#include <memory>
#include <string>

namespace serial {

// The primitive port operations that a port object drives. After SerOpenPort every call
// names the port by its 0-based index: the record's port number minus 1. Results follow
// one convention: -1 is a failure wherever a count or a line level is expected, and the
// open and configure calls return 0 or a failure code.
class SerialBackend {
public:
    static constexpr int AlreadyOpen = 1000;
    static constexpr int InUse = 1002;
    static constexpr int NotValid = 1003;

    virtual ~SerialBackend() = default;

    virtual int SerGetLibVer() = 0;
    // Opens the port the record names and stores its 1-based number in the record.
    virtual int SerOpenPort(SerialConfig& cfg) = 0;
    virtual int SerConfigure(const SerialConfig& cfg) = 0;
    virtual int SerClosePort(int port) = 0;
    virtual int SerPutByte(int port, std::uint8_t b) = 0;
    // Returns how many of the count bytes were accepted for sending.
    virtual int SerPutData(int port, const std::uint8_t* data, int count) = 0;
    // The next received byte as 0 to 255, or -1 when none is waiting; never waits.
    virtual int SerGetByte(int port) = 0;
    // Stores up to count received bytes at the start of buffer and returns how many;
    // never waits.
    virtual int SerGetData(int port, std::uint8_t* buffer, int count) = 0;
    // Waits until received bytes are waiting or timeoutMs milliseconds have passed (a
    // negative time-out waits without limit). Returns how many bytes are waiting, 0 when the
    // time passed first, -1 when the port failed or hung up and nothing is left to read.
    // Closing the port ends the wait with -1.
    virtual int SerRxWait(int port, int timeoutMs) = 0;
    virtual int SerRxFlush(int port) = 0;
    virtual int SerTxFlush(int port) = 0;
    virtual int SerTxDrain(int port) = 0;
    virtual int SerRxReadyCount(int port) = 0;
    virtual int SerTxBufCount(int port) = 0;
    virtual int SerRxOverflow(int port) = 0;
    virtual int SerSetDTR(int port, bool level) = 0;
    virtual int SerSetRTS(int port, bool level) = 0;
    virtual int SerSendBreak(int port, int duration) = 0;
    virtual int SerSetTimeoutRx(int port, int ms) = 0;
    virtual int SerSetTimeoutTx(int port, int ms) = 0;
    virtual int SerGetTimeoutRx(int port) = 0;
    virtual int SerGetTimeoutTx(int port) = 0;
    // Line and error sensing: 1 asserted or seen, -1 failure, anything else not asserted.
    virtual int SerSigCTS(int port) = 0;
    virtual int SerSigDSR(int port) = 0;
    virtual int SerSigCD(int port) = 0;
    virtual int SerSigFrameErr(int port) = 0;
    virtual int SerSigParityErr(int port) = 0;
    virtual int SerSigOverrun(int port) = 0;
    virtual int SerSigRing(int port) = 0;
    virtual int SerSigBreak(int port) = 0;
    // One step of flow-control assistance; returns within a few milliseconds so that the
    // task calling it over and over can be stopped.
    virtual int SerFlowTask(int port) = 0;
    // Asks a USB serial adapter for low latency: the driver's low-latency flag and a latency
    // timer of 1 ms. Any other port is left as it is and reports no adapter.
    virtual LowLatency SerRequestLowLatency(int port) = 0;

    // The backend new port objects use: the installed one, else the built-in backend of
    // this operating system, chosen on first use.
    static std::shared_ptr<SerialBackend> current();
    // Puts a backend in place of the built-in one (tests); nullptr returns to the
    // built-in one.
    static void install(std::shared_ptr<SerialBackend> backend);
    // The built-in backend for an operating-system name, or nullptr when there is none.
    static std::shared_ptr<SerialBackend> builtInFor(const std::string& osName);
    // The built-in backend for osName; without one, writes "Platform not supported" and
    // ends the process with status 1.
    static std::shared_ptr<SerialBackend> selectFor(const std::string& osName);
};

} // namespace serial
