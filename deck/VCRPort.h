#pragma once

#include "deck/Reply.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class VCR;
namespace serial {
class SerialConfig;
class SerialPort;
class InputStream;
class OutputStream;
}

// The serial link to one deck: the port configured for an RS-422 deck or a LANC interface,
// and the one request/response exchange every deck command uses.
class VCRPort {
public:
    static constexpr int buffersize = Reply::buffersize;

    VCRPort(const std::string& portName, VCR* owner, bool lanc);
    ~VCRPort();
    VCRPort(const VCRPort&) = delete;
    VCRPort& operator=(const VCRPort&) = delete;

    // Writes the request, waits `wait` ms and collects the reply, all under the link's lock.
    // The reply is handed out by value together with its byte count.
    Reply SendSerial(const std::vector<std::uint8_t>& request);
    void setwait(int ms);
    int SerCount() const;

    bool hasOpenPort() const;
    bool hasOutStream() const;

    bool bad = false;
    // Why opening failed, for the operator's hint (a backend result code; 0 when it did not).
    int openFailure = 0;

private:
    // The port did not open or could not be configured: say so and mark the link bad.
    void notAvailable(const std::string& portName, int failure);
    void setUpLancLines();
    void setUpRs422Lines();
    void makeStreams();
    bool SendSer(const std::vector<std::uint8_t>& request);
    void ReadSer();
    static void DelayT(int ms);

    bool LANC = false;
    bool sigs = false;
    bool cts = false;
    bool dsr = false;
    // Set by the deck controller while polling may be exchanging; taken at each exchange.
    std::atomic<int> wait{10};
    int txBuf = 2048;
    int rxBuf = 4096;
    std::atomic<int> numBytes{0};
    Reply serin;
    std::vector<std::uint8_t> readBuf_ = std::vector<std::uint8_t>(buffersize);
    VCR* vcr = nullptr;
    std::shared_ptr<serial::SerialConfig> serCfg;
    std::unique_ptr<serial::SerialPort> serialPort;
    std::unique_ptr<serial::OutputStream> SerialOutStream;
    std::unique_ptr<serial::InputStream> SerialInStream;
    mutable std::mutex lock_;
};
