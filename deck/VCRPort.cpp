#include "deck/VCRPort.h"

#include "deck/ReplyBlock.h"
#include "deck/Utils.h"
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

using Clock = std::chrono::steady_clock;

// A line that never falls quiet (a babbling device) is given up on after this long, and the
// request goes out all the same.
constexpr auto drainLimit = std::chrono::milliseconds(250);
// A block's 15 data bytes with its two command bytes and its checksum.
constexpr std::size_t longestBlock = 18;
// What a reply can have in front of it and in it when the last look at the deadline finds it:
// an echo of the request, a stale block and the reply, a longest block at most each. A line
// that keeps sending ends the last look there.
constexpr std::size_t lastLookLimit = 3 * longestBlock;

}

// Status byte 0 alone: the shortest status request.
const std::vector<std::uint8_t> VCRPort::stepProof{0x61, 0x20, 0x01, 0x82};

template <typename Step>
void VCRPort::setUpStep(const char* failureLine, Step step)
{
    try {
        step();
    } catch (const serial::IOError&) {
        if (!quietSetUp_)
            Utils::OutLine(failureLine);
    }
}

VCRPort::VCRPort(const std::string& portName, bool lanc) : portName_(portName), LANC(lanc)
{
    try {
        openPort();
    } catch (const serial::IOError& failure) {
        notAvailable(portName, failure.code());
        return;
    } catch (const serial::InvalidArgument&) {
        // A refused configuration value: the port is just as unusable.
        notAvailable(portName, 0);
        return;
    }
    setUpLines();
}

void VCRPort::openPort()
{
    serCfg = std::make_shared<serial::SerialConfig>(portName_);
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
    outOfStep_ = false;
    // A USB adapter holds the deck's reply back for its latency timer: every millisecond of it
    // makes the time code older and the exchange longer.
    lowLatency_ = serialPort->requestLowLatency();
}

void VCRPort::setUpLines()
{
    if (LANC)
        setUpLancLines();
    else
        setUpRs422Lines();
}

VCRPort::~VCRPort() = default;

void VCRPort::setUpLancLines()
{
    setUpStep("Unable to sense CTS", [this] { cts = serialPort->sigCTS(); });
    setUpStep("Unable to sense DSR", [this] { dsr = serialPort->sigDSR(); });
    sigs = cts != dsr;
    // Both lines at one level: no LANC interface answers on this port, so no reply is read.
    if (!sigs)
        return;
    setUpStep("Unable to set DTR=1", [this] { serialPort->setDTR(true); });
    makeStreams();
}

void VCRPort::setUpRs422Lines()
{
    setUpStep("Unable to set DTR", [this] { serialPort->setDTR(true); });
    setUpStep("Unable to set RTS", [this] { serialPort->setRTS(true); });
    makeStreams();
}

void VCRPort::makeStreams()
{
    setUpStep("Unable to make OutputStream", [this] {
        auto stream = std::make_unique<serial::SerOutputStream>(*serialPort);
        // The stream would wait for ever on a line that stopped taking bytes (CTS dropped, a far
        // end that stopped reading) while it holds the link: a write gives up instead.
        serialPort->setTimeoutTx(writeLimitMs());
        SerialOutStream = std::move(stream);
    });
    setUpStep("Unable to make InputStream",
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
    bringInStep(request);
    if (writeRequest(request))
        readReply(request);
    return serin;
}

std::pair<Reply, Reply> VCRPort::SendStaggered(VCRPort& first, const std::vector<std::uint8_t>& firstRequest,
                                               VCRPort& second, const std::vector<std::uint8_t>& secondRequest,
                                               std::chrono::steady_clock::duration delay)
{
    std::scoped_lock lock(first.lock_, second.lock_);
    first.bringInStep(firstRequest);
    second.bringInStep(secondRequest);
    const bool firstWritten = first.writeRequest(firstRequest);
    if (firstWritten)
        std::this_thread::sleep_until(first.serin.written + delay);
    const bool secondWritten = second.writeRequest(secondRequest);
    if (firstWritten)
        first.readReply(firstRequest);
    if (secondWritten)
        second.readReply(secondRequest);
    return {first.serin, second.serin};
}

void VCRPort::bringInStep(const std::vector<std::uint8_t>& request)
{
    if (!outOfStep_ || offline_ || !SerialInStream)
        return;
    drainUntilQuiet();
    if (ReplyBlock::isStatusSense(request) || offline_)
        return;
    // The proof's reply is the link's own business: nobody reads it as the deck's status. If
    // no proof comes, the request goes out all the same: a deck that answers nothing now
    // must still get its commands when it comes back.
    if (writeRequest(stepProof))
        readReply(stepProof);
    if (outOfStep_ && !offline_)
        drainUntilQuiet();
}

void VCRPort::bringInStepNow()
{
    std::lock_guard lock(lock_);
    // As before a request that is no status request: the proof goes too.
    bringInStep({});
}

void VCRPort::drainUntilQuiet()
{
    const auto giveUpAt = Clock::now() + drainLimit;
    try {
        while (SerialInStream->waitAvailable(adapterLatencyAllowanceMs) > 0 && Clock::now() < giveUpAt)
            serialPort->rxFlush();
    } catch (const serial::IOError&) {
        goOffline("read failed");
    }
}

bool VCRPort::writeRequest(const std::vector<std::uint8_t>& request)
{
    serin = Reply{};
    serin.exchange = ++exchanges_;
    numBytes = 0;
    serin.outcome = Reply::Outcome::WriteFailed;
    if (offline_) {
        ++failedWrites_;
        return false;
    }
    discardStaleInput();
    serin.asked = Clock::now();
    if (!SendSer(request)) {
        // A line that stopped taking bytes is still there; a port that has gone is not.
        if (portGone()) {
            ++failedWrites_;
            goOffline("write failed");
        }
        // Part of the request may have reached the deck, which refuses the fragment later.
        outOfStep_ = true;
        return false;
    }
    serin.outcome = Reply::Outcome::Silent;
    serin.written = Clock::now();
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
    // A USB adapter holds received bytes for its latency timer, so a reply may come late and
    // in pieces; a reply that ends early ends the exchange early.
    const auto deadline = serin.written + std::chrono::milliseconds(wait + adapterLatencyAllowanceMs);
    std::vector<std::uint8_t> collected;
    std::size_t start = 0;
    std::optional<std::size_t> firstJunk;
    bool lastLook = false;
    bool tookBytes = false;
    std::size_t takenAfterDeadline = 0;
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
                serin.arrived = Clock::now();
                take(block, length,
                     ReplyBlock::isNak(block, length) ? Reply::Outcome::Refused : Reply::Outcome::Answered);
                outOfStep_ = false;
                return;
            }
            start = wanted;  // an echo of the request, or a late answer to an earlier one
            continue;
        }
        if (lastLook && (!tookBytes || takenAfterDeadline > lastLookLimit))
            break;
        // A thread that wakes after the deadline still takes what is already there.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        lastLook = left <= 0;
        // Up to the block's end; while its length is not known yet, as much as a block holds.
        const std::size_t room = collected.size() > start ? wanted - collected.size() : longestBlock;
        const int got = readArrived(collected, room, lastLook ? 0 : static_cast<int>(left));
        if (got < 0) {
            goOffline("read failed");
            break;
        }
        tookBytes = got > 0;
        if (lastLook)
            takenAfterDeadline += static_cast<std::size_t>(got);
    }
    serin.arrived = Clock::now();
    const std::size_t from = firstJunk.value_or(start);
    if (collected.size() > from)
        take(collected.data() + from, static_cast<int>(collected.size() - from), Reply::Outcome::Bad);
    outOfStep_ = true;
}

int VCRPort::readArrived(std::vector<std::uint8_t>& collected, std::size_t room, int waitMs)
{
    try {
        const int ready = waitMs > 0 ? SerialInStream->waitAvailable(waitMs) : SerialInStream->available();
        if (ready <= 0)
            return 0;
        std::vector<std::uint8_t> piece(std::min(static_cast<std::size_t>(ready), room));
        const int got = std::clamp(SerialInStream->read(piece), 0, static_cast<int>(piece.size()));
        collected.insert(collected.end(), piece.begin(), piece.begin() + got);
        return got;
    } catch (const serial::IOError&) {
        return -1;
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
    std::lock_guard lock(lock_);
    return serialPort != nullptr;
}

void VCRPort::closeForExit()
{
    lock_.lock();  // never released: nothing is written after this
    if (!serialPort)
        return;
    try {
        serialPort->txFlush();
    } catch (const serial::IOError&) {
        // A port that cannot flush has nothing queued that matters now.
    }
}

bool VCRPort::hasOutStream() const
{
    std::lock_guard lock(lock_);
    return SerialOutStream != nullptr;
}

void VCRPort::goOffline(const char* reason)
{
    if (offline_)
        return;
    offlineReason_ = reason;
    offline_ = true;
}

bool VCRPort::portGone()
{
    // The backend reports a hang-up, or a device that no longer answers, as a failed count.
    try {
        serialPort->rxReadyCount();
        return false;
    } catch (const serial::IOError&) {
        return true;
    }
}

serial::LowLatency VCRPort::lowLatency() const
{
    std::lock_guard lock(lock_);
    return lowLatency_;
}

bool VCRPort::outOfStep() const
{
    std::lock_guard lock(lock_);
    return outOfStep_;
}

std::string VCRPort::offlineReason() const
{
    std::lock_guard lock(lock_);
    return offlineReason_;
}

bool VCRPort::reopen(const std::vector<std::vector<std::uint8_t>>& firstRequests)
{
    std::lock_guard lock(lock_);
    if (!offline_)
        return true;
    // The failed port is closed first: a device that came back may carry the same number.
    SerialInStream.reset();
    SerialOutStream.reset();
    serialPort.reset();
    try {
        openPort();
    } catch (const serial::IOError&) {
        return false;  // not back yet
    } catch (const serial::InvalidArgument&) {
        return false;
    }
    quietSetUp_ = true;
    setUpLines();
    quietSetUp_ = false;
    offline_ = false;
    for (const auto& request : firstRequests) {
        if (writeRequest(request))
            readReply(request);
    }
    return !offline_;
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
