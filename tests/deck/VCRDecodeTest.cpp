#include "deck/VCR.h"
#include "deck/VCRPort.h"
#include "serial/backend/LinuxSerialBackend.h"
#include "tests/deck/DeckTestSupport.h"
#include "tests/deck/FakeDeckView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <numeric>
#include <unistd.h>

using decktest::FakeBackend;

namespace {

const Packet ack{0x10, 0x01, 0x11};
// The answer to the link's own status request that brings it back in step.
const Packet inStep = decktest::withChecksum({0x71, 0x20, 0x00});

// The names of the lit lamps of the transport row.
std::vector<std::string> litLamps(const DeckView::TransportLamps& lamps)
{
    const std::pair<bool, const char*> named[] = {
        {lamps.play, "play"},       {lamps.forward, "forward"}, {lamps.rewind, "rewind"},
        {lamps.stop, "stop"},       {lamps.standby, "standby"}, {lamps.shuttle, "shuttle"},
        {lamps.jogForward, "jog forward"}, {lamps.jogReverse, "jog reverse"},
    };
    std::vector<std::string> lit;
    for (const auto& [on, name] : named) {
        if (on)
            lit.push_back(name);
    }
    return lit;
}

class DeckOnFakePort : public testing::Test {
protected:
    void SetUp() override
    {
        fake->answerNextWrite(ack);  // the time mode select of the set-up
        vcr = std::make_unique<VCR>("COM3", false, false);
        view = &FakeDeckView::attachTo(*vcr);
        fake->clearCalls();
    }

    // The status reply the deck sends to the next request; only its first count bytes
    // arrive.
    void replyStatus(std::uint8_t transport, std::uint8_t mode, std::uint8_t precue, int count = 12)
    {
        Packet reply = decktest::withChecksum({0x79, 0x20, 0, transport, mode, 0, precue, 0, 0, 0, 0});
        reply.resize(count);
        fake->answerNextWrite(reply);
    }

    FakeBackend fake;
    std::unique_ptr<VCR> vcr;
    FakeDeckView* view = nullptr;
};

}

TEST_F(DeckOnFakePort, StatusRepliesGiveTheirWordsLampsAndFlags)
{
    struct Case {
        std::uint8_t transport, mode, precue;
        const char* text;
        bool cuedup, standby;
        std::vector<std::string> lamps;
    };
    const Case cases[] = {
        {0x21, 0x01, 0x00, "Play Stop CuedUp ", true, false, {"play", "stop"}},
        {0x21, 0x15, 0x00, "Play Stop Jog CuedUp ", true, false, {"play", "stop", "jog reverse"}},
        {0x21, 0x11, 0x00, "Play Stop Jog CuedUp ", true, false, {"play", "stop", "jog forward"}},
        {0x02, 0x00, 0x00, "Rec ", false, false, {}},
        {0x04, 0x00, 0x01, "FF PreCue ", false, false, {"forward"}},
        {0x08, 0x00, 0x00, "REW ", false, false, {"rewind"}},
        {0xA0, 0x00, 0x00, "Stop Stby ", false, true, {"stop", "standby"}},
        {0x00, 0x24, 0x00, "Shuttle ", false, false, {"shuttle"}},
        {0x00, 0x00, 0x00, "", false, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        replyStatus(c.transport, c.mode, c.precue);
        vcr->CommandStatus();

        EXPECT_EQ(vcr->statusText(), c.text);
        EXPECT_EQ(view->status(), c.text);
        EXPECT_EQ(vcr->cuedup(), c.cuedup);
        EXPECT_EQ(vcr->standby(), c.standby);
        EXPECT_EQ(litLamps(view->lamps()), c.lamps);
    }
}

TEST_F(DeckOnFakePort, ShortStatusChangesNothingAndSilenceShowsNoVcrStatus)
{
    replyStatus(0xA1, 0x01, 0x00);
    vcr->CommandStatus();
    ASSERT_EQ(vcr->statusText(), "Play Stop Stby CuedUp ");

    vcr->CommandStatus();
    EXPECT_EQ(view->status(), "No VCR Status");
    EXPECT_EQ(vcr->statusText(), "Play Stop Stby CuedUp ");

    replyStatus(0x04, 0x00, 0x00, 7);
    vcr->CommandStatus();
    EXPECT_EQ(vcr->lastReply().count, 7);
    EXPECT_EQ(vcr->statusText(), "Play Stop Stby CuedUp ");
    EXPECT_EQ(view->status(), "BAD DECK REPLY");
    EXPECT_TRUE(vcr->standby());
    EXPECT_TRUE(vcr->cuedup());
}

TEST_F(DeckOnFakePort, TheRecordTallyFollowsRecordAndEditInTheStatus)
{
    struct Case {
        std::uint8_t transport, edit;
        bool tally;
    };
    for (const Case& c : {Case{0x03, 0x00, true}, Case{0x01, 0x00, false}, Case{0x01, 0x10, true},
                          Case{0x20, 0x00, false}}) {
        fake->answerNextWrite(decktest::withChecksum({0x79, 0x20, 0, c.transport, 0, 0, c.edit, 0, 0, 0, 0}));
        vcr->CommandStatus();
        EXPECT_EQ(view->recordTally(), c.tally) << int(c.transport) << " " << int(c.edit);
    }
}

TEST_F(DeckOnFakePort, AnEditCommandRefusedOrUnacknowledgedIsSentAgain)
{
    // Refused: not carried out, sent again at once. An acknowledgement garbled on the line:
    // sent again once a status request has shown the line holds nothing older.
    fake->answerNextWrite({0x11, 0x12, 0x04, 0x27});
    fake->answerNextWrite({0x10, 0x01, 0x15});
    fake->answerNextWrite(inStep);
    fake->answerNextWrite(ack);
    fake->clearCalls();
    const Reply reply = vcr->CommandAcknowledged(VCR::bseditoff);
    EXPECT_TRUE(reply.answered());
    std::vector<Packet> written;
    for (const auto& call : fake->calls()) {
        if (call.operation == "SerPutData")
            written.push_back(call.data);
    }
    EXPECT_EQ(written, (std::vector<Packet>{VCR::bseditoff, VCR::bseditoff, VCRPort::stepProof, VCR::bseditoff}));
}

TEST_F(DeckOnFakePort, StandbyButtonChoosesByTheLastStatus)
{
    struct Case {
        std::uint8_t transport;
        Packet sent;
    };
    for (const Case& c : {Case{0x80, {0x20, 0x04, 0x24}}, Case{0x20, {0x20, 0x05, 0x25}}}) {
        replyStatus(c.transport, 0, 0);
        vcr->CommandStatus();
        fake->clearCalls();
        vcr->sbyonoff();
        EXPECT_EQ(fake->last("SerPutData")->data, c.sent);
    }
}

TEST_F(DeckOnFakePort, TimeCodeRepliesAreDecodedWithFlagBitsMaskedAndDigitsChecked)
{
    // Time data: frames, seconds, minutes, hours. A deck may set the colour-frame and
    // drop-frame bits of the frames byte, bit 7 of seconds and minutes and bits 7-6 of hours;
    // a digit above 9 or a field no base has is no time code and never shown.
    struct Case {
        Packet reply;
        const char* shown;
        const char* status;
    };
    const Case cases[] = {
        {decktest::withChecksum({0x74, 0x04, 0x29, 0x59, 0x59, 0x23}), "23:59:59:29", ""},
        {decktest::withChecksum({0x74, 0x04, 0xA9, 0xD9, 0xD9, 0xE3}), "23:59:59:29", ""},
        {decktest::withChecksum({0x74, 0x04, 0x13, 0x85, 0x80, 0xC1}), "01:00:05:13", ""},
        {decktest::withChecksum({0x74, 0x04, 0x1D, 0x05, 0x00, 0x01}), "01:00:05:13", "BAD DECK REPLY"},
        {decktest::withChecksum({0x74, 0x04, 0x00, 0x0A, 0x00, 0x01}), "01:00:05:13", "BAD DECK REPLY"},
        {decktest::withChecksum({0x74, 0x04, 0x00, 0x60, 0x00, 0x01}), "01:00:05:13", "BAD DECK REPLY"},
        {decktest::withChecksum({0x74, 0x04, 0x00, 0x00, 0x70, 0x01}), "01:00:05:13", "BAD DECK REPLY"},
        {decktest::withChecksum({0x74, 0x04, 0x00, 0x00, 0x00, 0x24}), "01:00:05:13", "BAD DECK REPLY"},
        {decktest::withChecksum({0x74, 0x04, 0x30, 0x00, 0x00, 0x01}), "01:00:05:13", "BAD DECK REPLY"},
        {decktest::withChecksum({0x74, 0x04, 0x42, 0x00, 0x01, 0x00}), "00:01:00:02", ""},
        // Too short, a wrong checksum, a NAK: the last time code stays.
        {{0x74, 0x04}, "00:01:00:02", "BAD DECK REPLY"},
        {{0x74, 0x04, 0x01, 0x00, 0x00, 0x00, 0x7A}, "00:01:00:02", "BAD DECK REPLY"},
        {{0x11, 0x12, 0x04, 0x27}, "00:01:00:02", "DECK NAK: CHECKSUM ERROR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        view->ShowStatus("");
        if (vcr->link().outOfStep())
            fake->answerNextWrite(inStep);
        fake->answerNextWrite(c.reply);
        const bool timeCode = vcr->CommandB8();
        EXPECT_EQ(timeCode, std::string(c.status).empty());
        EXPECT_EQ(vcr->timecode(), c.shown);
        EXPECT_EQ(view->tc(), c.shown);
        EXPECT_EQ(view->message(), c.status);
    }
}

TEST_F(DeckOnFakePort, AReadingIsTheFrameOfItsOwnReplyOnTheBaseItsFlagGives)
{
    struct Case {
        TimeBase configured;
        Packet reply;
        std::optional<int> frame;
        bool dropFrameFlag;
    };
    const Case cases[] = {
        {TimeBase(), decktest::withChecksum({0x74, 0x04, 0x02, 0x00, 0x01, 0x00}), 30 * 60 + 2, false},
        {TimeBase(), decktest::withChecksum({0x74, 0x04, 0x42, 0x00, 0x01, 0x00}), 30 * 60, true},
        {TimeBase(TimeBase::Kind::Fps25), decktest::withChecksum({0x74, 0x04, 0x24, 0x00, 0x00, 0x00}), 24, false},
        // Labels the base does not have: shown as the deck sent them, but no reading.
        {TimeBase(TimeBase::Kind::Fps25), decktest::withChecksum({0x74, 0x04, 0x25, 0x00, 0x00, 0x00}), {}, false},
        {TimeBase(), decktest::withChecksum({0x74, 0x04, 0x40, 0x00, 0x01, 0x00}), {}, true},
    };
    for (const Case& c : cases) {
        vcr->setTimeBase(c.configured);
        fake->answerNextWrite(c.reply, std::chrono::milliseconds(3));
        const auto reading = vcr->readTimeCode();
        ASSERT_EQ(reading.has_value(), c.frame.has_value());
        if (!reading)
            continue;
        EXPECT_EQ(reading->frame, *c.frame);
        EXPECT_EQ(reading->dropFrameFlag, c.dropFrameFlag);
        // The deck sampled its tape between the moment before the write and the whole reply.
        EXPECT_GE(reading->answered - reading->asked, std::chrono::milliseconds(3));
        EXPECT_LE(reading->asked, vcr->lastReply().written);
    }
}

TEST_F(DeckOnFakePort, TwoThreadsReadingTimeCodeEachGetTheirOwnReply)
{
    // The polling thread and an edit read the same deck: each reading must be the one its own
    // exchange brought, never the one another exchange decoded meanwhile. The deck answers
    // the n-th request with frame n.
    constexpr int perThread = 300;
    for (int n = 1; n <= 2 * perThread; ++n) {
        auto bcd = [](int v) { return static_cast<std::uint8_t>(v / 10 * 16 + v % 10); };
        fake->answerNextWrite(decktest::withChecksum({0x74, 0x04, bcd(n % 30), bcd(n / 30 % 60), bcd(n / 1800), 0}));
    }
    auto readAll = [this] {
        std::vector<int> frames;
        for (int i = 0; i < perThread; ++i) {
            if (const auto reading = vcr->readTimeCode())
                frames.push_back(reading->frame);
        }
        return frames;
    };
    auto other = std::async(std::launch::async, readAll);
    std::vector<int> frames = readAll();
    const std::vector<int> others = other.get();
    frames.insert(frames.end(), others.begin(), others.end());
    std::sort(frames.begin(), frames.end());
    std::vector<int> expected(2 * perThread);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(frames, expected);
}

TEST(DeckChecksum, MakeCsumSumsTheFirstFiveBytes)
{
    Packet compression{0xF3, 0x02, 0xA1, 0x07, 0x00, 0x00};
    VCR::MakeCSUM(compression);
    EXPECT_EQ(compression, (Packet{0xF3, 0x02, 0xA1, 0x07, 0x00, 0x9D}));
    Packet large{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    VCR::MakeCSUM(large);
    EXPECT_EQ(large[5], 0xFB);
}

TEST(DeckOnLancLink, SameLevelOnCtsAndDsrShowsNoVcrDetected)
{
    FakeBackend fake;
    fake->setResult("SerSigCTS", 1);
    fake->setResult("SerSigDSR", 1);
    VCR vcr("COM4", true, false);
    FakeDeckView& view = FakeDeckView::attachTo(vcr);
    fake->answerNextWrite(decktest::withChecksum({0x79, 0x20, 0, 0x21, 0x01, 0, 0, 0, 0, 0, 0}));

    vcr.CommandStatus();

    EXPECT_EQ(view.status(), "No VCR Detected");
    EXPECT_EQ(fake->last("SerPutData")->data, VCR::bsgetstatus);
}

TEST(DeckSetUp, ARefusedSetUpPacketBeforeThePanelIsAttachedIsSaidOnTheConsole)
{
    FakeBackend fake;
    fake->answerNextWrite({0x11, 0x12, 0x01, 0x24});
    std::unique_ptr<VCR> vcr;

    const std::string console = decktest::consoleOf([&] { vcr = std::make_unique<VCR>("COM3", false, false); });

    EXPECT_EQ(console, "Serial Port COM3 Opened OK\nSetting Up Play VCR\nPlay VCR: DECK NAK: UNDEFINED COMMAND\n");
    EXPECT_EQ(fake->last("SerPutData")->data, VCR::bssettimemode);
    FakeDeckView& view = FakeDeckView::attachTo(*vcr);
    EXPECT_EQ(view.message(), "") << "the panel starts from its own ready text";
}

TEST(DeckOpenFailure, OperatorHintsForPermissionAndAPortHeldElsewhere)
{
    EXPECT_EQ(VCR::notAvailableHint("COM2", serial::LinuxSerialBackend::PermissionDenied),
              "Permission denied on COM2: add your user to the dialout group (sudo usermod -aG dialout $USER) "
              "and log in again");
    EXPECT_EQ(VCR::notAvailableHint("/dev/ttyUSB0", serial::SerialBackend::InUse),
              "Serial port /dev/ttyUSB0 is held by another program: close that program and start again");
    EXPECT_EQ(VCR::notAvailableHint("COM2", serial::SerialBackend::NotValid), "");
}

TEST(DeckOpenFailureDeathTest, MissingPortPrintsItsLinesPausesAndEndsWithStatusZero)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // The console lines go to standard output; the death test reads standard error.
            dup2(2, 1);
            VCR vcr("/dev/kestrix-no-such-port", false, false);
        },
        testing::ExitedWithCode(0),
        " \nSerial Port /dev/kestrix-no-such-port not available\n"
        "Serial port /dev/kestrix-no-such-port for cam not available.\n");
}
