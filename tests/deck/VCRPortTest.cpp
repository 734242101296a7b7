#include "deck/VCRPort.h"
#include "serial/SerialConfig.h"
#include "serial/backend/LinuxSerialBackend.h"
#include "tests/deck/DeckTestSupport.h"

#include <gtest/gtest.h>

using decktest::consoleOf;
using decktest::FakeBackend;
using serial::SerialConfig;

namespace {

const Packet statusRequest{0x61, 0x20, 0x09, 0x8A};

Packet sequence(int from, int count)
{
    Packet bytes;
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<std::uint8_t>(from + i));
    return bytes;
}

}

TEST(VCRPort, Rs422LinkIs38400OddWithoutHandshakeAndRaisesDtrAndRts)
{
    FakeBackend fake;
    VCRPort link("COM3", nullptr, false);

    ASSERT_FALSE(link.bad);
    auto cfg = fake->lastConfigured();
    ASSERT_TRUE(cfg.has_value());
    EXPECT_EQ(cfg->getBitRate(), SerialConfig::BR_38400);
    EXPECT_EQ(cfg->getDataBits(), SerialConfig::LN_8BITS);
    EXPECT_EQ(cfg->getStopBits(), SerialConfig::ST_1BITS);
    EXPECT_EQ(cfg->getParity(), SerialConfig::PY_ODD);
    EXPECT_EQ(cfg->getHandshake(), SerialConfig::HS_NONE);
    EXPECT_EQ(cfg->getTxLen(), 2048);
    EXPECT_EQ(cfg->getRxLen(), 4096);
    EXPECT_EQ(fake->last("SerSetDTR")->arguments.back(), 1);
    EXPECT_EQ(fake->last("SerSetRTS")->arguments.back(), 1);
    EXPECT_TRUE(link.hasOutStream());
}

TEST(VCRPort, LancLinkUsesCtsRtsHandshakeAndMakesStreamsOnlyWhenCtsAndDsrDiffer)
{
    struct Case {
        int cts, dsr;
        bool streams;
    };
    for (const Case& c : {Case{1, 0, true}, Case{0, 1, true}, Case{0, 0, false}, Case{1, 1, false}}) {
        SCOPED_TRACE(testing::Message() << "CTS " << c.cts << " DSR " << c.dsr);
        FakeBackend fake;
        fake->setResult("SerSigCTS", c.cts);
        fake->setResult("SerSigDSR", c.dsr);
        VCRPort link("COM4", nullptr, true);

        EXPECT_EQ(fake->lastConfigured()->getHandshake(), SerialConfig::HS_CTSRTS);
        EXPECT_EQ(link.hasOutStream(), c.streams);
        EXPECT_EQ(fake->count("SerSetDTR"), c.streams ? 1 : 0);
        EXPECT_EQ(fake->count("SerSetRTS"), 0);

        // Without streams the request still goes out, and no reply is ever read.
        fake->receive({0x10, 0x01, 0x11});
        Reply reply = link.SendSerial(statusRequest);
        EXPECT_EQ(fake->sent(), statusRequest);
        EXPECT_EQ(reply.count, c.streams ? 3 : 0);
        EXPECT_EQ(link.SerCount(), reply.count);
    }
}

TEST(VCRPort, EachFailedSetUpStepPrintsItsLineAndSetUpGoesOn)
{
    struct Case {
        bool lanc;
        const char* operation;
        const char* line;
    };
    const Case cases[] = {
        {true, "SerSigCTS", "Unable to sense CTS\n"},  {true, "SerSigDSR", "Unable to sense DSR\n"},
        {true, "SerSetDTR", "Unable to set DTR=1\n"},  {false, "SerSetDTR", "Unable to set DTR\n"},
        {false, "SerSetRTS", "Unable to set RTS\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        FakeBackend fake;
        if (c.lanc) {
            // The lines differ, so a LANC link goes on to DTR and the streams.
            fake->setResult(std::string(c.operation) == "SerSigCTS" ? "SerSigDSR" : "SerSigCTS", 1);
        }
        fake->setResult(c.operation, -1);
        std::unique_ptr<VCRPort> link;
        std::string console = consoleOf([&] { link = std::make_unique<VCRPort>("COM5", nullptr, c.lanc); });
        EXPECT_EQ(console, c.line);
        EXPECT_FALSE(link->bad);
        EXPECT_TRUE(link->hasOutStream());
    }
}

TEST(VCRPort, StreamsThatCannotBeMadeAreReportedAndTheLinkGoesOn)
{
    {
        // The output stream asks for the transmit time-out, which this port refuses.
        FakeBackend fake;
        fake->setResult("SerSetTimeoutTx", -1);
        std::unique_ptr<VCRPort> link;
        std::string console = consoleOf([&] { link = std::make_unique<VCRPort>("COM5", nullptr, false); });
        EXPECT_EQ(console, "Unable to make OutputStream\n");
        EXPECT_FALSE(link->bad);
        EXPECT_FALSE(link->hasOutStream());
    }
    {
        // Opening sets the receive time-out once; the input stream's second setting fails.
        FakeBackend fake;
        fake->queueResult("SerSetTimeoutRx", 0);
        fake->setResult("SerSetTimeoutRx", -1);
        std::unique_ptr<VCRPort> link;
        std::string console = consoleOf([&] { link = std::make_unique<VCRPort>("COM5", nullptr, false); });
        EXPECT_EQ(console, "Unable to make InputStream\n");
        EXPECT_TRUE(link->hasOutStream());
        fake->receive({0x10, 0x01, 0x11});
        Reply reply = link->SendSerial({0x20, 0x01, 0x21});
        EXPECT_EQ(reply.count, 0) << "without an input stream every reply reads empty";
    }
}

TEST(VCRPort, PortThatCannotBeOpenedIsBadWithTwoLinesAndKeepsTheReason)
{
    struct Case {
        int result;
        int reason;
    };
    for (const Case& c : {Case{serial::SerialBackend::NotValid, serial::SerialBackend::NotValid},
                          Case{serial::SerialBackend::InUse, serial::SerialBackend::InUse},
                          Case{serial::LinuxSerialBackend::PermissionDenied,
                               serial::LinuxSerialBackend::PermissionDenied}}) {
        FakeBackend fake;
        fake->setResult("SerOpenPort", c.result);
        std::unique_ptr<VCRPort> link;
        std::string console = consoleOf([&] { link = std::make_unique<VCRPort>("COM9", nullptr, false); });
        EXPECT_EQ(console, " \nSerial Port COM9 not available\n");
        EXPECT_TRUE(link->bad);
        EXPECT_EQ(link->openFailure, c.reason);
        EXPECT_FALSE(link->hasOpenPort());
        EXPECT_FALSE(link->hasOutStream());
    }
}

TEST(VCRPort, FailedWriteReturnsZerosAtOnceWithoutReading)
{
    FakeBackend fake;
    VCRPort link("COM3", nullptr, false);
    fake->setResult("SerPutData", 0);
    fake->receive({0x10, 0x01, 0x11});
    fake->clearCalls();

    Reply reply;
    std::string console = consoleOf([&] { reply = link.SendSerial(statusRequest); });

    EXPECT_EQ(console, "Unable to write to Serial Port\n");
    EXPECT_EQ(reply.count, 0);
    EXPECT_EQ(reply.bytes, Reply{}.bytes);
    EXPECT_EQ(fake->count("SerGetData") + fake->count("SerGetByte"), 0);
}

TEST(VCRPort, NoReplyGivesSixteenZerosAndAStaleBufferIsCleared)
{
    FakeBackend fake;
    VCRPort link("COM3", nullptr, false);
    fake->receive(sequence(1, 10));
    EXPECT_EQ(link.SendSerial(statusRequest).count, 10);

    Reply reply = link.SendSerial(statusRequest);
    EXPECT_EQ(reply.count, 0);
    EXPECT_EQ(reply.bytes, Reply{}.bytes);
}

TEST(VCRPort, OverlongReplyLeavesTheLastChunkAtTheStartAndNothingPending)
{
    FakeBackend fake;
    VCRPort link("COM3", nullptr, false);
    fake->receive(sequence(1, 20));

    Reply reply = link.SendSerial(statusRequest);

    EXPECT_EQ(reply.count, 4);
    Reply expected;
    for (int i = 0; i < 16; ++i)
        expected.bytes[i] = static_cast<std::uint8_t>(i < 4 ? 17 + i : 1 + i);
    EXPECT_EQ(reply.bytes, expected.bytes);
    EXPECT_EQ(link.SendSerial(statusRequest).count, 0);
}
