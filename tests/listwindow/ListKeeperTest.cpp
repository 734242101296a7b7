// The session's list on the operator thread: each edit the recorder confirmed becomes the next
// event with the points the tape holds, and reaches the file; a change meant for an event that
// is no longer where the window showed it is refused; the reel on the player is named here and
// an event of another reel is not performed.

#include "eventlist/ListError.h"
#include "eventlist/ListFile.h"
#include "listwindow/ListKeeper.h"
#include "listwindow/ReelName.h"
#include "tests/eventlist/ListTestSupport.h"

#include <gtest/gtest.h>

namespace {

EditRequest request(const std::string& playIn, const std::string& playOut, const std::string& recIn,
                    const std::string& recOut, std::uint8_t mode)
{
    EditRequest made;
    made.playIn = playIn;
    made.playOut = playOut;
    made.recIn = recIn;
    made.recOut = recOut;
    made.mode = mode;
    return made;
}

EventOutcome confirmed(int overrun = 0)
{
    EditOutcome edit;
    edit.kind = EditOutcome::Kind::Completed;
    edit.onTape = true;
    edit.overrun = overrun;
    edit.exact = overrun == 0;
    EventOutcome outcome;
    outcome.kind = edit.kind;
    outcome.edits = {edit};
    return outcome;
}

Event cut(const std::string& reel, int number, int source, int record, int length)
{
    Event event = Event::fromEdit(0x50, reel, {source, source + length, record, record + length}, FrameCountMode::NonDrop);
    event.number = number;
    return event;
}

EventList listOf(const std::vector<Event>& events)
{
    EventList list(fps30Base);
    for (const Event& event : events)
        list.append(event);
    return list;
}

}

TEST(ListKeeper, AConfirmedEditBecomesTheNextEventAsTheTapeHoldsItAndReachesTheFile)
{
    TempDir dir;
    ListKeeper keeper(listOf({cut("TAPE1", 1, 300, 900, 30), cut("TAPE1", 7, 600, 930, 30)}), dir.file("list.edl"));
    keeper.setReel("TAPE2");

    // Edit off came three frames late: the tape holds three frames more than were marked.
    keeper.onTape({std::nullopt, {request("00:00:10:00", "00:00:12:00", "00:01:00:00", "00:01:02:00", 0x53)},
                   confirmed(3)});
    // An assemble edit: the list says where it was marked to end, not where it recorded on.
    keeper.onTape({std::nullopt, {request("00:00:20:00", "00:00:21:00", "00:01:02:03", "00:01:03:03", 0x20)},
                   confirmed()});

    ASSERT_EQ(keeper.list().size(), 4u);
    const Event& insert = keeper.list()[2];
    EXPECT_EQ(insert.number, 8) << "numbered after the highest";
    ASSERT_EQ(insert.lines.size(), 1u);
    EXPECT_EQ(insert.lines[0].reel, "TAPE2");
    EXPECT_EQ(insert.lines[0].channels.fieldText(), "AA/V");
    EXPECT_EQ(insert.lines[0].sourceIn, 300);
    EXPECT_EQ(insert.lines[0].sourceOut, 363);
    EXPECT_EQ(insert.lines[0].recordIn, 1800);
    EXPECT_EQ(insert.lines[0].recordOut, 1863);
    EXPECT_FALSE(insert.assemble);
    const Event& assemble = keeper.list()[3];
    EXPECT_TRUE(assemble.assemble);
    EXPECT_EQ(assemble.lines[0].recordIn, 1863);
    EXPECT_EQ(assemble.lines[0].recordOut, 1893);

    ASSERT_TRUE(keeper.flush(std::chrono::seconds(10)));
    EXPECT_EQ(ListFile::load(dir.file("list.edl"), fps30Base).list, keeper.list());
}

TEST(ListKeeper, APerformedEventOfTheListIsAddedAgainWithItsNotesAndTheNextNumber)
{
    TempDir dir;
    Event split = cut("TAPE1", 4, 370, 600, 45);
    split.lines.push_back(cut("TAPE1", 4, 376, 606, 39).lines[0]);
    split.lines[1].channels = Channels::fromInsertBits(0x03);
    split.split = {Split::Delay::Audio, 6};
    split.notes.push_back({Note::Kind::Comment, "* FROM CLIP NAME: INTERVIEW"});
    ListKeeper keeper(listOf({split}), dir.file("list.edl"));
    EventOutcome both = confirmed();
    both.edits.push_back(both.edits[0]);

    keeper.onTape({split, {}, both});

    ASSERT_EQ(keeper.list().size(), 2u);
    Event expected = split;
    expected.number = 5;
    EXPECT_EQ(keeper.list()[1], expected);
}

TEST(ListKeeper, AChangeMeantForAnEventNoLongerWhereTheWindowShowedItIsRefused)
{
    TempDir dir;
    ListKeeper keeper(listOf({cut("TAPE1", 1, 300, 900, 30), cut("TAPE1", 2, 600, 930, 30), cut("TAPE1", 3, 900, 960, 30)}),
                      dir.file("list.edl"));
    const ListKeeper::EventRef second{1, 2};
    keeper.remove(second);
    const EventList afterDelete = keeper.list();

    // The window still showed event 2 in the second row: the second row is now event 3.
    for (const auto& change : std::vector<std::function<void()>>{
             [&] { keeper.trim(second, TrimPoint::RecordOut, 1, Ripple::On); },
             [&] { keeper.remove(second); },
             [&] { keeper.event(second); },
             [&] { keeper.trim({5, 3}, TrimPoint::RecordIn, 1, Ripple::Off); },
         }) {
        try {
            change();
            ADD_FAILURE() << "not refused";
        } catch (const ListError& refused) {
            EXPECT_STREQ(refused.what(), "THE LIST HAS CHANGED: SELECT THE EVENT AGAIN");
        }
    }
    EXPECT_EQ(keeper.list(), afterDelete);
    keeper.trim({1, 3}, TrimPoint::RecordOut, 1, Ripple::Off);
    EXPECT_EQ(keeper.list()[1].recordOut(), 991);
}

TEST(ListKeeper, TheReelOnThePlayerIsNamedHereAndAnotherReelsEventIsNotPerformed)
{
    TempDir dir;
    ListKeeper keeper(EventList(fps30Base), dir.file("list.edl"));
    EXPECT_EQ(keeper.reel(), "001");
    for (const std::string refused : {"", "tape1", "TAPE 1", "TAPE12345", "BL", "AX", "BARS", "T-1"}) {
        EXPECT_THROW(keeper.setReel(refused), ListError) << refused;
        EXPECT_FALSE(ReelName::refusal(refused).empty()) << refused;
    }
    EXPECT_EQ(keeper.reel(), "001");
    keeper.setReel("TAPE1234");
    EXPECT_EQ(keeper.reel(), "TAPE1234");

    EXPECT_EQ(keeper.refusal(cut("TAPE1234", 1, 0, 900, 30)), "");
    EXPECT_EQ(keeper.refusal(cut("tape1234", 1, 0, 900, 30)), "") << "a list read from elsewhere may say it in lower case";
    EXPECT_EQ(keeper.refusal(cut("TAPE9", 1, 0, 900, 30)), "MOUNT REEL TAPE9");
}

TEST(ListKeeper, MarkedPointsGoInAfterTheChosenEventUnrecordedAndNeedAMode)
{
    TempDir dir;
    ListKeeper keeper(listOf({cut("TAPE1", 1, 300, 900, 30), cut("TAPE1", 2, 600, 930, 30)}), dir.file("list.edl"));
    keeper.setReel("TAPE3");

    EXPECT_THROW(keeper.insertMarked(1, request("00:00:10:00", "00:00:11:00", "00:00:40:00", "00:00:41:00", 0)), ListError);
    EXPECT_THROW(keeper.insertMarked(1, request("00:00:10:00", "00:00:11:00", "00:00:40:00", "00:00:42:00", 0x41)),
                 ListError)
        << "edits of different lengths";
    EXPECT_EQ(keeper.list().size(), 2u);

    EXPECT_EQ(keeper.insertMarked(1, request("00:00:10:00", "00:00:11:00", "00:00:40:00", "00:00:41:00", 0x41)), 1u);
    const Event& inserted = keeper.list()[1];
    EXPECT_EQ(inserted.number, 3);
    EXPECT_EQ(inserted.lines[0].reel, "TAPE3");
    EXPECT_EQ(inserted.lines[0].channels.fieldText(), "A");
    EXPECT_EQ(inserted.lines[0].recordIn, 1200);
    EXPECT_TRUE(keeper.undo());
    EXPECT_EQ(keeper.list().size(), 2u);
}

TEST(ListKeeper, AListFileThatIsMissingStartsEmptyAndOneThatCannotBeReadIsRefusedNamingIt)
{
    TempDir dir;
    EXPECT_FALSE(ListKeeper::load(dir.file("none.edl"), fps30Base));

    writeFile(dir.file("dropframe.edl"), "TITLE: DF\nFCM: DROP FRAME\n\n001  TAPE1    V     C        "
                                         "00:00:10:00 00:00:11:00 00:01:00:00 00:01:01:00\n");
    std::filesystem::create_directory(dir.file("folder.edl"));
    for (const std::string name : {"dropframe.edl", "folder.edl"}) {
        try {
            ListKeeper::load(dir.file(name), fps30Base);
            ADD_FAILURE() << name << " was read";
        } catch (const ListError& refused) {
            EXPECT_NE(std::string(refused.what()).find(dir.file(name)), std::string::npos) << refused.what();
        }
    }
}
