#include "app/KeyboardControl.h"
#include "deck/Utils.h"
#include "tests/e2e/EditRig.h"
#include "tools/decksim/StatusBits.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

using Packet = std::vector<std::uint8_t>;
using decksim::Role;

const Packet play{0x20, 0x01, 0x21};
const Packet stop{0x20, 0x00, 0x20};
const Packet editOn{0x20, 0x65, 0x85};
const Packet editOff{0x20, 0x64, 0x84};

// The main window on the virtual decks, once start-up has taken both in points.
class Keys : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return rig.statusShown("KESTRIX READY..."); }, 5000));
        ui::OperatorThread::instance().waitUntilIdle();
    }

    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(rig.gui->qwidget(), key, modifiers);
    }

    // The deck's received blocks since the trace was cleared, without the polling requests.
    std::vector<Packet> commands(Role deck) const
    {
        std::vector<Packet> found;
        for (const decksim::TraceEntry& entry : rig.decks.trace()) {
            if (entry.deck == deck && entry.received && entry.bytes != VCR::bsgettc && entry.bytes != VCR::bsgetstatus)
                found.push_back(entry.bytes);
        }
        return found;
    }

    testing::AssertionResult receives(Role deck, const std::vector<Packet>& expected)
    {
        if (QTest::qWaitFor([&] { return commands(deck) == expected; }, 5000))
            return testing::AssertionSuccess();
        testing::AssertionResult failure = testing::AssertionFailure();
        for (const Packet& packet : commands(deck))
            failure << Utils::BS2S(packet, static_cast<int>(packet.size())) << ' ';
        return failure;
    }

    bool recorderRecording() const
    {
        const auto bit = decksim::StatusBits::record;
        return (rig.decks.statusBytes(Role::Recorder)[static_cast<std::size_t>(bit.byte)] & (1 << bit.bit)) != 0;
    }

    EditRig rig{{.window = true}};
};

}

TEST_F(Keys, DeckKeysSendTheirPacketsToTheSelectedDeckOnly)
{
    press(Qt::Key_F2);
    EXPECT_EQ(VCRPanel::of(*rig.recorder).vcrlabel.background(), KeyboardControl::selectedcol);
    EXPECT_EQ(VCRPanel::of(*rig.player).vcrlabel.background(), VCRPanel::backgroundcol);
    struct Case {
        Qt::Key key;
        std::vector<Packet> sent;
    };
    const Case cases[] = {
        {Qt::Key_Left, {{0x21, 0x21, 0x10, 0x52}}},
        {Qt::Key_Right, {{0x21, 0x11, 0x10, 0x42}}},
        {Qt::Key_K, {stop}},
        {Qt::Key_L, {{0x21, 0x13, 0x40, 0x74}}},
        {Qt::Key_L, {{0x21, 0x13, 0x4A, 0x7E}}},
        {Qt::Key_J, {{0x21, 0x23, 0x40, 0x84}}},
        {Qt::Key_J, {{0x21, 0x23, 0x4A, 0x8E}}},
        {Qt::Key_K, {stop}},
        {Qt::Key_Space, {play}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QKeySequence(c.key).toString().toStdString());
        ui::OperatorThread::instance().waitUntilIdle();
        rig.decks.clearTrace();
        press(c.key);
        // K also brings the shuttle bar back to the middle; the still picture that sends
        // may be dropped by the stop, which ends whatever was queued before it.
        if (c.key == Qt::Key_K)
            EXPECT_TRUE(QTest::qWaitFor([&] { return !commands(Role::Recorder).empty() && commands(Role::Recorder).back() == c.sent.back(); }, 5000));
        else
            EXPECT_TRUE(receives(Role::Recorder, c.sent));
    }
    EXPECT_EQ(VCRPanel::of(*rig.recorder).vsb.value(), 48);
    // Space stops a deck that reports play.
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.recorder->statusText().find("Play ") != std::string::npos; }, 5000));
    rig.decks.clearTrace();
    press(Qt::Key_Space);
    EXPECT_TRUE(receives(Role::Recorder, {stop}));
    EXPECT_TRUE(commands(Role::Player).empty());

    // The point and cue keys press their buttons, which show their commands.
    std::vector<std::string> shown;
    auto* status = static_cast<QLineEdit*>(VCRPanel::of(*rig.recorder).statusfield.qwidget());
    QObject::connect(status, &QLineEdit::textChanged, [&shown](const QString& text) { shown.push_back(text.toStdString()); });
    for (const auto& keyAndCommand : {std::pair{Qt::Key_I, "SetIn"}, std::pair{Qt::Key_O, "SetOut"}, std::pair{Qt::Key_C, "Cueplay"}}) {
        const std::string command = keyAndCommand.second;
        press(keyAndCommand.first);
        EXPECT_TRUE(QTest::qWaitFor([&] { return std::find(shown.begin(), shown.end(), command) != shown.end(); }, 5000))
            << command;
        ui::OperatorThread::instance().waitUntilIdle();
    }

    press(Qt::Key_F1);
    EXPECT_EQ(VCRPanel::of(*rig.player).vcrlabel.background(), KeyboardControl::selectedcol);
    rig.decks.clearTrace();
    press(Qt::Key_Left);
    EXPECT_TRUE(receives(Role::Player, {{0x21, 0x21, 0x10, 0x52}}));
}

TEST_F(Keys, AFocusedPointFieldTakesTheKeysAndEscLeavesItAndStopsAll)
{
    QLineEdit* field = static_cast<QLineEdit*>(VCRPanel::of(*rig.player).cuefield.qwidget());
    QApplication::setActiveWindow(rig.gui->qwidget());
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == field; }, 2000));
    rig.decks.clearTrace();

    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, "jkl ioc");
    EXPECT_EQ(VCRPanel::of(*rig.player).cuefield.text(), "jkl ioc");
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, "00:01:02:03");
    QTest::keyClick(field, Qt::Key_Return);
    ui::OperatorThread::instance().waitUntilIdle();
    ASSERT_FALSE(commands(Role::Player).empty());
    EXPECT_EQ(commands(Role::Player).front()[1], 0x14);

    rig.decks.clearTrace();
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_NE(QApplication::focusWidget(), field);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.statusShown("ALL STOP"); }, 5000));
    EXPECT_TRUE(receives(Role::Recorder, {stop}));
    EXPECT_TRUE(receives(Role::Player, {stop}));
}

TEST_F(Keys, EditKeysPressTheEditPanelsButtons)
{
    press(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.statusShown("DO EDIT"); }, 5000));
    ui::OperatorThread::instance().waitUntilIdle();
    press(Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.statusShown("PREVIEW"); }, 5000));
    ui::OperatorThread::instance().waitUntilIdle();
    press(Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.statusShown("ALL STOP"); }, 5000));
}

// Play during an edit would only be refused ("EDIT IN PROGRESS") while the recorder records on;
// Space aborts the edit instead, as K does, whichever deck is selected: the recorder leaves
// record at once and nothing is logged.
TEST_F(Keys, SpaceDuringAnEditAbortsIt)
{
    rig.setPoints(*rig.player, "00:00:02:00", "00:00:06:00");
    rig.setPoints(*rig.recorder, "00:00:10:00", "00:00:14:00");
    rig.chooseMode(0x50);
    press(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return recorderRecording() && rig.decks.positionFrames(Role::Recorder) >= 310; }, 60000));
    ASSERT_TRUE(rig.received(Role::Recorder, editOn).has_value());

    press(Qt::Key_Space);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rig.statusShown("EDIT ABORTED"); }, 5000));
    EXPECT_FALSE(rig.statusShown("EDIT IN PROGRESS"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !recorderRecording(); }, 2000)) << "the recorder records on";
    EXPECT_EQ(rig.countReceived(Role::Recorder, editOff), 1);
    const auto segments = rig.segments();
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_LT(segments[0].recLast + 1, 420) << "the recording went on to the out point";
    ui::OperatorThread::instance().waitUntilIdle();
    EXPECT_EQ(rig.edl(), "");
}
