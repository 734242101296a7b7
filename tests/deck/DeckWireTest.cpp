#include "deck/VCR.h"
#include "deck/VCRPort.h"
#include "tests/deck/DeckTestSupport.h"
#include "tests/deck/FakeDeckView.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

using decksim::Role;
using decktest::blocks;
using decktest::waitForReceived;

namespace {

class DeckOnTheWire : public testing::Test {
protected:
    void SetUp() override
    {
        vcr = std::make_unique<VCR>(decks.path(Role::Player), false, false);
        view = &FakeDeckView::attachTo(*vcr);
        waitForReceived(decks, Role::Player, 1);
        decks.clearTrace();
    }

    decksim::VirtualDecks decks;
    std::unique_ptr<VCR> vcr;
    FakeDeckView* view = nullptr;
};

}

TEST(DeckStartUp, Rs422DeckSelectsTimeCodeModeOnly)
{
    decksim::VirtualDecks decks;
    std::unique_ptr<VCR> vcr;
    std::string console =
        decktest::consoleOf([&] { vcr = std::make_unique<VCR>(decks.path(Role::Recorder), false, true); });

    // A pseudo-terminal has no modem lines.
    EXPECT_EQ(console, "Unable to set DTR\nUnable to set RTS\nSerial Port " + decks.path(Role::Recorder)
                           + " Opened OK\nSetting Up Record VCR\n");
    EXPECT_EQ(waitForReceived(decks, Role::Recorder, 1), (std::vector<Packet>{{0x41, 0x36, 0x00, 0x77}}));
    EXPECT_TRUE(vcr->isRecorder());
}

TEST(DeckStartUp, ReconDeckGetsItsFourSetUpPacketsBeforeTheTimeMode)
{
    const ReconSetUp recon{.on = true, .compression = 7, .videomode = 0, .videotype = 1};
    decksim::VirtualDecks decks;
    std::unique_ptr<VCR> vcr;
    std::string console =
        decktest::consoleOf([&] { vcr = std::make_unique<VCR>(decks.path(Role::Player), false, false, recon); });

    EXPECT_EQ(console, "Unable to set DTR\nUnable to set RTS\nSerial Port " + decks.path(Role::Player)
                           + " Opened OK\nSetting Up Play VCR\nSetting BVW75 Mode on RECON\n"
                             "Setting Compression on RECON = 7\nSetting PAL/NTSC Mode to 0\n"
                             "Setting PAL/NTSC Mode to 1\n");
    const std::vector<Packet> expected{
        {0xF3, 0x02, 0xD0, 0x00, 0x10, 0xD5}, {0xF3, 0x02, 0xA1, 0x07, 0x00, 0x9D},
        {0xF3, 0x02, 0x10, 0x00, 0x00, 0x05}, {0xF3, 0x02, 0x40, 0x01, 0x00, 0x36},
        {0x41, 0x36, 0x00, 0x77},
    };
    EXPECT_EQ(waitForReceived(decks, Role::Player, expected.size()), expected);
}

TEST_F(DeckOnTheWire, EachTransportOperationSendsItsPackets)
{
    struct Case {
        const char* name;
        std::function<void(VCR&)> operation;
        std::vector<Packet> sent;
    };
    const Case cases[] = {
        {"play", [](VCR& v) { v.play(); }, {{0x20, 0x01, 0x21}}},
        {"pause", [](VCR& v) { v.pause(); }, {{0x21, 0x13, 0x00, 0x34}}},
        {"stopvcr", [](VCR& v) { v.stopvcr(); }, {{0x20, 0x00, 0x20}}},
        {"forward", [](VCR& v) { v.forward(); }, {{0x20, 0x10, 0x30}}},
        {"rewind", [](VCR& v) { v.rewind(); }, {{0x20, 0x20, 0x40}}},
        {"jogf", [](VCR& v) { v.jogf(); }, {{0x21, 0x11, 0x10, 0x42}}},
        {"jogr", [](VCR& v) { v.jogr(); }, {{0x21, 0x21, 0x10, 0x52}}},
        {"sbyon", [](VCR& v) { v.sbyon(); }, {{0x20, 0x05, 0x25}}},
        {"sbyoff", [](VCR& v) { v.sbyoff(); }, {{0x20, 0x04, 0x24}}},
        {"record", [](VCR& v) { v.record(); }, {{0x20, 0x02, 0x22}}},
        {"eject", [](VCR& v) { v.eject(); }, {{0x20, 0x0F, 0x2F}}},
        {"toggleee on", [](VCR& v) { v.toggleee(true); }, {{0x20, 0x61, 0x81}}},
        {"toggleee off", [](VCR& v) { v.toggleee(false); }, {{0x20, 0x60, 0x80}}},
        {"shutfwd 12", [](VCR& v) { v.shutfwd(12); }, {{0x21, 0x13, 0x0C, 0x40}}},
        {"shutrev 12", [](VCR& v) { v.shutrev(12); }, {{0x21, 0x23, 0x0C, 0x50}}},
        {"shutfwd 255", [](VCR& v) { v.shutfwd(255); }, {{0x21, 0x13, 0xFF, 0x33}}},
        {"shutfwd 0x40", [](VCR& v) { v.shutfwd(0x40); }, {{0x21, 0x13, 0x40, 0x74}}},
        {"shutfwd 300", [](VCR& v) { v.shutfwd(300); }, {{0x21, 0x13, 0x2C, 0x60}}},
        {"setemode 44", [](VCR& v) { v.setemode(0x44); }, {{0x41, 0x30, 0x44, 0xB5}}},
        {"editstop", [](VCR& v) { v.editstop(); }, {{0x20, 0x64, 0x84}, {0x20, 0x00, 0x20}}},
        {"status", [](VCR& v) { v.status(); }, {{0x61, 0x20, 0x09, 0x8A}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        decks.clearTrace();
        c.operation(*vcr);
        EXPECT_EQ(waitForReceived(decks, Role::Player, c.sent.size()), c.sent);
    }
}

TEST_F(DeckOnTheWire, MotionCommandsCancelAPendingCueAndPlayAndTheDuration)
{
    struct Case {
        const char* name;
        std::function<void(VCR&)> operation;
        bool settles;
        int moving;
    };
    const Case cases[] = {
        {"stopvcr", [](VCR& v) { v.stopvcr(); }, true, 0},  {"forward", [](VCR& v) { v.forward(); }, true, 1},
        {"rewind", [](VCR& v) { v.rewind(); }, true, 1},    {"jogf", [](VCR& v) { v.jogf(); }, true, 0},
        {"sbyon", [](VCR& v) { v.sbyon(); }, true, 0},      {"play", [](VCR& v) { v.play(); }, false, 1},
        {"pause", [](VCR& v) { v.pause(); }, false, 7},     {"eject", [](VCR& v) { v.eject(); }, false, 0},
        {"shutrev", [](VCR& v) { v.shutrev(20); }, false, 7},
    };
    view->typePoint(DeckView::Point::In, "00:00:00:00");
    view->typePoint(DeckView::Point::Out, "00:00:10:00");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        vcr->setmoving(7);
        vcr->setcueplay(true);
        vcr->CalcDuration();
        ASSERT_EQ(vcr->duration(), 300);
        c.operation(*vcr);
        EXPECT_EQ(vcr->getcueplay(), !c.settles);
        EXPECT_EQ(vcr->duration(), c.settles ? 0 : 300);
        EXPECT_EQ(vcr->moving(), c.moving);
    }
}

TEST_F(DeckOnTheWire, RecordTwiceFlipsTheMotionMarkerBack)
{
    vcr->setmoving(0);
    vcr->record();
    EXPECT_EQ(vcr->moving(), 1);
    vcr->record();
    EXPECT_EQ(vcr->moving(), 0);
    EXPECT_EQ(waitForReceived(decks, Role::Player, 2), (std::vector<Packet>(2, Packet{0x20, 0x02, 0x22})));
}

TEST_F(DeckOnTheWire, MutedDeckShowsNoVcrStatus)
{
    ASSERT_TRUE(decktest::waitFor([&] {
        vcr->status();
        return !vcr->statusText().empty();
    }));
    decks.setMuted(Role::Player, true);
    vcr->status();
    EXPECT_EQ(view->status(), "No VCR Status");
}

TEST_F(DeckOnTheWire, TwoThreadsOnOneLinkNeverInterleaveAndEachGetsItsOwnReply)
{
    // The lock is under test, not the deck's answering time: a wait generous enough for a
    // loaded machine keeps a late reply from being read by the next exchange.
    vcr->link().setwait(100);
    constexpr int rounds = 25;
    std::atomic<int> wrongTimeReplies{0}, wrongStatusReplies{0};
    std::thread timeReader([&] {
        for (int i = 0; i < rounds; ++i) {
            Reply reply = vcr->CommandB0(VCR::bsgettc);
            wrongTimeReplies += reply[0] != 0x74 || reply.count != 7;
        }
    });
    std::thread statusReader([&] {
        for (int i = 0; i < rounds; ++i) {
            Reply reply = vcr->CommandB0(VCR::bsgetstatus);
            wrongStatusReplies += reply[0] != 0x79 || reply.count != 12;
        }
    });
    timeReader.join();
    statusReader.join();

    EXPECT_EQ(wrongTimeReplies, 0);
    EXPECT_EQ(wrongStatusReplies, 0);
    std::vector<Packet> received = blocks(decks, Role::Player);
    ASSERT_EQ(received.size(), 2u * rounds);
    for (const Packet& block : received)
        EXPECT_TRUE(block == VCR::bsgettc || block == VCR::bsgetstatus);
    for (const Packet& reply : blocks(decks, Role::Player, false))
        EXPECT_NE(reply[0], 0x11) << "the deck refused a block";
}
