#include "serial/Platform.h"
#include "serial/SerialConfig.h"
#include "serial/SerialErrors.h"
#include "tests/serial/SerialTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using serial::SerialConfig;
using Bytes = SerialConfig::Bytes;

namespace {

Bytes bytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

} // namespace

TEST(SerialConfig, NamedRecordStartsWithTheDefaults)
{
    const SerialConfig cfg("COM2");
    EXPECT_EQ(cfg.getPort(), 0);
    EXPECT_EQ(cfg.getPortName(), bytes("COM2"));
    EXPECT_EQ(cfg.getBaseName(), Bytes{0});
    EXPECT_EQ(cfg.getBitRate(), 7);
    EXPECT_EQ(cfg.getParity(), 0);
    EXPECT_EQ(cfg.getDataBits(), 3);
    EXPECT_EQ(cfg.getStopBits(), 0);
    EXPECT_EQ(cfg.getHandshake(), 0);
    EXPECT_EQ(cfg.getTxLen(), 2048);
    EXPECT_EQ(cfg.getRxLen(), 4096);
    EXPECT_TRUE(cfg.getHardFlow());
}

TEST(SerialConfig, OtherConstructorsFillPortAndNames)
{
    const SerialConfig byDefault;
    EXPECT_EQ(byDefault.getPortName(), bytes("COM1"));
    EXPECT_EQ(byDefault.getBaseName(), bytes("/dev/ttyS"));
    EXPECT_EQ(byDefault.getPort(), 0);

    const SerialConfig byNumber(4);
    EXPECT_EQ(byNumber.getPort(), 4);
    EXPECT_EQ(byNumber.getPortName(), Bytes{0});
    EXPECT_EQ(byNumber.getBaseName(), bytes("/dev/ttyS"));

    const SerialConfig withLengths(-2, 10, 20);
    EXPECT_EQ(withLengths.getPort(), -2);
    EXPECT_EQ(withLengths.getTxLen(), 10);
    EXPECT_EQ(withLengths.getRxLen(), 20);
}

struct RangeCase {
    const char* setting;
    std::function<void(SerialConfig&, int)> set;
    std::function<int(const SerialConfig&)> get;
    std::vector<int> accepted;
    std::vector<int> refused;
    const char* message;
};

TEST(SerialConfig, RangeChecksRefuseBadValuesAndKeepTheOldOne)
{
    const std::vector<RangeCase> cases = {
        {"bit rate", &SerialConfig::setBitRate, &SerialConfig::getBitRate, {0, 9, 11}, {12, -1},
         "Invalid Serial Port Bit Rate"},
        {"parity", &SerialConfig::setParity, &SerialConfig::getParity, {0, 1, 2},
         {SerialConfig::PY_MARK, -1}, "Invalid Serial Port Parity"},
        {"data bits", &SerialConfig::setDataBits, &SerialConfig::getDataBits, {0, 3}, {4, -1},
         "Invalid Serial Port Data Bits"},
        {"stop bits", &SerialConfig::setStopBits, &SerialConfig::getStopBits, {0, 1}, {2, -1},
         "Invalid Serial Port Stop Bits"},
        {"handshake", &SerialConfig::setHandshake, &SerialConfig::getHandshake,
         {0, 1, 2, 16, 17, 240}, {-1, 4, 15, 241}, "Invalid Serial Port Handshake"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        SerialConfig cfg("COM1");
        for (const int value : c.accepted) {
            c.set(cfg, value);
            EXPECT_EQ(c.get(cfg), value);
        }
        const int kept = c.get(cfg);
        for (const int value : c.refused) {
            EXPECT_EQ(errorText([&] { c.set(cfg, value); }), c.message) << value;
            EXPECT_EQ(c.get(cfg), kept);
        }
    }
}

TEST(SerialConfig, RefusalsAreInvalidArgumentErrors)
{
    SerialConfig cfg;
    EXPECT_THROW(cfg.setBitRate(12), serial::InvalidArgument);
    EXPECT_THROW(cfg.setBitRate(12), std::invalid_argument);
}

TEST(SerialConfig, PortNumberMustNotBeNegative)
{
    SerialConfig cfg(3);
    EXPECT_EQ(errorText([&] { cfg.setPortNum(-1); }), "Invalid Port Number: -1");
    EXPECT_EQ(cfg.getPort(), 3);
    cfg.setPortNum(0);
    EXPECT_EQ(cfg.getPort(), 0);
}

TEST(SerialConfig, DsrDtrHandshakeDependsOnTheSystemTheRecordWasMadeOn)
{
    const std::vector<std::pair<std::string, bool>> systems = {
        {"Linux", false}, {"Mac OS", false}, {"Windows NT", true}, {"Windows 95", true},
        {"Windows 98", true}, {"Windows CE", true}, {"OS/2", true}, {"windows nt", false}};
    for (const auto& [system, available] : systems) {
        serial::Platform::setOsName(system);
        SerialConfig cfg("COM1");
        serial::Platform::setOsName("Linux");
        const std::string error = errorText([&] { cfg.setHandshake(SerialConfig::HS_DSRDTR); });
        EXPECT_EQ(error, available ? "<no error>" : "DSRDTR handshaking not available on this platform")
            << system;
    }
}

TEST(SerialConfig, CtsDtrIsTheSameCodeAsCtsRts)
{
    SerialConfig cfg;
    cfg.setHandshake(SerialConfig::HS_CTSDTR);
    EXPECT_EQ(cfg.getHandshake(), SerialConfig::HS_CTSRTS);
}

TEST(SerialConfig, CopyIsIndependent)
{
    SerialConfig first("COM2");
    first.setBitRate(SerialConfig::BR_38400);
    SerialConfig second = first.copy();
    second.setBitRate(SerialConfig::BR_110);
    second.setPortName("COM3");
    EXPECT_EQ(first.getBitRate(), SerialConfig::BR_38400);
    EXPECT_EQ(first.getPortName(), bytes("COM2"));
    EXPECT_EQ(second.getPortName(), bytes("COM3"));
}
