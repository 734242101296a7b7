#pragma once

#include "serial/OutputStream.h"
#include "serial/SerialPort.h"

namespace serial {

// Writes a byte stream to a serial port. The port is not owned, and closing the stream
// leaves it open.
class SerOutputStream : public OutputStream {
public:
    // The largest transmit time-out: writes wait for the line as long as it takes.
    static constexpr int waitForever = 2147483647;

    // Refuses a closed port with "Port not open" and sets its transmit time-out to
    // waitForever.
    explicit SerOutputStream(SerialPort& sp);

    void write(int b) override;
    void write(const Bytes& b) override;
    void write(const Bytes& b, int offset, int length) override;
    // Returns once the port reports nothing left to send.
    void flush() override;

private:
    SerialPort& sp;
};

} // namespace serial
