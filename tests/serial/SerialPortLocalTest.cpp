#include "serial/SerialErrors.h"
#include "serial/SerialPortLocal.h"
#include "tests/serial/SerialTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

using serial::SerialConfig;
using serial::SerialPortLocal;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

milliseconds since(Clock::time_point start)
{
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

} // namespace

class SerialPortLocalTest : public FakeBackendTest {};

TEST_F(SerialPortLocalTest, OpenFailureCodesBecomeMessages)
{
    const std::vector<std::pair<int, std::string>> codes = {
        {1000, "SerOpenPort failed: Port is already open"},
        {1001, "SerOpenPort failed: 1001"},
        {1002, "SerOpenPort failed: Port is in use"},
        {1003, "SerOpenPort failed: Port not valid"},
        {-1, "SerOpenPort failed: -1"}};
    for (const auto& [code, message] : codes) {
        fake->setResult("SerOpenPort", code);
        EXPECT_EQ(errorText([&] { openPort(); }), message);
        SerialPortLocal port;
        port.setConfig(std::make_shared<SerialConfig>("COM2"));
        EXPECT_EQ(errorText([&] { port.open(); }), message);
        EXPECT_EQ(port.getPortNum(), -1);
        EXPECT_FALSE(port.isOpen());
    }
    EXPECT_EQ(fake->count("SerConfigure"), 0);
    EXPECT_THROW(openPort(), serial::IOError);
}

TEST_F(SerialPortLocalTest, OpenSetsTheLineUpPerSystem)
{
    struct Case {
        const char* system;
        std::vector<std::string> calls;
        int timeoutRx;
        bool hardFlowKept;
    };
    const std::vector<Case> cases = {
        {"Linux", {"SerOpenPort", "SerConfigure", "SerSetTimeoutRx"}, 0, false},
        {"Windows NT", {"SerOpenPort", "SerConfigure", "SerSetTimeoutRx", "SerSetTimeoutTx"}, 0, false},
        {"Windows 95", {"SerOpenPort", "SerConfigure", "SerSetTimeoutRx", "SerSetTimeoutTx"}, 0, true},
        {"Mac OS", {"SerOpenPort", "SerConfigure", "SerSetTimeoutRx", "SerSetTimeoutTx"}, 2000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.system);
        fake->clearCalls();
        const auto port = openPort(c.system);
        std::vector<std::string> calls;
        for (const auto& call : fake->calls()) {
            calls.push_back(call.operation);
        }
        EXPECT_EQ(calls, c.calls);
        EXPECT_TRUE(port->isOpen());
        EXPECT_GE(config->getPort(), 1);
        EXPECT_EQ(port->getPortNum(), config->getPort() - 1);
        EXPECT_EQ(port->getTimeoutRx(), c.timeoutRx);
        EXPECT_EQ(config->getHardFlow(), c.hardFlowKept);
        EXPECT_EQ(fake->last("SerConfigure")->arguments.at(0), port->getPortNum());
    }
}

TEST_F(SerialPortLocalTest, ConstructorThatFailsAfterOpeningClosesThePort)
{
    fake->setResult("SerConfigure", 5);
    EXPECT_EQ(errorText([&] { openPort(); }), "Configure failed: 5");
    EXPECT_EQ(fake->count("SerClosePort"), 1);

    fake->clearResult("SerConfigure");
    fake->setResult("SerSetTimeoutRx", -1);
    EXPECT_EQ(errorText([&] { openPort(); }), "setTimeoutRx failed");
    EXPECT_EQ(fake->count("SerClosePort"), 2);
}

TEST_F(SerialPortLocalTest, CloseAndReset)
{
    auto port = openPort();
    fake->setResult("SerClosePort", 3);
    EXPECT_EQ(errorText([&] { port->close(); }), "ClosePort failed");
    EXPECT_TRUE(port->isOpen());
    EXPECT_GE(port->getPortNum(), 0);

    fake->clearResult("SerClosePort");
    port->close();
    port->close();
    EXPECT_FALSE(port->isOpen());
    EXPECT_EQ(port->getPortNum(), -1);
    EXPECT_EQ(fake->count("SerClosePort"), 2);

    port->reset();
    EXPECT_TRUE(port->isOpen());
    EXPECT_EQ(port->getPortNum(), config->getPort() - 1);
    fake->setResult("SerOpenPort", 1002);
    EXPECT_EQ(errorText([&] { port->reset(); }), "reset: SerOpenPort failed: 1002");
    EXPECT_FALSE(port->isOpen());
}

TEST_F(SerialPortLocalTest, DestructionClosesAndSwallowsErrors)
{
    {
        auto port = openPort();
        fake->setResult("SerClosePort", -1);
    }
    EXPECT_EQ(fake->count("SerClosePort"), 1);
}

TEST_F(SerialPortLocalTest, OutputChecksAndShortWrites)
{
    auto port = openPort();
    const Bytes four = {1, 2, 3, 4};
    const Bytes five = {1, 2, 3, 4, 5};
    const std::vector<std::pair<std::function<void()>, std::string>> refused = {
        {[&] { port->putData(four, 5); }, "putData: count out of bounds"},
        {[&] { port->putData(four, -1); }, "putData: count out of bounds"},
        {[&] { port->putData(four, 2, 3); }, "putData3: count out of bounds"},
        {[&] { port->putData(four, -1, 2); }, "putData3: count out of bounds"},
        {[&] { port->putData(four, 1, -1); }, "putData3: count out of bounds"},
        {[&] { port->putData(four, 2147483647, 2); }, "putData3: count out of bounds"},
    };
    for (const auto& [action, message] : refused) {
        EXPECT_EQ(errorText(action), message);
    }
    port->putString("");
    port->putData(Bytes{});
    EXPECT_EQ(fake->count("SerPutData"), 0);

    fake->setResult("SerPutData", 3);
    const std::vector<std::pair<std::function<void()>, std::string>> shortWrites = {
        {[&] { port->putData(five); }, "PutData1: Sent only 3 of 5 bytes"},
        {[&] { port->putData(five, 4); }, "PutData2: Sent only 3 of 4 bytes"},
        {[&] { port->putData(five, 1, 4); }, "Sent only 3 of 4 bytes"},
        {[&] { port->putString("hello"); }, "PutString: sent only 3 of 5 bytes"},
    };
    for (const auto& [action, message] : shortWrites) {
        EXPECT_EQ(errorText(action), message);
    }
    fake->setResult("SerPutByte", -1);
    EXPECT_EQ(errorText([&] { port->putByte(7); }), "PutByte failed");
}

TEST_F(SerialPortLocalTest, OutputSendsTheRightBytes)
{
    auto port = openPort();
    port->putData(Bytes{0x10, 0x20, 0x30, 0x40}, 1, 2);
    port->putData(Bytes{0xAA, 0xBB}, 1);
    port->putData(Bytes{0xFF}, 0);
    port->putString("Hi");
    port->putByte(0x00);
    EXPECT_EQ(fake->sent(), (Bytes{0x20, 0x30, 0xAA, 'H', 'i', 0x00}));
    EXPECT_EQ(fake->count("SerPutData"), 4);
}

TEST_F(SerialPortLocalTest, FeatureRowsPerSystem)
{
    const std::vector<std::string> features = {
        "sigBreak", "sigFrameErr", "sigOverrun", "sigParityErr", "rxOverflow", "sigRing", "sigCTS",
        "sigDSR", "sigCD", "setRTS", "setDTR", "rxReadyCount", "txBufCount", "setTimeoutTx"};
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"Linux", "00000111111110"},
        {"FreeBSD", "00000111111110"},
        {"Windows NT", "11111111111111"},
        {"OS/2", "11111111111111"},
        {"Mac OS", "11111010001101"},
        {"Windows CE", "00000000000000"},
        {"BeOS", "00000000000000"},
    };
    for (const auto& [system, expected] : rows) {
        serial::Platform::setOsName(system);
        const SerialPortLocal port;
        std::string row;
        for (const auto& feature : features) {
            row += port.isSupported(feature) ? '1' : '0';
        }
        EXPECT_EQ(row, expected) << system;
        EXPECT_TRUE(port.isSupported("getTimeoutTx")) << system;
        EXPECT_TRUE(port.isSupported("anything")) << system;
    }
}

TEST_F(SerialPortLocalTest, DefaultDeviceFollowsTheSystem)
{
    const std::vector<std::pair<std::string, std::string>> devices = {
        {"Linux", "/dev/ttyS0"}, {"Solaris", "/dev/ttya"}, {"AIX", "/dev/tty0"},
        {"Windows NT", "COM1"}, {"Mac OS", "Modem Port"}, {"Windows CE", ""}};
    for (const auto& [system, device] : devices) {
        serial::Platform::setOsName(system);
        SerialPortLocal port;
        EXPECT_EQ(port.getPortName(), device) << system;
        EXPECT_FALSE(port.isOpen());
        EXPECT_EQ(fake->count("SerOpenPort"), 0);
    }
}

struct CheckedCase {
    const char* operation;
    std::function<void(SerialPortLocal&)> call;
    const char* backendOperation;
    bool supportedOnLinux;
    bool checksOpen;
    bool failureRaises;
};

TEST_F(SerialPortLocalTest, QueueAndSignalOperationsCheckInOrder)
{
    const std::vector<CheckedCase> cases = {
        {"rxReadyCount", [](auto& p) { p.rxReadyCount(); }, "SerRxReadyCount", true, true, true},
        {"txBufCount", [](auto& p) { p.txBufCount(); }, "SerTxBufCount", true, true, true},
        {"rxOverflow", [](auto& p) { p.rxOverflow(); }, "SerRxOverflow", false, true, true},
        {"sigDSR", [](auto& p) { p.sigDSR(); }, "SerSigDSR", true, true, true},
        {"sigCTS", [](auto& p) { p.sigCTS(); }, "SerSigCTS", true, true, true},
        {"sigCD", [](auto& p) { p.sigCD(); }, "SerSigCD", true, true, true},
        {"sigFrameErr", [](auto& p) { p.sigFrameErr(); }, "SerSigFrameErr", false, true, true},
        {"sigOverrun", [](auto& p) { p.sigOverrun(); }, "SerSigOverrun", false, true, true},
        {"sigParityErr", [](auto& p) { p.sigParityErr(); }, "SerSigParityErr", false, true, false},
        {"sigRing", [](auto& p) { p.sigRing(); }, "SerSigRing", true, true, false},
        {"sigBreak", [](auto& p) { p.sigBreak(); }, "SerSigBreak", false, true, true},
        {"setDTR", [](auto& p) { p.setDTR(true); }, "SerSetDTR", true, false, true},
        {"setRTS", [](auto& p) { p.setRTS(true); }, "SerSetRTS", true, false, true},
        {"sendBreak", [](auto& p) { p.sendBreak(250); }, "SerSendBreak", true, false, true},
        {"setTimeoutRx", [](auto& p) { p.setTimeoutRx(5); }, "SerSetTimeoutRx", true, false, true},
        {"setTimeoutTx", [](auto& p) { p.setTimeoutTx(5); }, "SerSetTimeoutTx", true, false, true},
        {"rxFlush", [](auto& p) { p.rxFlush(); }, "SerRxFlush", true, false, true},
        {"txFlush", [](auto& p) { p.txFlush(); }, "SerTxFlush", true, false, true},
        {"txDrain", [](auto& p) { p.txDrain(); }, "SerTxDrain", true, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.operation);
        const std::string name = c.operation;
        auto port = openPort();
        SerialPortLocal closed;
        fake->setResult(c.backendOperation, -1);
        const int callsBefore = fake->count(c.backendOperation);
        const std::string closedError = errorText([&] { c.call(closed); });
        if (!c.supportedOnLinux) {
            // The support check comes before the open-state check.
            EXPECT_EQ(closedError, name + " not supported on Linux");
            EXPECT_EQ(errorText([&] { c.call(*port); }), name + " not supported on Linux");
            EXPECT_EQ(fake->count(c.backendOperation), callsBefore);
        } else if (c.checksOpen) {
            EXPECT_EQ(closedError, name + ": Port not open");
            EXPECT_EQ(fake->count(c.backendOperation), callsBefore);
        } else {
            // No open-state check: the backend refuses the closed port.
            EXPECT_EQ(closedError, name + " failed");
        }
        if (c.supportedOnLinux) {
            EXPECT_EQ(errorText([&] { c.call(*port); }), c.failureRaises ? name + " failed" : "<no error>");
        }
        fake->clearResult(c.backendOperation);
    }
}

TEST_F(SerialPortLocalTest, SignalsAreTrueOnlyForOne)
{
    auto port = openPort("Windows NT");
    const std::vector<std::pair<std::string, std::function<bool()>>> signals = {
        {"SerSigCTS", [&] { return port->sigCTS(); }},
        {"SerSigDSR", [&] { return port->sigDSR(); }},
        {"SerSigCD", [&] { return port->sigCD(); }},
        {"SerSigRing", [&] { return port->sigRing(); }},
        {"SerSigBreak", [&] { return port->sigBreak(); }},
        {"SerSigFrameErr", [&] { return port->sigFrameErr(); }},
        {"SerSigOverrun", [&] { return port->sigOverrun(); }},
        {"SerSigParityErr", [&] { return port->sigParityErr(); }},
        {"SerRxOverflow", [&] { return port->rxOverflow(); }},
    };
    for (const auto& [operation, read] : signals) {
        fake->setResult(operation, 1);
        EXPECT_TRUE(read()) << operation;
        fake->setResult(operation, 2);
        EXPECT_FALSE(read()) << operation;
        fake->setResult(operation, 0);
        EXPECT_FALSE(read()) << operation;
    }
    fake->setResult("SerSigParityErr", -1);
    EXPECT_FALSE(port->sigParityErr());
}

TEST_F(SerialPortLocalTest, UnsupportedMessagesNameTheSystem)
{
    serial::Platform::setOsName("Windows CE");
    SerialPortLocal port;
    EXPECT_EQ(errorText([&] { port.setRTS(true); }), "setRts not supported on Windows CE");
    EXPECT_EQ(errorText([&] { port.setDTR(true); }), "setDTR not supported on Windows CE");
    EXPECT_EQ(errorText([&] { port.rxReadyCount(); }), "rxReadyCount not supported on Windows CE");
    EXPECT_EQ(errorText([&] { port.sigCTS(); }), "sigCTS: Port not open");
}

TEST_F(SerialPortLocalTest, LinesAndQueuesReachTheBackend)
{
    auto port = openPort();
    port->setDTR(true);
    port->setRTS(false);
    EXPECT_EQ(fake->last("SerSetDTR")->arguments, (std::vector<int>{0, 1}));
    EXPECT_EQ(fake->last("SerSetRTS")->arguments, (std::vector<int>{0, 0}));
    fake->setResult("SerTxBufCount", 12);
    EXPECT_EQ(port->txBufCount(), 12);
    fake->setResult("SerTxDrain", 4);
    EXPECT_EQ(port->txDrain(), 4);
    fake->receive({1, 2, 3});
    EXPECT_EQ(port->rxReadyCount(), 3);
    EXPECT_EQ(port->rxFlush(), 0);
    EXPECT_EQ(port->rxReadyCount(), 0);
    fake->setResult("SerGetLibVer", 42);
    EXPECT_EQ(port->getLibVer(), 42);
}

TEST_F(SerialPortLocalTest, GetByteWaitsForTheReceiveTimeout)
{
    auto port = openPort();
    port->setTimeoutRx(50);
    const auto start = Clock::now();
    EXPECT_EQ(port->getByte(), -1);
    const auto waited = since(start);
    EXPECT_GE(waited, milliseconds(50));
    EXPECT_LT(waited, milliseconds(5000));
    EXPECT_EQ(fake->count("SerGetByte"), 0);

    fake->receive({0xFF}, milliseconds(30));
    port->setTimeoutRx(10000);
    EXPECT_EQ(port->getByte(), 0xFF);
}

TEST_F(SerialPortLocalTest, GetByteWithoutTimeoutAsksTheBackendAtOnce)
{
    auto port = openPort();
    fake->clearCalls();
    EXPECT_EQ(port->getByte(), -1);
    EXPECT_EQ(fake->count("SerRxReadyCount"), 0);
    EXPECT_EQ(fake->count("SerGetByte"), 1);

    port->close();
    EXPECT_EQ(errorText([&] { port->getByte(); }), "getByte: Port not open");
}

TEST_F(SerialPortLocalTest, GetDataWaitsTheFullTimeoutAndTakesWhatCame)
{
    auto port = openPort();
    port->setTimeoutRx(100);
    fake->receive({1, 2, 3, 4});
    Bytes buffer(10);
    const auto start = Clock::now();
    EXPECT_EQ(port->getData(buffer), 4);
    EXPECT_GE(since(start), milliseconds(100));
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 4), (Bytes{1, 2, 3, 4}));

    fake->receive({5, 6, 7});
    Bytes target(6, 0xEE);
    EXPECT_EQ(port->getData(&target, 2, 3), 3);
    EXPECT_EQ(target, (Bytes{0xEE, 0xEE, 5, 6, 7, 0xEE}));
}

TEST_F(SerialPortLocalTest, GetDataEdgeCases)
{
    auto port = openPort();
    fake->clearCalls();
    EXPECT_EQ(port->getData(nullptr, 0, 8), 0);
    EXPECT_EQ(fake->count("SerGetData"), 0);

    Bytes small(4);
    EXPECT_EQ(errorText([&] { port->getData(&small, 2, 3); }), "getData3: count out of bounds");
    EXPECT_EQ(errorText([&] { port->getData(&small, -1, 1); }), "getData3: count out of bounds");

    fake->setResult("SerGetData", -1);
    EXPECT_EQ(errorText([&] { port->getData(small); }), "getData: failed");
}

TEST_F(SerialPortLocalTest, NamesAndPassThroughSettings)
{
    auto port = openPort();
    EXPECT_EQ(port->getName(), "Serial Port");
    port->setName("Player");
    EXPECT_EQ(port->getName(), "Player");
    EXPECT_EQ(port->getName(3), "Not implemented");

    const int configures = fake->count("SerConfigure");
    port->setBitRate(SerialConfig::BR_38400);
    port->setParity(SerialConfig::PY_ODD);
    port->setPortName("COM7");
    EXPECT_EQ(config->getBitRate(), SerialConfig::BR_38400);
    EXPECT_EQ(port->getParity(), SerialConfig::PY_ODD);
    EXPECT_EQ(port->getPortName(), "COM7");
    EXPECT_EQ(errorText([&] { port->setHandshake(3); }),
              "DSRDTR handshaking not available on this platform");
    EXPECT_EQ(errorText([&] { port->setBitRate(12); }), "Invalid Serial Port Bit Rate");
    EXPECT_EQ(fake->count("SerConfigure"), configures);
    port->configure();
    EXPECT_EQ(fake->lastConfigured()->getBitRate(), SerialConfig::BR_38400);
}

TEST_F(SerialPortLocalTest, FlowControlTaskRunsOnlyUnderWindows95)
{
    testing::internal::CaptureStdout();
    serial::Platform::setOsName("Windows 95");
    config = std::make_shared<SerialConfig>("COM1");
    config->setHandshake(SerialConfig::HS_CTSRTS);
    {
        SerialPortLocal port(config);
        ASSERT_TRUE(fake->waitForCalls("SerFlowTask", 3, milliseconds(5000)));
        EXPECT_EQ(fake->last("SerFlowTask")->arguments.at(0), port.getPortNum());
        port.close();
        const int stoppedAt = fake->count("SerFlowTask");
        port.reset();
        ASSERT_TRUE(fake->waitForCalls("SerFlowTask", stoppedAt + 3, milliseconds(5000)));
    }
    const int afterDestruction = fake->count("SerFlowTask");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "FlowControlTask created\nFlowControlTask created\n");
    EXPECT_EQ(fake->count("SerFlowTask"), afterDestruction);

    testing::internal::CaptureStdout();
    serial::Platform::setOsName("Windows NT");
    auto other = std::make_shared<SerialConfig>("COM1");
    other->setHandshake(SerialConfig::HS_CTSRTS);
    SerialPortLocal port(other);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}
