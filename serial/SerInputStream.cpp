#include "serial/SerInputStream.h"

#include "serial/SerialErrors.h"

#include <algorithm>
#include <cstdint>

namespace serial {

namespace {

constexpr int withoutLimit = -1;

} // namespace

SerInputStream::SerInputStream(SerialPort& sp)
    : sp(sp)
{
    if (sp.getPortNum() < 0) {
        throw IOError("Port not open");
    }
    sp.setTimeoutRx(0);
}

int SerInputStream::read()
{
    int value = sp.getByte();
    while (value == -1) {
        sp.rxWait(withoutLimit);
        value = sp.getByte();
    }
    return value;
}

int SerInputStream::read(Bytes& buffer)
{
    if (buffer.empty()) {
        return 0;
    }
    int count = sp.getData(buffer);
    while (count <= 0) {
        sp.rxWait(withoutLimit);
        count = sp.getData(buffer);
    }
    return count;
}

int SerInputStream::read(Bytes* buffer, int offset, int length)
{
    const bool outsideBuffer = buffer != nullptr
        && (offset < 0
            || static_cast<std::uint64_t>(offset) + static_cast<std::uint64_t>(length)
                > buffer->size());
    if (length < 0 || outsideBuffer) {
        throw IOError("read: count out of bounds");
    }
    if (length == 0) {
        return 0;
    }
    Bytes received(static_cast<std::size_t>(length));
    const int count = std::min(read(received), length);
    if (buffer == nullptr) {
        return 0;
    }
    std::copy_n(received.begin(), count, buffer->begin() + offset);
    return count;
}

int SerInputStream::available()
{
    return sp.rxReadyCount();
}

int SerInputStream::waitAvailable(int ms)
{
    return sp.rxWait(ms);
}

void SerInputStream::close()
{
    sp.close();
}

} // namespace serial
