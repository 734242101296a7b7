#include "serial/backend/TermiosSettings.h"

#include <array>

namespace serial {

namespace {

constexpr cc_t xonCharacter = 0x11;
constexpr cc_t xoffCharacter = 0x13;

} // namespace

std::optional<termios> TermiosSettings::build(const SerialConfig& cfg)
{
    const auto speed = speedOf(cfg.getBitRate());
    const auto characterSize = characterSizeOf(cfg.getDataBits());
    const auto parityFlags = parityFlagsOf(cfg.getParity());
    const int stopBits = cfg.getStopBits();
    if (!speed || !characterSize || !parityFlags
        || (stopBits != SerialConfig::ST_1BITS && stopBits != SerialConfig::ST_2BITS)) {
        return std::nullopt;
    }

    // Start from nothing: no echo, no line editing, no signals, no output processing and
    // no character translation. HUPCL stays off so that closing the port does not drop
    // the deck's control lines.
    termios settings{};
    settings.c_cflag = CLOCAL | CREAD | *characterSize | *parityFlags;
    if (stopBits == SerialConfig::ST_2BITS) {
        settings.c_cflag |= CSTOPB;
    }
    // With parity on, a byte that arrives with a parity error is dropped; the packet
    // checksum then catches the damaged reply.
    if (*parityFlags != 0) {
        settings.c_iflag |= INPCK | IGNPAR;
    }
    // Reads return at once with whatever has arrived; the port object does the waiting.
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    settings.c_cc[VSTART] = xonCharacter;
    settings.c_cc[VSTOP] = xoffCharacter;
    if (!applyHandshake(settings, cfg.getHandshake())) {
        return std::nullopt;
    }
    cfsetispeed(&settings, *speed);
    cfsetospeed(&settings, *speed);
    return settings;
}

std::optional<speed_t> TermiosSettings::speedOf(int bitRateCode)
{
    static constexpr std::array<speed_t, 12> speeds = {
        B110, B150, B300, B600, B1200, B2400, B4800, B9600, B19200, B38400, B57600, B115200};
    if (bitRateCode < 0 || bitRateCode >= static_cast<int>(speeds.size())) {
        return std::nullopt;
    }
    return speeds[static_cast<std::size_t>(bitRateCode)];
}

std::optional<tcflag_t> TermiosSettings::characterSizeOf(int dataBitsCode)
{
    static constexpr std::array<tcflag_t, 4> sizes = {CS5, CS6, CS7, CS8};
    if (dataBitsCode < 0 || dataBitsCode >= static_cast<int>(sizes.size())) {
        return std::nullopt;
    }
    return sizes[static_cast<std::size_t>(dataBitsCode)];
}

std::optional<tcflag_t> TermiosSettings::parityFlagsOf(int parityCode)
{
    switch (parityCode) {
    case SerialConfig::PY_NONE:
        return tcflag_t{0};
    case SerialConfig::PY_ODD:
        return tcflag_t{PARENB | PARODD};
    case SerialConfig::PY_EVEN:
        return tcflag_t{PARENB};
    default:
        return std::nullopt;
    }
}

bool TermiosSettings::applyHandshake(termios& settings, int handshake)
{
    switch (handshake) {
    case SerialConfig::HS_NONE:
        return true;
    case SerialConfig::HS_XONXOFF:
        settings.c_iflag |= IXON | IXOFF;
        return true;
    case SerialConfig::HS_CTSRTS:
        settings.c_cflag |= CRTSCTS;
        return true;
    default:
        break;
    }
    if (handshake < SerialConfig::HS_HARD_IN) {
        // DSR/DTR handshake has no terminal flag on Linux.
        return false;
    }
    // From 16 on the value is a mix of flag bits. The terminal has one flag for hardware
    // flow in both directions, so either hardware bit turns it on.
    if (handshake & (SerialConfig::HS_HARD_IN | SerialConfig::HS_HARD_OUT)) {
        settings.c_cflag |= CRTSCTS;
    }
    if (handshake & SerialConfig::HS_SOFT_IN) {
        settings.c_iflag |= IXOFF;
    }
    if (handshake & SerialConfig::HS_SOFT_OUT) {
        settings.c_iflag |= IXON;
    }
    return true;
}

} // namespace serial
