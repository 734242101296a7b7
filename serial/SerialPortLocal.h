#pragma once

#include "serial/SerialConfig.h"
#include "serial/SerialPort.h"
#include "serial/backend/SerialBackend.h"

#include <memory>
#include <string>

namespace serial {

class FlowControlTask;

// A serial port on this machine, driven through the serial backend that was current when
// the object was made. Adds to the backend: the table of what this operating system
// supports, checks of the open state, fixed error texts for backend failures, detection of
// short writes, the receive wait, and the flow-control task.
//
// The object has no lock: its owner serialises the calls. Only a running flow-control task
// calls into the backend for the same port concurrently.
class SerialPortLocal : public SerialPort {
public:
    // A closed port on this system's default device.
    SerialPortLocal();
    // Opens the port that cfg describes at once. cfg stays the caller's record: opening
    // clears its hardFlow (except under "Windows 95") and the backend stores the port
    // number in it.
    explicit SerialPortLocal(std::shared_ptr<SerialConfig> cfg);
    SerialPortLocal(const SerialPortLocal&) = delete;
    SerialPortLocal& operator=(const SerialPortLocal&) = delete;
    // Stops the flow-control task and closes the port; errors are swallowed.
    ~SerialPortLocal() override;

    void open();
    void configure();
    void configure(std::shared_ptr<SerialConfig> cfg) override;
    void setConfig(std::shared_ptr<SerialConfig> cfg) override;
    std::shared_ptr<SerialConfig> getConfig() override;
    void close() override;
    void reset();
    bool isOpen() const { return opened; }

    void putByte(std::uint8_t b) override;
    void putString(const std::string& s) override;
    void putData(const Bytes& b) override;
    void putData(const Bytes& b, int count) override;
    void putData(const Bytes& b, int offset, int length) override;

    int getByte() override;
    int getData(Bytes& buffer) override;
    int getData(Bytes* buffer, int offset, int length) override;

    int rxWait(int ms) override;
    int rxFlush() override;
    int txFlush() override;
    int txDrain() override;
    int rxReadyCount() override;
    int txBufCount() override;
    bool rxOverflow() override;
    bool sigDSR() override;
    bool sigCTS() override;
    bool sigCD() override;
    bool sigFrameErr() override;
    bool sigOverrun() override;
    bool sigParityErr() override;
    bool sigRing() override;
    bool sigBreak() override;
    void setDTR(bool level) override;
    void setRTS(bool level) override;
    void sendBreak(int duration) override;
    int getTimeoutRx() override;
    int getTimeoutTx() override;
    void setTimeoutRx(int ms) override;
    void setTimeoutTx(int ms) override;
    LowLatency requestLowLatency() override;

    int getPortNum() override { return port; }
    void setName(const std::string& name) override;
    std::string getName() override { return name; }
    std::string getName(int index);
    int getLibVer() override;
    // Whether this system supports the named optional operation; true for any other name.
    bool isSupported(const std::string& feature) const;

    // Pass-through to the record; the port is not reconfigured.
    void setPortName(const std::string& s);
    std::string getPortName() const;
    void setBitRate(int r);
    int getBitRate() const;
    void setDataBits(int d);
    int getDataBits() const;
    void setStopBits(int s);
    int getStopBits() const;
    void setParity(int p);
    int getParity() const;
    void setHandshake(int h);
    int getHandshake() const;

    // One step of the flow-control task, run on the task's thread.
    int SerFlowTask(int portIndex);

private:
    // What the operating system's row says the platform supports.
    struct Features {
        bool sigBreak = false;
        bool sigFrameErr = false;
        bool sigOverrun = false;
        bool sigParityErr = false;
        bool rxOverflow = false;
        bool sigRing = false;
        bool sigCTS = false;
        bool sigDSR = false;
        bool sigCD = false;
        bool setRTS = false;
        bool setDTR = false;
        bool rxReadyCount = false;
        bool txBufCount = false;
        bool setTimeoutTx = false;
        // The port object waits for input itself; the backend's reads return at once.
        bool pollGetDataTimeout = false;
        std::string devName;
    };

    // The steps of one queue or signal operation; a null text leaves its step out.
    struct Checks {
        const char* unsupportedText;
        bool supported;
        const char* notOpenText;
        const char* failureText;
    };

    void featureSetup();
    template <typename BackendCall>
    int checked(const Checks& checks, BackendCall call);
    // The receive time-out where this port object waits for input itself, else 0.
    int receiveWaitMs();
    // Waits until a byte is waiting or the receive time-out has passed; false when the
    // time-out passed first or the port failed.
    bool waitForByte();
    void startFlowControlIfWanted(const SerialConfig& cfg);
    void stopFlowControl();
    void forgetFlowControl();
    void disposeQuietly() noexcept;
    void sendAll(const std::uint8_t* data, int count, const std::string& shortfallPrefix);

    std::shared_ptr<SerialBackend> backend;
    int port = -1;
    bool opened = false;
    std::string name = "Serial Port";
    std::string osName;
    std::shared_ptr<SerialConfig> config;
    std::unique_ptr<FlowControlTask> flowControl;
    Features features;
};

} // namespace serial
