#include "serial/SerialPortLocal.h"

#include "serial/FlowControlTask.h"
#include "serial/Platform.h"
#include "serial/SerialErrors.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <string_view>

namespace serial {

namespace {

bool contains(std::initializer_list<std::string_view> names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// offset and length describe a stretch inside a buffer of size bytes.
bool withinBuffer(std::size_t size, int offset, int length)
{
    return offset >= 0 && length >= 0
        && static_cast<std::uint64_t>(offset) + static_cast<std::uint64_t>(length) <= size;
}

std::string openFailureText(int code)
{
    switch (code) {
    case SerialBackend::AlreadyOpen:
        return "SerOpenPort failed: Port is already open";
    case SerialBackend::InUse:
        return "SerOpenPort failed: Port is in use";
    case SerialBackend::NotValid:
        return "SerOpenPort failed: Port not valid";
    default:
        return "SerOpenPort failed: " + std::to_string(code);
    }
}

} // namespace

SerialPortLocal::SerialPortLocal()
    : backend(SerialBackend::current()), osName(Platform::osName())
{
    featureSetup();
    config = std::make_shared<SerialConfig>(features.devName);
}

SerialPortLocal::SerialPortLocal(std::shared_ptr<SerialConfig> cfg)
    : backend(SerialBackend::current()), osName(Platform::osName())
{
    featureSetup();
    setConfig(std::move(cfg));
    try {
        open();
    } catch (...) {
        // The backend may already hold the port open: give it back before failing.
        disposeQuietly();
        throw;
    }
}

SerialPortLocal::~SerialPortLocal()
{
    disposeQuietly();
}

void SerialPortLocal::disposeQuietly() noexcept
{
    try {
        stopFlowControl();
        close();
    } catch (...) {
        // Nobody is left to tell at destruction.
    }
}

void SerialPortLocal::featureSetup()
{
    if (contains({"Windows 95", "Windows NT", "Windows 98", "OS/2"}, osName)) {
        features = Features{};
        features.sigBreak = features.sigFrameErr = features.sigOverrun = true;
        features.sigParityErr = features.rxOverflow = features.sigRing = true;
        features.sigCTS = features.sigDSR = features.sigCD = true;
        features.setRTS = features.setDTR = features.rxReadyCount = true;
        features.txBufCount = features.setTimeoutTx = true;
        features.devName = "COM1";
    } else if (osName == "Mac OS") {
        features = Features{};
        features.sigBreak = features.sigFrameErr = features.sigParityErr = true;
        features.sigOverrun = features.rxOverflow = features.rxReadyCount = true;
        features.setTimeoutTx = true;
        features.sigCTS = features.setDTR = true;
        features.pollGetDataTimeout = true;
        features.devName = "Modem Port";
    } else if (contains({"Linux", "FreeBSD", "Solaris", "HP/UX", "IRIX", "AIX"}, osName)) {
        features = Features{};
        features.sigRing = features.setRTS = features.setDTR = features.sigCD = true;
        features.rxReadyCount = features.txBufCount = features.sigCTS = features.sigDSR = true;
        features.pollGetDataTimeout = true;
        features.devName = osName == "Linux" ? "/dev/ttyS0"
                         : osName == "Solaris" ? "/dev/ttya"
                                               : "/dev/tty0";
    } else {
        features = Features{};
    }
}

bool SerialPortLocal::isSupported(const std::string& feature) const
{
    const std::array<std::pair<std::string_view, bool>, 14> flags = {{
        {"sigBreak", features.sigBreak},
        {"sigFrameErr", features.sigFrameErr},
        {"sigOverrun", features.sigOverrun},
        {"sigParityErr", features.sigParityErr},
        {"rxOverflow", features.rxOverflow},
        {"sigRing", features.sigRing},
        {"sigCTS", features.sigCTS},
        {"sigDSR", features.sigDSR},
        {"sigCD", features.sigCD},
        {"setRTS", features.setRTS},
        {"setDTR", features.setDTR},
        {"rxReadyCount", features.rxReadyCount},
        {"txBufCount", features.txBufCount},
        {"setTimeoutTx", features.setTimeoutTx},
    }};
    for (const auto& [flagName, supported] : flags) {
        if (feature == flagName) {
            return supported;
        }
    }
    return true;
}

void SerialPortLocal::open()
{
    // The flow-control task is only ever wanted under Windows 95.
    if (osName != "Windows 95") {
        config->setHardFlow(false);
    }
    const int result = backend->SerOpenPort(*config);
    if (result != 0) {
        throw IOError(openFailureText(result), result);
    }
    opened = true;
    port = config->getPort() - 1;
    configure(config);
    if (osName == "Mac OS") {
        setTimeoutRx(2000);
        setTimeoutTx(2000);
    } else {
        setTimeoutRx(0);
        if (features.setTimeoutTx) {
            setTimeoutTx(0);
        }
    }
}

void SerialPortLocal::configure()
{
    configure(config);
}

void SerialPortLocal::configure(std::shared_ptr<SerialConfig> cfg)
{
    if (!cfg) {
        throw InvalidArgument("No serial port configuration");
    }
    // A task left over from a close is forgotten too, so that a reopened port gets a
    // fresh one.
    forgetFlowControl();
    const int result = backend->SerConfigure(*cfg);
    if (result != 0) {
        throw IOError("Configure failed: " + std::to_string(result));
    }
    startFlowControlIfWanted(*cfg);
}

void SerialPortLocal::startFlowControlIfWanted(const SerialConfig& cfg)
{
    const int handshake = cfg.getHandshake();
    const bool hardwareHandshake =
        handshake == SerialConfig::HS_CTSRTS || handshake == SerialConfig::HS_DSRDTR;
    if (cfg.getHardFlow() && osName == "Windows 95" && hardwareHandshake && !flowControl) {
        flowControl = std::make_unique<FlowControlTask>(*this);
        flowControl->start();
    }
}

void SerialPortLocal::stopFlowControl()
{
    if (flowControl) {
        flowControl->stop();
    }
}

void SerialPortLocal::forgetFlowControl()
{
    stopFlowControl();
    flowControl.reset();
}

void SerialPortLocal::setConfig(std::shared_ptr<SerialConfig> cfg)
{
    if (!cfg) {
        throw InvalidArgument("No serial port configuration");
    }
    config = std::move(cfg);
}

std::shared_ptr<SerialConfig> SerialPortLocal::getConfig()
{
    return config;
}

void SerialPortLocal::close()
{
    stopFlowControl();
    if (port < 0) {
        return;
    }
    if (backend->SerClosePort(port) != 0) {
        throw IOError("ClosePort failed");
    }
    port = -1;
    opened = false;
}

void SerialPortLocal::reset()
{
    close();
    const int result = backend->SerOpenPort(*config);
    if (result != 0) {
        throw IOError("reset: SerOpenPort failed: " + std::to_string(result));
    }
    port = config->getPort() - 1;
    opened = true;
    configure(config);
}

void SerialPortLocal::putByte(std::uint8_t b)
{
    if (backend->SerPutByte(port, b) != 0) {
        throw IOError("PutByte failed");
    }
}

void SerialPortLocal::sendAll(const std::uint8_t* data, int count, const std::string& shortfallPrefix)
{
    const int sent = backend->SerPutData(port, data, count);
    if (sent != count) {
        throw IOError(shortfallPrefix + std::to_string(sent) + " of " + std::to_string(count)
                      + " bytes");
    }
}

void SerialPortLocal::putString(const std::string& s)
{
    if (s.empty()) {
        return;
    }
    const Bytes bytes(s.begin(), s.end());
    sendAll(bytes.data(), static_cast<int>(bytes.size()), "PutString: sent only ");
}

void SerialPortLocal::putData(const Bytes& b)
{
    if (b.empty()) {
        return;
    }
    sendAll(b.data(), static_cast<int>(b.size()), "PutData1: Sent only ");
}

void SerialPortLocal::putData(const Bytes& b, int count)
{
    // A negative count would hand the backend a length it cannot honour.
    if (count < 0 || static_cast<std::size_t>(count) > b.size()) {
        throw IOError("putData: count out of bounds");
    }
    sendAll(b.data(), count, "PutData2: Sent only ");
}

void SerialPortLocal::putData(const Bytes& b, int offset, int length)
{
    if (!withinBuffer(b.size(), offset, length)) {
        throw IOError("putData3: count out of bounds");
    }
    const Bytes part(b.begin() + offset, b.begin() + offset + length);
    sendAll(part.data(), length, "Sent only ");
}

int SerialPortLocal::receiveWaitMs()
{
    if (!features.pollGetDataTimeout) {
        return 0;
    }
    return std::max(backend->SerGetTimeoutRx(port), 0);
}

bool SerialPortLocal::waitForByte()
{
    const int timeoutMs = receiveWaitMs();
    return timeoutMs == 0 || backend->SerRxWait(port, timeoutMs) > 0;
}

int SerialPortLocal::getByte()
{
    if (port < 0) {
        throw IOError("getByte: Port not open");
    }
    if (!waitForByte()) {
        return -1;
    }
    return backend->SerGetByte(port);
}

int SerialPortLocal::getData(Bytes& buffer)
{
    const int wanted = static_cast<int>(buffer.size());
    const auto take = [this, &buffer](int from) {
        const int received = backend->SerGetData(port, buffer.data() + from, static_cast<int>(buffer.size()) - from);
        if (received == -1) {
            throw IOError("getData: failed");
        }
        return received;
    };
    const int timeoutMs = receiveWaitMs();
    if (timeoutMs == 0) {
        return take(0);
    }
    // Whatever has come when the receive time-out ends is taken, however little. What has
    // come is taken as it comes, so that each wait is for bytes not yet seen.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    int received = take(0);
    while (received < wanted) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const int waiting = left > 0 ? backend->SerRxWait(port, static_cast<int>(left)) : 0;
        if (waiting == 0) {
            break;
        }
        received += take(received);
        if (waiting < 0) {
            break;
        }
    }
    return received;
}

int SerialPortLocal::getData(Bytes* buffer, int offset, int length)
{
    if (buffer == nullptr) {
        return 0;
    }
    if (!withinBuffer(buffer->size(), offset, length)) {
        throw IOError("getData3: count out of bounds");
    }
    Bytes received(static_cast<std::size_t>(length));
    const int count = std::clamp(getData(received), 0, length);
    std::copy_n(received.begin(), count, buffer->begin() + offset);
    return count;
}

template <typename BackendCall>
int SerialPortLocal::checked(const Checks& checks, BackendCall call)
{
    if (checks.unsupportedText != nullptr && !checks.supported) {
        throw IOError(checks.unsupportedText + osName);
    }
    if (checks.notOpenText != nullptr && port < 0) {
        throw IOError(checks.notOpenText);
    }
    const int result = call();
    if (checks.failureText != nullptr && result == -1) {
        throw IOError(checks.failureText);
    }
    return result;
}

int SerialPortLocal::rxWait(int ms)
{
    return checked({nullptr, true, "rxWait: Port not open", "rxWait failed"},
                   [this, ms] { return backend->SerRxWait(port, ms); });
}

int SerialPortLocal::rxFlush()
{
    return checked({nullptr, true, nullptr, "rxFlush failed"},
                   [this] { return backend->SerRxFlush(port); });
}

int SerialPortLocal::txFlush()
{
    return checked({nullptr, true, nullptr, "txFlush failed"},
                   [this] { return backend->SerTxFlush(port); });
}

int SerialPortLocal::txDrain()
{
    return checked({nullptr, true, nullptr, "txDrain failed"},
                   [this] { return backend->SerTxDrain(port); });
}

int SerialPortLocal::rxReadyCount()
{
    return checked({"rxReadyCount not supported on ", features.rxReadyCount,
                    "rxReadyCount: Port not open", "rxReadyCount failed"},
                   [this] { return backend->SerRxReadyCount(port); });
}

int SerialPortLocal::txBufCount()
{
    return checked({"txBufCount not supported on ", features.txBufCount,
                    "txBufCount: Port not open", "txBufCount failed"},
                   [this] { return backend->SerTxBufCount(port); });
}

bool SerialPortLocal::rxOverflow()
{
    return checked({"rxOverflow not supported on ", features.rxOverflow,
                    "rxOverflow: Port not open", "rxOverflow failed"},
                   [this] { return backend->SerRxOverflow(port); })
        == 1;
}

bool SerialPortLocal::sigDSR()
{
    return checked({nullptr, true, "sigDSR: Port not open", "sigDSR failed"},
                   [this] { return backend->SerSigDSR(port); })
        == 1;
}

bool SerialPortLocal::sigCTS()
{
    return checked({nullptr, true, "sigCTS: Port not open", "sigCTS failed"},
                   [this] { return backend->SerSigCTS(port); })
        == 1;
}

bool SerialPortLocal::sigCD()
{
    return checked({"sigCD not supported on ", features.sigCD, "sigCD: Port not open",
                    "sigCD failed"},
                   [this] { return backend->SerSigCD(port); })
        == 1;
}

bool SerialPortLocal::sigFrameErr()
{
    return checked({"sigFrameErr not supported on ", features.sigFrameErr,
                    "sigFrameErr: Port not open", "sigFrameErr failed"},
                   [this] { return backend->SerSigFrameErr(port); })
        == 1;
}

bool SerialPortLocal::sigOverrun()
{
    return checked({"sigOverrun not supported on ", features.sigOverrun,
                    "sigOverrun: Port not open", "sigOverrun failed"},
                   [this] { return backend->SerSigOverrun(port); })
        == 1;
}

bool SerialPortLocal::sigParityErr()
{
    // A backend failure reads as no parity error.
    return checked({"sigParityErr not supported on ", features.sigParityErr,
                    "sigParityErr: Port not open", nullptr},
                   [this] { return backend->SerSigParityErr(port); })
        == 1;
}

bool SerialPortLocal::sigRing()
{
    // A backend failure reads as no ring.
    return checked({"sigRing not supported on ", features.sigRing, "sigRing: Port not open",
                    nullptr},
                   [this] { return backend->SerSigRing(port); })
        == 1;
}

bool SerialPortLocal::sigBreak()
{
    return checked({"sigBreak not supported on ", features.sigBreak,
                    "sigBreak: Port not open", "sigBreak failed"},
                   [this] { return backend->SerSigBreak(port); })
        == 1;
}

void SerialPortLocal::setDTR(bool level)
{
    checked({"setDTR not supported on ", features.setDTR, nullptr, "setDTR failed"},
            [this, level] { return backend->SerSetDTR(port, level); });
}

void SerialPortLocal::setRTS(bool level)
{
    checked({"setRts not supported on ", features.setRTS, nullptr, "setRTS failed"},
            [this, level] { return backend->SerSetRTS(port, level); });
}

void SerialPortLocal::sendBreak(int duration)
{
    checked({nullptr, true, nullptr, "sendBreak failed"},
            [this, duration] { return backend->SerSendBreak(port, duration); });
}

void SerialPortLocal::setTimeoutRx(int ms)
{
    checked({nullptr, true, nullptr, "setTimeoutRx failed"},
            [this, ms] { return backend->SerSetTimeoutRx(port, ms); });
}

void SerialPortLocal::setTimeoutTx(int ms)
{
    // The support flag is consulted by open only: the output stream sets its time-out on
    // every system.
    checked({nullptr, true, nullptr, "setTimeoutTx failed"},
            [this, ms] { return backend->SerSetTimeoutTx(port, ms); });
}

LowLatency SerialPortLocal::requestLowLatency()
{
    if (port < 0) {
        throw IOError("requestLowLatency: Port not open");
    }
    return backend->SerRequestLowLatency(port);
}

int SerialPortLocal::getTimeoutRx()
{
    return backend->SerGetTimeoutRx(port);
}

int SerialPortLocal::getTimeoutTx()
{
    return backend->SerGetTimeoutTx(port);
}

void SerialPortLocal::setName(const std::string& newName)
{
    name = newName;
}

std::string SerialPortLocal::getName(int)
{
    return "Not implemented";
}

int SerialPortLocal::getLibVer()
{
    return backend->SerGetLibVer();
}

void SerialPortLocal::setPortName(const std::string& s)
{
    config->setPortName(s);
}

std::string SerialPortLocal::getPortName() const
{
    const auto& bytes = config->getPortName();
    return std::string(bytes.begin(), bytes.end());
}

void SerialPortLocal::setBitRate(int r)
{
    config->setBitRate(r);
}

int SerialPortLocal::getBitRate() const
{
    return config->getBitRate();
}

void SerialPortLocal::setDataBits(int d)
{
    config->setDataBits(d);
}

int SerialPortLocal::getDataBits() const
{
    return config->getDataBits();
}

void SerialPortLocal::setStopBits(int s)
{
    config->setStopBits(s);
}

int SerialPortLocal::getStopBits() const
{
    return config->getStopBits();
}

void SerialPortLocal::setParity(int p)
{
    config->setParity(p);
}

int SerialPortLocal::getParity() const
{
    return config->getParity();
}

void SerialPortLocal::setHandshake(int h)
{
    config->setHandshake(h);
}

int SerialPortLocal::getHandshake() const
{
    return config->getHandshake();
}

int SerialPortLocal::SerFlowTask(int portIndex)
{
    return backend->SerFlowTask(portIndex);
}

} // namespace serial
