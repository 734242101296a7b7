// The list assembled from its window on the virtual decks, a player with two reels: a B-mode
// run that asks once for the other reel, answered by its key, checked on the recorder's tape
// frame for frame; a run stopped at a write-protected recorder, its event highlighted and the
// list locked, then retried; a dissolve that refuses the run before anything moves; and a run
// left unfinished offered for resuming when the list is opened again, resumed without
// recording an event twice.

#include "listwindow/ListAssembly.h"
#include "tests/assembly/TapeOracle.h"
#include "tests/e2e/ListWindowRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using decksim::Role;
using namespace listwindowtest;
using Phase = ListAssembly::Phase;

namespace {

// Events of a quarter to two thirds of a second, one after the other on the recorder from
// 20 s; the sources of each reel a few seconds apart, so that the player winds between them.
std::string eventsOnReels(const std::string& reels)
{
    std::vector<Event> events;
    int record = framesOf("00:00:20:00");
    for (std::size_t at = 0; at < reels.size(); ++at) {
        const int length = 12 + static_cast<int>(at) * 3;
        const int source = framesOf("00:00:05:00") + static_cast<int>(at) * 90;
        events.push_back(Event::fromEdit(at % 2 ? 0x50 : 0x53, std::string(1, reels[at]),
                                         {source, source + length, record, record + length}, FrameCountMode::NonDrop));
        record += length;
    }
    return listText(events);
}

struct Answers {
    // Told of each question; returns the key that answers it.
    std::function<Qt::Key(const std::string& question)> answer;
    int asked = 0;
};

// Waits until the status says the text, answering each question the run asks as it comes.
bool runUntil(ListWindowRig& w, const std::string& status, Answers& answers, int ms = 120000)
{
    return QTest::qWaitFor(
        [&] {
            if (const std::string question = w.window().promptlabel.text(); !question.empty()) {
                ++answers.asked;
                w.press(answers.answer(question));
                EXPECT_TRUE(QTest::qWaitFor([&] { return w.window().promptlabel.text().empty(); }, 5000));
            }
            return w.window().statusfield.text() == status && w.window().assembly().phase() != Phase::Running;
        },
        ms);
}

std::string recordedText(const Event& event)
{
    const TimeBase base;
    return "RECORDED " + base.labelOf(event.recordIn()) + " TO " + base.labelOf(event.recordOut() - 1);
}

std::string onTape(ListWindowRig& w, const std::vector<Event>& events)
{
    return tapeoracle::differences(tapeoracle::fromEvents(events), tapeoracle::fromSegments(w.rig.decks.segments()));
}

int lines(const std::string& text)
{
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

std::string state(ListWindowRig& w, std::size_t row)
{
    return w.window().table.text(row, EventRowText::State);
}

}

TEST(ListAssemblyWindowRealTime, ABModeRunAsksOnceForTheOtherReelAndLandsFrameForFrameWithoutNewEvents)
{
    ListWindowRig w({.decks = {.playerReels = {"A", "B"}}, .preroll = 1, .listText = eventsOnReels("ABAB")});
    ASSERT_TRUE(w.tableFollows());
    w.window().reelfield.type("A", true);
    w.idle();
    const EventList listed = w.list();
    w.key(Qt::Key_B);
    EXPECT_EQ(w.window().modelabel.text(), "B-MODE: BY REEL");

    w.press(Qt::Key_F5);
    Answers answers{[&](const std::string& question) {
        EXPECT_EQ(question, "MOUNT REEL B ON THE PLAYER");
        // Reel A's events are on tape, reel B's wait.
        EXPECT_TRUE(QTest::qWaitFor([&] { return state(w, 3) == "PENDING"; }, 5000));
        EXPECT_EQ(state(w, 2), recordedText(listed[2]));
        EXPECT_EQ(onTape(w, {listed[0], listed[2]}), "");
        // A list change while the run goes is refused, and says why.
        w.press(Qt::Key_Delete);
        EXPECT_EQ(w.window().statusfield.text(), "ASSEMBLY IN PROGRESS");
        w.rig.decks.mount("B");
        return Qt::Key_F3;
    }};
    ASSERT_TRUE(runUntil(w, "ASSEMBLED 4 OF 4 EVENTS", answers)) << w.window().statusfield.text();

    EXPECT_EQ(answers.asked, 1) << "one reel change, one question";
    EXPECT_EQ(onTape(w, {listed[0], listed[1], listed[2], listed[3]}), "");
    w.idle();
    EXPECT_EQ(w.list(), listed) << "the run's edits are the list's events already";
    for (std::size_t row = 0; row < listed.size(); ++row)
        EXPECT_EQ(state(w, row), recordedText(listed[row])) << row;
    EXPECT_EQ(lines(w.rig.edl()), 4) << "each edit is in the edit log";
    EXPECT_EQ(w.window().reelshown.text(), "ON THE PLAYER: B");
    EXPECT_EQ(w.window().countdownlabel.text(), "");
}

TEST(ListAssemblyWindowRealTime, ARunStoppedAtAProtectedCassetteHighlightsItsEventLocksTheListAndARetryRecordsTheRest)
{
    ListWindowRig w({.decks = {.playerReels = {"A", "B"}}, .preroll = 1, .listText = eventsOnReels("ABB")});
    ASSERT_TRUE(w.tableFollows());
    w.window().reelfield.type("A", true);
    w.idle();
    const EventList listed = w.list();

    w.press(Qt::Key_F5);
    // The cassette is swapped for a protected one while the operator changes reels.
    Answers answers{[&](const std::string& question) {
        EXPECT_EQ(question, "MOUNT REEL B ON THE PLAYER");
        w.rig.decks.setRecordInhibit(Role::Recorder, true);
        w.rig.decks.mount("B");
        return Qt::Key_F3;
    }};
    ASSERT_TRUE(runUntil(w, "RUN STOPPED AT EVENT 2: RECORDER: RECORD INHIBIT", answers))
        << w.window().statusfield.text();
    EXPECT_EQ(w.window().assembly().phase(), Phase::Held);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.window().table.chosenRow() == std::optional<std::size_t>(1); }, 5000))
        << "the event it stopped at stands chosen";
    EXPECT_TRUE(QTest::qWaitFor([&] { return state(w, 1) == "FAILED: RECORDER: RECORD INHIBIT"; }, 5000)) << state(w, 1);
    EXPECT_EQ(state(w, 2), "PENDING");
    EXPECT_EQ(onTape(w, {listed[0]}), "") << "nothing recorded after the first event";

    // The list stays as the run has it until the run goes on or ends.
    w.press(Qt::Key_N);
    EXPECT_EQ(w.window().statusfield.text(), "RUN STOPPED AT EVENT 2: RETRY, SKIP OR STOP THE RUN");
    w.idle();
    EXPECT_EQ(w.list(), listed);

    w.rig.decks.setRecordInhibit(Role::Recorder, false);
    w.press(Qt::Key_F8);
    ASSERT_TRUE(runUntil(w, "ASSEMBLED 3 OF 3 EVENTS", answers)) << w.window().statusfield.text();
    EXPECT_EQ(answers.asked, 1) << "the reel mounted before the stop is still on the player";
    EXPECT_EQ(onTape(w, {listed[0], listed[1], listed[2]}), "");
    EXPECT_TRUE(QTest::qWaitFor([&] { return state(w, 1) == recordedText(listed[1]); }, 5000)) << state(w, 1);
}

TEST(ListAssemblyWindow, ARunWithADissolveIsRefusedNamingItsEventAndNothingMoves)
{
    Event dissolve = cut(0x50, "001", "00:00:10:00", "00:01:00:00", 0);
    dissolve.lines.push_back(cut(0x50, "001", "00:00:20:00", "00:01:00:00", 60).lines[0]);
    dissolve.lines[1].transition = {Transition::Kind::Dissolve, 0, ' ', 30};
    Event after = cut(0x50, "001", "00:00:30:00", "00:01:02:00", 60);
    ListWindowRig w({.listText = listText({cut(0x50, "001", "00:00:05:00", "00:00:58:00", 60), dissolve, after})});
    ASSERT_TRUE(w.tableFollows());

    w.key(Qt::Key_F6);
    EXPECT_EQ(w.window().statusfield.text(), "CHOOSE AN EVENT FIRST");
    w.key(Qt::Key_F8);
    EXPECT_EQ(w.window().statusfield.text(), "NO RUN STOPPED");

    w.rig.decks.clearTrace();
    w.key(Qt::Key_F5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.window().statusfield.text() == "RUN NOT STARTED: NEEDS A SWITCHER: EVENT 2"; },
                                5000))
        << w.window().statusfield.text();
    EXPECT_EQ(w.window().assembly().phase(), Phase::Idle);
    for (const auto& entry : w.rig.decks.trace()) {
        if (entry.received) {
            EXPECT_TRUE(entry.bytes == VCR::bsgettc || entry.bytes == VCR::bsgetstatus) << "only polling";
        }
    }
    EXPECT_EQ(state(w, 0), "");
}

TEST(ListAssemblyWindowRealTime, ARunLeftUnfinishedIsOfferedWhenTheListIsOpenedAndResumesWithoutRecordingAnEventTwice)
{
    ListWindowRig w({.decks = {.playerReels = {"A", "B"}}, .preroll = 1, .listText = eventsOnReels("ABA")});
    ASSERT_TRUE(w.tableFollows());
    w.window().reelfield.type("A", true);
    w.idle();
    const EventList listed = w.list();
    EXPECT_EQ(w.window().resumelabel.text(), "") << "no journal, nothing to resume";

    w.press(Qt::Key_F5);
    Answers declined{[](const std::string&) { return Qt::Key_F4; }};
    ASSERT_TRUE(runUntil(w, "RUN STOPPED AT EVENT 2: REEL B NOT MOUNTED", declined)) << w.window().statusfield.text();
    w.press(Qt::Key_F10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.window().statusfield.text() == "ASSEMBLED 1 OF 3 EVENTS"; }, 5000));

    // The list opened again, as at the next start.
    w.idle();
    w.rig.listWindow.reset();
    w.rig.listWindow = std::make_unique<ListWindow>(*w.rig.keeper, *w.rig.evcr);
    Kestrix::listwindow = w.rig.listWindow.get();
    w.window().open();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.window().resumelabel.text() == "RUN UNFINISHED: RESUME FROM EVENT 2"; }, 5000))
        << w.window().resumelabel.text();

    w.press(Qt::Key_F7);
    Answers mounted{[&](const std::string& question) {
        const std::string reel = question == "MOUNT REEL B ON THE PLAYER" ? "B" : "A";
        EXPECT_EQ(question, "MOUNT REEL " + reel + " ON THE PLAYER");
        w.rig.decks.mount(reel);
        return Qt::Key_F3;
    }};
    ASSERT_TRUE(runUntil(w, "ASSEMBLED 3 OF 3 EVENTS", mounted)) << w.window().statusfield.text();
    EXPECT_EQ(mounted.asked, 2);
    EXPECT_EQ(onTape(w, {listed[0], listed[1], listed[2]}), "");
    EXPECT_EQ(state(w, 0), "RECORDED EARLIER");
    EXPECT_EQ(lines(w.rig.edl()), 3) << "the first event was recorded once";
    EXPECT_EQ(w.window().resumelabel.text(), "");
}
