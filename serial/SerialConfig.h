#pragma once

#include "serial/Platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace serial {

// How one serial port is opened and driven: which port, the line settings as small codes
// (the backend translates them), the handshake, the driver buffer sizes and whether the
// port should run its flow-control task. Every line-setting setter validates first and
// stores afterwards, so a refused value leaves the field as it was.
class SerialConfig {
public:
    using Bytes = std::vector<std::uint8_t>;

    static constexpr int BR_110 = 0;
    static constexpr int BR_150 = 1;
    static constexpr int BR_300 = 2;
    static constexpr int BR_600 = 3;
    static constexpr int BR_1200 = 4;
    static constexpr int BR_2400 = 5;
    static constexpr int BR_4800 = 6;
    static constexpr int BR_9600 = 7;
    static constexpr int BR_19200 = 8;
    static constexpr int BR_38400 = 9;
    static constexpr int BR_57600 = 10;
    static constexpr int BR_115200 = 11;

    static constexpr int PY_NONE = 0;
    static constexpr int PY_ODD = 1;
    static constexpr int PY_EVEN = 2;
    static constexpr int PY_MARK = 3;

    static constexpr int LN_5BITS = 0;
    static constexpr int LN_6BITS = 1;
    static constexpr int LN_7BITS = 2;
    static constexpr int LN_8BITS = 3;

    static constexpr int ST_1BITS = 0;
    static constexpr int ST_2BITS = 1;

    static constexpr int HS_NONE = 0;
    static constexpr int HS_XONXOFF = 1;
    static constexpr int HS_CTSRTS = 2;
    static constexpr int HS_CTSDTR = 2;
    static constexpr int HS_DSRDTR = 3;
    static constexpr int HS_HARD_IN = 16;
    static constexpr int HS_HARD_OUT = 32;
    static constexpr int HS_SOFT_IN = 64;
    static constexpr int HS_SOFT_OUT = 128;

    // Port "COM1" on the default device stem.
    SerialConfig();
    // A port given by its 1-based number on the default device stem.
    explicit SerialConfig(int port);
    SerialConfig(int port, int txLen, int rxLen);
    // A port given by name ("COM2", "/dev/ttyUSB0"); the form the deck link uses.
    explicit SerialConfig(const std::string& portName);

    void setPortNum(int n);
    void setPortName(const std::string& s);
    void setBaseName(const std::string& s);
    void setBitRate(int r);
    void setParity(int p);
    void setDataBits(int d);
    void setStopBits(int s);
    void setHandshake(int h);
    void setHardFlow(bool b);
    void setTxLen(int n);
    void setRxLen(int n);

    int getPort() const { return port; }
    const Bytes& getPortName() const { return portName; }
    const Bytes& getBaseName() const { return baseName; }
    int getTxLen() const { return txLen; }
    int getRxLen() const { return rxLen; }
    int getBitRate() const { return bitRate; }
    int getParity() const { return parity; }
    int getDataBits() const { return dataBits; }
    int getStopBits() const { return stopBits; }
    int getHandshake() const { return handshake; }
    bool getHardFlow() const { return hardFlow; }

    SerialConfig copy() const;

private:
    static constexpr const char* defaultBaseName = "/dev/ttyS";

    bool dsrDtrAvailable() const;

    // A name sequence that holds no name yet is one zero byte.
    int port = 0;
    Bytes portName{0};
    Bytes baseName{0};
    int txLen = 2048;
    int rxLen = 4096;
    int bitRate = BR_9600;
    int parity = PY_NONE;
    int dataBits = LN_8BITS;
    int stopBits = ST_1BITS;
    int handshake = HS_NONE;
    bool hardFlow = true;
    // Captured once, when the record is made; only the handshake rules use it.
    std::string osName = Platform::osName();
};

} // namespace serial
