#include "deck/VCRPort.h"
#include "serial/SerialConfig.h"
#include "serial/backend/LinuxSerialBackend.h"
#include "tests/deck/DeckTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

using decktest::consoleOf;
using decktest::FakeBackend;
using serial::SerialConfig;

namespace {

const Packet statusRequest{0x61, 0x20, 0x09, 0x8A};

}

TEST(VCRPort, Rs422LinkIs38400OddWithoutHandshakeAndRaisesDtrAndRts)
{
    FakeBackend fake;
    VCRPort link("COM3", false);

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
        VCRPort link("COM4", true);

        EXPECT_EQ(fake->lastConfigured()->getHandshake(), SerialConfig::HS_CTSRTS);
        EXPECT_EQ(link.hasOutStream(), c.streams);
        EXPECT_EQ(fake->count("SerSetDTR"), c.streams ? 1 : 0);
        EXPECT_EQ(fake->count("SerSetRTS"), 0);

        // Without streams the request still goes out, and no reply is ever read.
        const Packet play{0x20, 0x01, 0x21};
        fake->answerNextWrite({0x10, 0x01, 0x11});
        Reply reply = link.SendSerial(play);
        EXPECT_EQ(fake->sent(), play);
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
        std::string console = consoleOf([&] { link = std::make_unique<VCRPort>("COM5", c.lanc); });
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
        std::string console = consoleOf([&] { link = std::make_unique<VCRPort>("COM5", false); });
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
        std::string console = consoleOf([&] { link = std::make_unique<VCRPort>("COM5", false); });
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
        std::string console = consoleOf([&] { link = std::make_unique<VCRPort>("COM9", false); });
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
    VCRPort link("COM3", false);
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

TEST(VCRPort, StaleInputIsDiscardedAndNoReplyGivesSixteenZeros)
{
    FakeBackend fake;
    VCRPort link("COM3", false);
    fake->receive(decktest::withChecksum({0x79, 0x20, 0, 0x20, 0, 0, 0, 0, 0, 0, 0}));

    Reply reply = link.SendSerial(statusRequest);
    EXPECT_EQ(reply.outcome, Reply::Outcome::Silent);
    EXPECT_EQ(reply.count, 0);
    EXPECT_EQ(reply.bytes, Reply{}.bytes);
}

TEST(VCRPort, TheLongestBlockKeepsItsFirstSixteenBytesAndNothingPending)
{
    FakeBackend fake;
    VCRPort link("COM3", false);
    Packet longest(17, 0x01);
    longest[0] = 0x7F;  // sense data of 15 bytes
    longest[1] = 0x20;
    longest = decktest::withChecksum(longest);
    fake->answerNextWrite(longest);

    Reply reply = link.SendSerial({0x61, 0x20, 0x0F, 0x90});

    EXPECT_EQ(reply.outcome, Reply::Outcome::Answered);
    EXPECT_EQ(reply.count, 16);
    EXPECT_TRUE(std::equal(reply.bytes.begin(), reply.bytes.end(), longest.begin()));
    EXPECT_EQ(link.SendSerial(statusRequest).count, 0);
}

TEST(VCRPort, APortThatHasGoneGoesOfflineAndIsReopenedQuietlyAsAtStartUp)
{
    FakeBackend fake;
    VCRPort link("COM3", false);
    fake->setResult("SerPutData", 0);
    fake->setResult("SerRxReadyCount", -1);  // hung up: the device is gone
    fake->clearCalls();

    std::string console = consoleOf([&] {
        for (int request = 0; request < 4; ++request)
            EXPECT_EQ(link.SendSerial(statusRequest).outcome, Reply::Outcome::WriteFailed);
    });
    EXPECT_EQ(console, "Unable to write to Serial Port\n");
    EXPECT_FALSE(link.online());
    EXPECT_EQ(link.offlineReason(), "write failed");
    EXPECT_EQ(fake->count("SerPutData"), 1) << "an offline link writes nothing";

    fake->setResult("SerOpenPort", serial::SerialBackend::NotValid);  // not plugged back yet
    fake->clearCalls();
    EXPECT_EQ(consoleOf([&] { EXPECT_FALSE(link.reopen()); }), "");
    EXPECT_FALSE(link.online());
    const auto calls = fake->calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().operation, "SerClosePort") << "the failed port is closed first";

    fake->clearResult("SerOpenPort");
    fake->clearResult("SerPutData");
    fake->clearResult("SerRxReadyCount");
    fake->setResult("SerSetDTR", -1);  // said at start-up, not again
    fake->clearCalls();
    EXPECT_EQ(consoleOf([&] { EXPECT_TRUE(link.reopen()); }), "");
    EXPECT_TRUE(link.online());
    const auto cfg = fake->lastConfigured();
    ASSERT_TRUE(cfg.has_value());
    EXPECT_EQ(cfg->getBitRate(), SerialConfig::BR_38400);
    EXPECT_EQ(cfg->getParity(), SerialConfig::PY_ODD);
    EXPECT_EQ(cfg->getHandshake(), SerialConfig::HS_NONE);
    EXPECT_EQ(fake->last("SerSetRTS")->arguments.back(), 1);
    EXPECT_TRUE(link.hasOutStream());
    EXPECT_EQ(link.takeFailedWrites(), 4);
    EXPECT_EQ(link.takeFailedWrites(), 0);

    const Packet ack = decktest::withChecksum({0x10, 0x01});
    fake->answerNextWrite(ack);
    EXPECT_EQ(link.SendSerial(VCR::bsstop).outcome, Reply::Outcome::Answered);
}

TEST(VCRPort, AReaderThatWakesOnlyAfterTheDeadlineStillTakesTheReplyThatCame)
{
    // A loaded machine runs the reading thread again only after the exchange's deadline, by
    // which time the whole reply has been in the buffer for a while.
    class LateWakingLine : public FakeSerialBackend {
    public:
        int SerRxWait(int, int timeoutMs) override
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs + 20));
            return 0;
        }
    };
    auto line = std::make_shared<LateWakingLine>();
    serial::SerialBackend::install(line);
    {
        VCRPort link("COM3", false);
        line->answerNextWrite(decktest::withChecksum({0x10, 0x01}), std::chrono::milliseconds(5));
        const Reply reply = link.SendSerial(VCR::bsplay);
        EXPECT_EQ(reply.outcome, Reply::Outcome::Answered);
        EXPECT_FALSE(link.outOfStep());
    }
    serial::SerialBackend::install(nullptr);
}

TEST(VCRPort, WhatAUsbAdapterGaveForLowLatencyIsSaidOnceAtStartUp)
{
    struct Case {
        bool recorder;
        serial::LowLatency got;
        const char* line;
    };
    const Case cases[] = {
        {false, {true, 1, ""}, "Play VCR: USB adapter latency 1 ms\n"},
        {true, {true, 16, "cannot set /sys/x/latency_timer: Permission denied"},
         "Record VCR: USB adapter latency 16 ms (cannot set /sys/x/latency_timer: Permission denied)\n"},
        {false, {true, std::nullopt, "the adapter has no latency timer"},
         "Play VCR: USB adapter latency unknown (the adapter has no latency timer)\n"},
        {false, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        FakeBackend fake;
        fake->setLowLatency(c.got);
        fake->answerNextWrite(decktest::withChecksum({0x10, 0x01}));
        std::unique_ptr<VCR> vcr;
        const std::string console = consoleOf([&] { vcr = std::make_unique<VCR>("COM3", false, c.recorder); });
        EXPECT_EQ(console, "Serial Port COM3 Opened OK\n" + std::string(c.line)
                               + (c.recorder ? "Setting Up Record VCR\n" : "Setting Up Play VCR\n"));
        EXPECT_EQ(fake->count("SerRequestLowLatency"), 1);

        // A port that failed and came back is asked again, quietly: the console said it once.
        fake->setResult("SerPutData", 0);
        fake->setResult("SerRxReadyCount", -1);
        consoleOf([&] { vcr->CommandB0(VCR::bsstop); });
        ASSERT_FALSE(vcr->online());
        fake->clearResult("SerPutData");
        fake->clearResult("SerRxReadyCount");
        const std::string again = consoleOf([&] { EXPECT_TRUE(vcr->reconnect()); });
        EXPECT_EQ(again.find("USB adapter"), std::string::npos) << again;
        EXPECT_EQ(fake->count("SerRequestLowLatency"), 2);
    }
}
