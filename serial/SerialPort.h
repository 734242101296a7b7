#pragma once

#include "serial/LowLatency.h"
#include "serial/SerialConfig.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace serial {

// What a serial port offers to the rest of the system. Failures are raised as IOError,
// refused configuration values as InvalidArgument.
class SerialPort {
public:
    using Bytes = std::vector<std::uint8_t>;

    virtual ~SerialPort() = default;

    virtual void setConfig(std::shared_ptr<SerialConfig> cfg) = 0;
    virtual std::shared_ptr<SerialConfig> getConfig() = 0;
    virtual void configure(std::shared_ptr<SerialConfig> cfg) = 0;
    virtual void close() = 0;
    virtual void putByte(std::uint8_t b) = 0;
    virtual void putString(const std::string& s) = 0;
    virtual void putData(const Bytes& b) = 0;
    virtual void putData(const Bytes& b, int count) = 0;
    virtual void putData(const Bytes& b, int offset, int length) = 0;
    // The next byte as 0 to 255, or -1 when none arrived within the receive wait.
    virtual int getByte() = 0;
    virtual int getData(Bytes& buffer) = 0;
    // nullptr stands for an absent buffer: nothing is read and 0 is returned.
    virtual int getData(Bytes* buffer, int offset, int length) = 0;
    // Waits until received bytes are waiting or ms milliseconds have passed (a negative time
    // waits without limit); how many are waiting, 0 when the time passed first. A port that
    // failed or hung up while it waited raises IOError.
    virtual int rxWait(int ms) = 0;
    virtual int rxFlush() = 0;
    virtual int txFlush() = 0;
    virtual int txDrain() = 0;
    virtual int rxReadyCount() = 0;
    virtual int txBufCount() = 0;
    virtual bool rxOverflow() = 0;
    virtual bool sigDSR() = 0;
    virtual bool sigCTS() = 0;
    virtual bool sigCD() = 0;
    virtual bool sigFrameErr() = 0;
    virtual bool sigOverrun() = 0;
    virtual bool sigParityErr() = 0;
    virtual bool sigRing() = 0;
    virtual bool sigBreak() = 0;
    virtual void setDTR(bool level) = 0;
    virtual void setRTS(bool level) = 0;
    virtual void sendBreak(int duration) = 0;
    virtual int getTimeoutRx() = 0;
    virtual int getTimeoutTx() = 0;
    virtual void setTimeoutRx(int ms) = 0;
    virtual void setTimeoutTx(int ms) = 0;
    // Asks a USB serial adapter for the lowest latency it can give; what it got.
    virtual LowLatency requestLowLatency() = 0;
    virtual int getLibVer() = 0;
    // The 0-based index of the open port, -1 while closed.
    virtual int getPortNum() = 0;
    virtual void setName(const std::string& name) = 0;
    virtual std::string getName() = 0;
};

} // namespace serial
