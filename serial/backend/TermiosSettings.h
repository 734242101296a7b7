#pragma once

#include "serial/SerialConfig.h"

#include <optional>
#include <termios.h>

namespace serial {

// Turns a configuration record into the terminal settings of a raw serial line. A pure
// function, so the exact flags can be checked without a device.
class TermiosSettings {
public:
    // The settings for cfg, or nothing when cfg asks for something a Linux terminal cannot
    // do (DSR/DTR handshake, a code outside the tables).
    static std::optional<termios> build(const SerialConfig& cfg);

    // The termios speed of a bit-rate code, or nothing for a code outside the table.
    static std::optional<speed_t> speedOf(int bitRateCode);

private:
    static std::optional<tcflag_t> characterSizeOf(int dataBitsCode);
    static std::optional<tcflag_t> parityFlagsOf(int parityCode);
    static bool applyHandshake(termios& settings, int handshake);
};

} // namespace serial
