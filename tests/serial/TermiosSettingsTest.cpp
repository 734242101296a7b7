#include "serial/Platform.h"
#include "serial/SerialConfig.h"
#include "serial/backend/TermiosSettings.h"

#include <gtest/gtest.h>

using serial::SerialConfig;
using serial::TermiosSettings;

namespace {

// The deck link's record: 38400 bit/s, 8 data bits, odd parity, 1 stop bit.
SerialConfig deckRecord(int handshake)
{
    SerialConfig cfg("COM1");
    cfg.setBitRate(SerialConfig::BR_38400);
    cfg.setDataBits(SerialConfig::LN_8BITS);
    cfg.setStopBits(SerialConfig::ST_1BITS);
    cfg.setParity(SerialConfig::PY_ODD);
    cfg.setHandshake(handshake);
    return cfg;
}

} // namespace

TEST(TermiosSettings, DeckLinkRecordGivesRaw38400EightOddOne)
{
    const auto settings = TermiosSettings::build(deckRecord(SerialConfig::HS_NONE));
    ASSERT_TRUE(settings);
    EXPECT_EQ(cfgetospeed(&*settings), B38400);
    EXPECT_EQ(cfgetispeed(&*settings), B38400);
    EXPECT_EQ(settings->c_cflag & ~CBAUD, tcflag_t(CLOCAL | CREAD | CS8 | PARENB | PARODD));
    EXPECT_EQ(settings->c_iflag, tcflag_t(INPCK | IGNPAR));
    EXPECT_EQ(settings->c_oflag, 0u);
    EXPECT_EQ(settings->c_lflag, 0u);
    EXPECT_EQ(settings->c_cc[VMIN], 0);
    EXPECT_EQ(settings->c_cc[VTIME], 0);
}

TEST(TermiosSettings, LancRecordAddsHardwareHandshake)
{
    const auto settings = TermiosSettings::build(deckRecord(SerialConfig::HS_CTSRTS));
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->c_cflag & ~CBAUD, tcflag_t(CLOCAL | CREAD | CS8 | PARENB | PARODD | CRTSCTS));
    EXPECT_EQ(settings->c_iflag, tcflag_t(INPCK | IGNPAR));
}

TEST(TermiosSettings, EveryBitRateCodeHasItsSpeed)
{
    const speed_t speeds[] = {B110, B150, B300, B600, B1200, B2400,
                              B4800, B9600, B19200, B38400, B57600, B115200};
    for (int code = 0; code < 12; ++code) {
        EXPECT_EQ(TermiosSettings::speedOf(code), speeds[code]) << code;
    }
    EXPECT_FALSE(TermiosSettings::speedOf(12));
    EXPECT_FALSE(TermiosSettings::speedOf(-1));
}

TEST(TermiosSettings, FramingCodes)
{
    const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    for (int code = 0; code < 4; ++code) {
        SerialConfig cfg;
        cfg.setDataBits(code);
        cfg.setStopBits(SerialConfig::ST_2BITS);
        const auto settings = TermiosSettings::build(cfg);
        ASSERT_TRUE(settings);
        EXPECT_EQ(settings->c_cflag & CSIZE, sizes[code]);
        EXPECT_TRUE(settings->c_cflag & CSTOPB);
        EXPECT_FALSE(settings->c_cflag & HUPCL);
        EXPECT_EQ(settings->c_iflag, 0u) << "no parity checking without parity";
    }
    SerialConfig even;
    even.setParity(SerialConfig::PY_EVEN);
    const auto settings = TermiosSettings::build(even);
    EXPECT_EQ(settings->c_cflag & (PARENB | PARODD), tcflag_t(PARENB));
}

TEST(TermiosSettings, HandshakeCodes)
{
    struct Case {
        int handshake;
        bool possible;
        tcflag_t cflag;
        tcflag_t iflag;
    };
    const Case cases[] = {
        {SerialConfig::HS_NONE, true, 0, 0},
        {SerialConfig::HS_XONXOFF, true, 0, IXON | IXOFF},
        {SerialConfig::HS_CTSRTS, true, CRTSCTS, 0},
        {SerialConfig::HS_DSRDTR, false, 0, 0},
        {SerialConfig::HS_HARD_IN, true, CRTSCTS, 0},
        {SerialConfig::HS_HARD_OUT | SerialConfig::HS_SOFT_IN, true, CRTSCTS, IXOFF},
        {SerialConfig::HS_SOFT_OUT, true, 0, IXON},
    };
    for (const auto& c : cases) {
        serial::Platform::setOsName("Windows NT");
        SerialConfig cfg;
        serial::Platform::setOsName("Linux");
        cfg.setHandshake(c.handshake);
        const auto settings = TermiosSettings::build(cfg);
        ASSERT_EQ(settings.has_value(), c.possible) << c.handshake;
        if (settings) {
            EXPECT_EQ(settings->c_cflag & CRTSCTS, c.cflag) << c.handshake;
            EXPECT_EQ(settings->c_iflag & (IXON | IXOFF), c.iflag) << c.handshake;
            EXPECT_EQ(settings->c_cc[VSTART], 0x11);
            EXPECT_EQ(settings->c_cc[VSTOP], 0x13);
        }
    }
}
