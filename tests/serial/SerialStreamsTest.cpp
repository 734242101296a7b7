#include "serial/SerInputStream.h"
#include "serial/SerOutputStream.h"
#include "tests/serial/SerialTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

using serial::SerialPortLocal;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class SerialStreamsTest : public FakeBackendTest {};

TEST_F(SerialStreamsTest, ConstructorsRefuseAClosedPortAndSetTimeouts)
{
    SerialPortLocal closed;
    EXPECT_EQ(errorText([&] { serial::SerInputStream in(closed); }), "Port not open");
    EXPECT_EQ(errorText([&] { serial::SerOutputStream out(closed); }), "Port not open");

    auto port = openPort();
    port->setTimeoutRx(500);
    serial::SerInputStream in(*port);
    EXPECT_EQ(port->getTimeoutRx(), 0);
    // Set on every system, also where the transmit time-out is not otherwise supported.
    serial::SerOutputStream out(*port);
    EXPECT_EQ(port->getTimeoutTx(), 2147483647);

    fake->setResult("SerSetTimeoutTx", -1);
    EXPECT_EQ(errorText([&] { serial::SerOutputStream failing(*port); }), "setTimeoutTx failed");
}

TEST_F(SerialStreamsTest, ReadWaitsOnThePortForALateByteAndKeeps255)
{
    // The read asks once, waits on the port until the byte comes, and takes it: it does not
    // look again and again.
    auto port = openPort();
    serial::SerInputStream in(*port);
    fake->receive({0xFF}, milliseconds(60));
    const auto start = Clock::now();
    EXPECT_EQ(in.read(), 255);
    EXPECT_GE(Clock::now() - start, milliseconds(60));
    EXPECT_EQ(fake->count("SerGetByte"), 2);
    EXPECT_EQ(fake->count("SerRxWait"), 1);

    fake->receive({1, 2, 3}, milliseconds(30));
    Bytes buffer(8);
    EXPECT_EQ(in.read(buffer), 3);
    EXPECT_EQ(fake->count("SerRxWait"), 2);
}

TEST_F(SerialStreamsTest, ReadIntoBuffers)
{
    auto port = openPort();
    serial::SerInputStream in(*port);
    fake->receive({1, 2, 3, 4, 5});
    Bytes buffer(16);
    EXPECT_EQ(in.read(buffer), 5);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 5), (Bytes{1, 2, 3, 4, 5}));

    fake->clearCalls();
    Bytes empty;
    EXPECT_EQ(in.read(empty), 0);
    EXPECT_EQ(in.read(&buffer, 3, 0), 0);
    EXPECT_EQ(fake->count("SerGetData"), 0);

    fake->receive({6, 7, 8, 9, 10}, milliseconds(30));
    EXPECT_EQ(in.read(nullptr, 0, 4), 0);
    EXPECT_EQ(port->rxReadyCount(), 1);

    Bytes target(4, 0xEE);
    EXPECT_EQ(in.read(&target, 1, 3), 1);
    EXPECT_EQ(target, (Bytes{0xEE, 10, 0xEE, 0xEE}));
    EXPECT_EQ(errorText([&] { in.read(&target, 2, 3); }), "read: count out of bounds");
    EXPECT_EQ(errorText([&] { in.read(&target, 0, -1); }), "read: count out of bounds");

    fake->setResult("SerGetData", -1);
    EXPECT_EQ(errorText([&] { in.read(buffer); }), "getData: failed");
}

TEST_F(SerialStreamsTest, AvailableCountsWaitingBytes)
{
    auto port = openPort();
    serial::SerInputStream in(*port);
    fake->receive({1, 2, 3});
    EXPECT_EQ(in.available(), 3);

    auto cePort = openPort("Windows CE");
    serial::SerInputStream ceIn(*cePort);
    EXPECT_EQ(errorText([&] { ceIn.available(); }), "rxReadyCount not supported on Windows CE");
}

TEST_F(SerialStreamsTest, ClosingTheInputStreamClosesThePortButNotTheOutput)
{
    auto port = openPort();
    serial::SerOutputStream out(*port);
    out.close();
    EXPECT_TRUE(port->isOpen());
    serial::SerInputStream stream(*port);
    serial::InputStream& in = stream;
    in.close();
    EXPECT_EQ(port->getPortNum(), -1);
}

TEST_F(SerialStreamsTest, WritesAndFlush)
{
    auto port = openPort();
    serial::SerOutputStream stream(*port);
    serial::OutputStream& out = stream;
    out.write(0x1FF);
    out.write(Bytes{1, 2});
    out.write(Bytes{3, 4, 5, 6}, 1, 2);
    EXPECT_EQ(fake->sent(), (Bytes{0xFF, 1, 2, 4, 5}));
    EXPECT_EQ(errorText([&] { out.write(Bytes{1}, 1, 1); }), "write: count out of bounds");

    fake->queueResult("SerTxBufCount", 3);
    fake->queueResult("SerTxBufCount", 1);
    fake->clearCalls();
    out.flush();
    EXPECT_EQ(fake->count("SerTxBufCount"), 3);

    fake->setResult("SerPutData", 1);
    EXPECT_EQ(errorText([&] { out.write(Bytes{1, 2}); }), "PutData1: Sent only 1 of 2 bytes");
}
