#include "deck/VCRPort.h"

#include "app/Utils.h"
#include "deck/ReplyBlock.h"
#include "serial/SerInputStream.h"
#include "serial/SerOutputStream.h"
#include "serial/SerialConfig.h"
#include "serial/SerialErrors.h"
#include "serial/SerialPortLocal.h"
#include "serial/backend/SerialBackend.h"

#include <algorithm>
#include <chrono>
#include <optional>
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
    guarded("Unable to make OutputStream", [this] {
        auto stream = std::make_unique<serial::SerOutputStream>(*serialPort);
        // The stream would wait for ever on a line that stopped taking bytes (CTS dropped, a far
        // end that stopped reading) while it holds the link: a write gives up instead.
        serialPort->setTimeoutTx(writeLimitMs());
        SerialOutStream = std::move(stream);
    });
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
    if (writeRequest(request))
        readReply(request);
    return serin;
}

std::pair<Reply, Reply> VCRPort::SendTogether(VCRPort& first, const std::vector<std::uint8_t>& firstRequest,
                                              VCRPort& second, const std::vector<std::uint8_t>& secondRequest)
{
    std::scoped_lock lock(first.lock_, second.lock_);
    const bool firstWritten = first.writeRequest(firstRequest);
    const bool secondWritten = second.writeRequest(secondRequest);
    if (firstWritten)
        first.readReply(firstRequest);
    if (secondWritten)
        second.readReply(secondRequest);
    return {first.serin, second.serin};
}

bool VCRPort::writeRequest(const std::vector<std::uint8_t>& request)
{
    serin = Reply{};
    serin.exchange = ++exchanges_;
    numBytes = 0;
    discardStaleInput();
    if (!SendSer(request)) {
        serin.outcome = Reply::Outcome::WriteFailed;
        return false;
    }
    serin.written = std::chrono::steady_clock::now();
    return true;
}

void VCRPort::readReply(const std::vector<std::uint8_t>& request)
{
    if (SerialInStream)
        ReadSer(request);
    else
        DelayT(wait);  // nothing can be read: keep the deck's pace all the same
    serin.count = numBytes;
}

void VCRPort::discardStaleInput()
{
    // A reply that came after an earlier exchange gave up must not answer this one.
    if (!SerialInStream)
        return;
    try {
        serialPort->rxFlush();
    } catch (const serial::IOError&) {
        // What cannot be discarded is recognised as not answering the request.
    }
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

void VCRPort::ReadSer(const std::vector<std::uint8_t>& request)
{
    using Clock = std::chrono::steady_clock;
    // A USB adapter holds received bytes for its latency timer, so a reply may come late and
    // in pieces; a reply that ends early ends the exchange early.
    const auto deadline = Clock::now() + std::chrono::milliseconds(wait + adapterLatencyAllowanceMs);
    constexpr auto step = std::chrono::microseconds(500);
    std::vector<std::uint8_t> collected;
    std::size_t start = 0;
    std::optional<std::size_t> firstJunk;
    for (;;) {
        const std::size_t wanted = collected.size() > start
            ? start + static_cast<std::size_t>(ReplyBlock::lengthFrom(collected[start]))
            : start + 1;
        if (collected.size() >= wanted) {
            const std::uint8_t* block = collected.data() + start;
            const int length = static_cast<int>(wanted - start);
            if (!ReplyBlock::checksumOk(block, length)) {
                // A garbled reply, or the tail of one that came too late for an earlier
                // exchange: look for a whole block further on.
                firstJunk = firstJunk.value_or(start);
                ++start;
                continue;
            }
            const bool echo = std::equal(request.begin(), request.end(), block, block + length);
            if (!echo && ReplyBlock::answers(request, block, length)) {
                take(block, length,
                     ReplyBlock::isNak(block, length) ? Reply::Outcome::Refused : Reply::Outcome::Answered);
                return;
            }
            start = wanted;  // an echo of the request, or a late answer to an earlier one
            continue;
        }
        if (Clock::now() >= deadline || !readArrived(collected, wanted)) {
            const std::size_t from = firstJunk.value_or(start);
            if (collected.size() > from)
                take(collected.data() + from, static_cast<int>(collected.size() - from), Reply::Outcome::Bad);
            return;
        }
        if (collected.size() < wanted)
            std::this_thread::sleep_for(step);
    }
}

bool VCRPort::readArrived(std::vector<std::uint8_t>& collected, std::size_t wanted)
{
    try {
        const int ready = SerialInStream->available();
        if (ready <= 0)
            return true;
        std::vector<std::uint8_t> piece(std::min(static_cast<std::size_t>(ready), wanted - collected.size()));
        const int got = SerialInStream->read(piece);
        collected.insert(collected.end(), piece.begin(), piece.begin() + std::clamp(got, 0, static_cast<int>(piece.size())));
        return true;
    } catch (const serial::IOError&) {
        return false;
    }
}

void VCRPort::take(const std::uint8_t* block, int length, Reply::Outcome outcome)
{
    const int kept = std::min(length, buffersize);
    std::copy_n(block, kept, serin.bytes.begin());
    serin.outcome = outcome;
    numBytes = kept;
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

int VCRPort::writeLimitMs()
{
    // The longest block (18 bytes) at 38400 bit/s with a start, a parity and a stop bit.
    constexpr int longestBlock = 18;
    constexpr int bitsPerByte = 11;
    constexpr int bitRate = 38400;
    return (longestBlock * bitsPerByte * 1000 + bitRate - 1) / bitRate + writeMarginMs;
}

void VCRPort::DelayT(int ms)
{
    // Protocol timing, not a pause: it is never cut short.
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
