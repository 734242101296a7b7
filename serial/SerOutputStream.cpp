#include "serial/SerOutputStream.h"

#include "serial/SerialErrors.h"

#include <cstdint>
#include <thread>

namespace serial {

SerOutputStream::SerOutputStream(SerialPort& sp)
    : sp(sp)
{
    if (sp.getPortNum() < 0) {
        throw IOError("Port not open");
    }
    sp.setTimeoutTx(waitForever);
}

void SerOutputStream::write(int b)
{
    sp.putByte(static_cast<std::uint8_t>(b & 0xFF));
}

void SerOutputStream::write(const Bytes& b)
{
    sp.putData(b);
}

void SerOutputStream::write(const Bytes& b, int offset, int length)
{
    const bool inside = offset >= 0 && length >= 0
        && static_cast<std::uint64_t>(offset) + static_cast<std::uint64_t>(length) <= b.size();
    if (!inside) {
        throw IOError("write: count out of bounds");
    }
    sp.putData(Bytes(b.begin() + offset, b.begin() + offset + length));
}

void SerOutputStream::flush()
{
    while (sp.txBufCount() > 0) {
        std::this_thread::yield();
    }
}

} // namespace serial
