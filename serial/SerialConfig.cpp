#include "serial/SerialConfig.h"

#include "serial/SerialErrors.h"

#include <array>
#include <string_view>

namespace serial {

namespace {

SerialConfig::Bytes bytesOf(const std::string& text)
{
    return SerialConfig::Bytes(text.begin(), text.end());
}

void requireInRange(int value, int lowest, int highest, const char* message)
{
    if (value < lowest || value > highest) {
        throw InvalidArgument(message);
    }
}

} // namespace

SerialConfig::SerialConfig()
{
    portName = bytesOf("COM1");
    setBaseName(defaultBaseName);
}

SerialConfig::SerialConfig(int port)
    : port(port)
{
    setBaseName(defaultBaseName);
}

SerialConfig::SerialConfig(int port, int txLen, int rxLen)
    : port(port), txLen(txLen), rxLen(rxLen)
{
    setBaseName(defaultBaseName);
}

SerialConfig::SerialConfig(const std::string& portName)
    : portName(bytesOf(portName))
{
}

void SerialConfig::setPortNum(int n)
{
    if (n < 0) {
        throw InvalidArgument("Invalid Port Number: " + std::to_string(n));
    }
    port = n;
}

void SerialConfig::setPortName(const std::string& s)
{
    portName = bytesOf(s);
}

void SerialConfig::setBaseName(const std::string& s)
{
    baseName = bytesOf(s);
}

void SerialConfig::setBitRate(int r)
{
    requireInRange(r, BR_110, BR_115200, "Invalid Serial Port Bit Rate");
    bitRate = r;
}

void SerialConfig::setParity(int p)
{
    // Mark parity is declared for callers but no backend offers it.
    requireInRange(p, PY_NONE, PY_EVEN, "Invalid Serial Port Parity");
    parity = p;
}

void SerialConfig::setDataBits(int d)
{
    requireInRange(d, LN_5BITS, LN_8BITS, "Invalid Serial Port Data Bits");
    dataBits = d;
}

void SerialConfig::setStopBits(int s)
{
    requireInRange(s, ST_1BITS, ST_2BITS, "Invalid Serial Port Stop Bits");
    stopBits = s;
}

void SerialConfig::setHandshake(int h)
{
    if (h == HS_DSRDTR && !dsrDtrAvailable()) {
        throw InvalidArgument("DSRDTR handshaking not available on this platform");
    }
    // Plain modes are 0 to 3; from 16 on any mix of the four flag bits is taken as given.
    const bool betweenModesAndFlags = h > HS_DSRDTR && h < HS_HARD_IN;
    const int allFlags = HS_HARD_IN | HS_HARD_OUT | HS_SOFT_IN | HS_SOFT_OUT;
    if (h < 0 || betweenModesAndFlags || h > allFlags) {
        throw InvalidArgument("Invalid Serial Port Handshake");
    }
    handshake = h;
}

void SerialConfig::setHardFlow(bool b)
{
    hardFlow = b;
}

void SerialConfig::setTxLen(int n)
{
    txLen = n;
}

void SerialConfig::setRxLen(int n)
{
    rxLen = n;
}

SerialConfig SerialConfig::copy() const
{
    return *this;
}

bool SerialConfig::dsrDtrAvailable() const
{
    static constexpr std::array<std::string_view, 5> systemsWithDsrDtr = {
        "Windows 95", "Windows NT", "Windows CE", "Windows 98", "OS/2"};
    for (const auto& system : systemsWithDsrDtr) {
        if (osName == system) {
            return true;
        }
    }
    return false;
}

} // namespace serial
