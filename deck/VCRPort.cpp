#include "deck/VCRPort.h"

#include "app/Utils.h"
#include "serial/SerInputStream.h"
#include "serial/SerOutputStream.h"
#include "serial/SerialConfig.h"
#include "serial/SerialErrors.h"
#include "serial/SerialPortLocal.h"
#include "serial/backend/SerialBackend.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

// Runs one step of the link set-up; a serial I/O failure prints its line and set-up goes on.
template <typename Step>
void guarded(const char* failureLine, Step step)
{
    try {
        step();
    } catch (const serial::IOError&) {
        Utils::OutLine(failureLine);
    }
}

}

VCRPort::VCRPort(const std::string& portName, VCR* owner, bool lanc) : LANC(lanc), vcr(owner)
{
    try {
        serCfg = std::make_shared<serial::SerialConfig>(portName);
        serCfg->setBitRate(serial::SerialConfig::BR_38400);
        serCfg->setDataBits(serial::SerialConfig::LN_8BITS);
        serCfg->setStopBits(serial::SerialConfig::ST_1BITS);
        serCfg->setParity(serial::SerialConfig::PY_ODD);
        serCfg->setHandshake(serial::SerialConfig::HS_NONE);
        if (LANC)
            serCfg->setHandshake(serial::SerialConfig::HS_CTSRTS);
        serCfg->setHardFlow(false);
        serCfg->setTxLen(txBuf);
        serCfg->setRxLen(rxBuf);
        serialPort = std::make_unique<serial::SerialPortLocal>(serCfg);
    } catch (const serial::IOError& failure) {
        notAvailable(portName, failure.code());
        return;
    } catch (const serial::InvalidArgument&) {
        // A refused configuration value: the port is just as unusable.
        notAvailable(portName, 0);
        return;
    }
    if (LANC)
        setUpLancLines();
    else
        setUpRs422Lines();
}

VCRPort::~VCRPort() = default;

void VCRPort::setUpLancLines()
{
    guarded("Unable to sense CTS", [this] { cts = serialPort->sigCTS(); });
    guarded("Unable to sense DSR", [this] { dsr = serialPort->sigDSR(); });
    sigs = cts != dsr;
    // Both lines at one level: no LANC interface answers on this port, so no reply is read.
    if (!sigs)
        return;
    guarded("Unable to set DTR=1", [this] { serialPort->setDTR(true); });
    makeStreams();
}

void VCRPort::setUpRs422Lines()
{
    guarded("Unable to set DTR", [this] { serialPort->setDTR(true); });
    guarded("Unable to set RTS", [this] { serialPort->setRTS(true); });
    makeStreams();
}

void VCRPort::makeStreams()
{
    guarded("Unable to make OutputStream",
            [this] { SerialOutStream = std::make_unique<serial::SerOutputStream>(*serialPort); });
    guarded("Unable to make InputStream",
            [this] { SerialInStream = std::make_unique<serial::SerInputStream>(*serialPort); });
}

void VCRPort::notAvailable(const std::string& portName, int failure)
{
    serialPort.reset();
    openFailure = failure;
    Utils::OutLine(" ");
    Utils::OutLine("Serial Port " + portName + " not available");
    bad = true;
}

Reply VCRPort::SendSerial(const std::vector<std::uint8_t>& request)
{
    std::lock_guard lock(lock_);
    serin = Reply{};
    numBytes = 0;
    if (SendSer(request)) {
        DelayT(wait);
        ReadSer();
    }
    serin.count = numBytes;
    return serin;
}

bool VCRPort::SendSer(const std::vector<std::uint8_t>& request)
{
    try {
        if (!serialPort)
            throw serial::IOError("Port not open");
        serialPort->putData(request);
        return true;
    } catch (const serial::IOError&) {
        Utils::OutLine("Unable to write to Serial Port");
        return false;
    }
}

void VCRPort::ReadSer()
{
    numBytes = 0;
    if (!SerialInStream)
        return;
    try {
        // A line that never falls silent (a babbling or looped-back port) must not hold the
        // link forever: after this many chunks the rest is discarded like any surplus.
        constexpr int maxChunks = 256;
        for (int chunk = 0; chunk < maxChunks && SerialInStream->available() > 0; ++chunk) {
            const int got = SerialInStream->read(readBuf_);
            std::copy_n(readBuf_.begin(), std::clamp(got, 0, buffersize), serin.bytes.begin());
            numBytes = got;
        }
        serialPort->rxFlush();
    } catch (const serial::IOError&) {
        // A failed read keeps what was read before it.
    }
}

void VCRPort::setwait(int ms)
{
    wait = ms;
}

int VCRPort::SerCount() const
{
    return numBytes;
}

bool VCRPort::hasOpenPort() const
{
    return serialPort != nullptr;
}

bool VCRPort::hasOutStream() const
{
    return SerialOutStream != nullptr;
}

void VCRPort::DelayT(int ms)
{
    // The reply wait is protocol timing, not a pause: cutting it short would leave the
    // deck's reply to be read as the answer to the next request.
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
