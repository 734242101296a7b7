#pragma once

#include "serial/InputStream.h"
#include "serial/SerialPort.h"

namespace serial {

// Reads a serial port as a byte stream. The port is not owned: closing the stream closes
// the port, destroying the stream does not. Reads wait on the caller's thread until the port
// has input, and never report end of stream; a port that fails or hangs up while a read
// waits raises IOError.
class SerInputStream : public InputStream {
public:
    // Refuses a closed port with "Port not open" and sets the port's receive time-out to
    // 0, so the port itself never waits.
    explicit SerInputStream(SerialPort& sp);

    int read() override;
    // A zero-length buffer returns 0 at once instead of waiting forever.
    int read(Bytes& buffer) override;
    // Waits for and consumes up to length bytes, also when buffer is nullptr (then 0 is
    // returned). A length of 0 returns 0 at once.
    int read(Bytes* buffer, int offset, int length) override;
    int available() override;
    int waitAvailable(int ms) override;
    void close() override;

private:
    SerialPort& sp;
};

} // namespace serial
