// The list's own operations: events made from Kestrix's edit modes, numbering, trims with
// and without ripple (and what they refuse), and finding what lies on a record frame.

#include "eventlist/EventList.h"
#include "eventlist/ListError.h"
#include "tests/eventlist/ListTestSupport.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

Event editEvent(int number, const std::string& reel, std::uint8_t mode, int sourceIn, int recordIn, int length)
{
    Event event = Event::fromEdit(mode, reel, {sourceIn, sourceIn + length, recordIn, recordIn + length},
                                  FrameCountMode::NonDrop);
    event.number = number;
    return event;
}

// Three events butted on the record tape, on the 30 base.
EventList programme()
{
    EventList list(fps30Base);
    list.append(editEvent(1, "A", 0x50, 5000, 1000, 100));
    list.append(editEvent(2, "B", 0x53, 7000, 1100, 150));
    list.append(editEvent(3, "C", 0x50, 9000, 1250, 50));
    return list;
}

struct Points {
    int sourceIn, sourceOut, recordIn, recordOut;
    bool operator==(const Points&) const = default;
};

Points pointsOf(const EditLine& line)
{
    return {line.sourceIn, line.sourceOut, line.recordIn, line.recordOut};
}

std::ostream& operator<<(std::ostream& out, const Points& p)
{
    return out << "source " << p.sourceIn << "-" << p.sourceOut << " record " << p.recordIn << "-" << p.recordOut;
}

void expectRefused(const std::function<void()>& change, const std::string& words)
{
    try {
        change();
        ADD_FAILURE() << "not refused";
    } catch (const ListError& error) {
        EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
    }
}

} // namespace

TEST(EventModes, EachKestrixModeIsItsChannelsAndBack)
{
    struct Mode {
        std::uint8_t byte;
        const char* channels;
    };
    const std::vector<Mode> modes{{0x50, "V"},  {0x41, "A"},    {0x42, "A2"},   {0x43, "AA"},
                                  {0x51, "B"},  {0x52, "A2/V"}, {0x53, "AA/V"}, {0x20, "AA/V"}};
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.channels);
        EventList list(fps30Base);
        list.insert(0, Event::fromEdit(mode.byte, "TAPE1", {100, 200, 1000, 1100}, FrameCountMode::NonDrop));
        EXPECT_EQ(list[0].lines[0].channels.fieldText(), mode.channels);
        EXPECT_EQ(list[0].assemble, mode.byte == 0x20);
        EXPECT_EQ(list[0].modeByte(), mode.byte);
        // The mode comes back from the list as other systems read it.
        const std::string text = CmxWriter::write(list).text;
        EXPECT_EQ(text.find("* EDIT MODE: ASSEMBLE") != std::string::npos, mode.byte == 0x20) << text;
        EXPECT_EQ(CmxReader::read(text, fps30Base).list[0].modeByte(), mode.byte);
    }
}

TEST(EventModes, ModesThatRecordNothingAndEditsOfTwoLengthsAreRefused)
{
    for (std::uint8_t mode : {0x00, 0x40, 0x60, 0x30, 0x44, 0x80, 0x73, 0x10}) {
        SCOPED_TRACE(static_cast<int>(mode));
        expectRefused([mode] { Event::fromEdit(mode, "TAPE1", {100, 200, 1000, 1100}, FrameCountMode::NonDrop); },
                      "records nothing");
    }
    expectRefused([] { Event::fromEdit(0x50, "TAPE1", {100, 200, 1000, 1101}, FrameCountMode::NonDrop); },
                  "the same length");
}

TEST(EventListNumbers, NewEventsAreNumberedNextAndRenumberingFollowsListOrder)
{
    EventList list(fps30Base);
    for (int number : {3, 9, 4})
        list.append(editEvent(number, "A", 0x50, 100, 1000 + 100 * number, 50));
    EXPECT_EQ(list.insert(1, editEvent(0, "NEW", 0x41, 300, 3000, 30)), 10);
    EXPECT_EQ(list[1].lines[0].reel, "NEW");
    EXPECT_EQ(list[1].number, 10);
    list.remove(2);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[2].number, 4);
    list.renumber();
    for (std::size_t index = 0; index < list.size(); ++index)
        EXPECT_EQ(list[index].number, static_cast<int>(index) + 1);
    EXPECT_EQ(list[1].lines[0].reel, "NEW");
}

TEST(EventListNumbers, BrokenEventsAndPlacesThatDoNotExistAreRefused)
{
    EventList list = programme();
    const EventList before = list;
    // Both edits of the same (negative) length: the mode is fine, the event is not.
    const Event backwards = Event::fromEdit(0x50, "A", {200, 150, 1200, 1150}, FrameCountMode::NonDrop);
    expectRefused([&] { list.insert(0, backwards); }, "source out before source in");
    expectRefused([&] { list.insert(4, editEvent(0, "A", 0x50, 1, 1, 1)); }, "no place 5");
    expectRefused([&] { list.remove(3); }, "no event at position 4");
    Event dropFrame = editEvent(0, "A", 0x50, 1, 1, 1);
    dropFrame.frameCount = FrameCountMode::DropFrame;
    expectRefused([&] { list.insert(0, dropFrame); }, "does not count them");
    EXPECT_TRUE(list == before);
}

TEST(EventListTrim, EachPointWithAndWithoutRipple)
{
    struct Trim {
        TrimPoint point;
        int frames;
        Points second;
        int rippledThirdIn; // the third event's record in with ripple on
    };
    // The second event: source 7000-7150 on record 1100-1250; the third starts at 1250.
    const std::vector<Trim> trims{
        {TrimPoint::RecordIn, 10, {7000, 7140, 1110, 1250}, 1250},
        {TrimPoint::RecordIn, -1, {7000, 7151, 1099, 1250}, 1250},
        {TrimPoint::RecordOut, 10, {7000, 7160, 1100, 1260}, 1260},
        {TrimPoint::RecordOut, -1, {7000, 7149, 1100, 1249}, 1249},
        {TrimPoint::SourceIn, 10, {7010, 7150, 1100, 1240}, 1240},
        {TrimPoint::SourceIn, -1, {6999, 7150, 1100, 1251}, 1251},
        {TrimPoint::SourceOut, 10, {7000, 7160, 1100, 1260}, 1260},
        {TrimPoint::SourceOut, -10, {7000, 7140, 1100, 1240}, 1240},
    };
    for (const Trim& trim : trims) {
        for (Ripple ripple : {Ripple::Off, Ripple::On}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(trim.point)) + " by " + std::to_string(trim.frames)
                         + (ripple == Ripple::On ? " ripple" : ""));
            EventList list = programme();
            const EventList before = list;
            list.trim(1, trim.point, trim.frames, ripple);
            EXPECT_EQ(pointsOf(list[1].lines[0]), trim.second);
            EXPECT_TRUE(list[0] == before[0]) << "an earlier event never moves";
            const int thirdIn = ripple == Ripple::On ? trim.rippledThirdIn : 1250;
            const int moved = thirdIn - 1250;
            EXPECT_EQ(pointsOf(list[2].lines[0]), (Points{9000, 9050, 1250 + moved, 1300 + moved}))
                << "ripple moves the record times only, by as much as the trimmed event's end";
        }
    }
}

TEST(EventListTrim, RippleMovesWhatFollowsOnTheTapeWhateverItsPlaceInTheList)
{
    EventList list(fps30Base);
    list.append(editEvent(1, "LATER", 0x50, 100, 2000, 50));   // listed first, later on the tape
    list.append(editEvent(2, "TRIMMED", 0x50, 200, 1000, 100));
    list.append(editEvent(3, "EARLIER", 0x50, 300, 500, 100)); // listed last, earlier on the tape
    list.append(editEvent(4, "OVER", 0x41, 400, 1050, 20));    // inside the trimmed event
    list.trim(1, TrimPoint::RecordOut, 5, Ripple::On);
    EXPECT_EQ(list[0].lines[0].recordIn, 2005);
    EXPECT_EQ(list[2].lines[0].recordIn, 500);
    EXPECT_EQ(list[3].lines[0].recordIn, 1050);
}

TEST(EventListTrim, TrimsThatWouldBreakAnEventChangeNothing)
{
    EventList list = programme();
    const EventList before = list;
    expectRefused([&] { list.trim(1, TrimPoint::RecordIn, 151, Ripple::Off); },
                  "cannot trim event 2's record in by +151: it would end before it starts");
    expectRefused([&] { list.trim(1, TrimPoint::SourceIn, -7001, Ripple::Off); }, "source in outside the day");
    expectRefused([&] { list.trim(1, TrimPoint::RecordOut, INT_MAX, Ripple::On); }, "more than a day");
    expectRefused([&] { list.trim(1, TrimPoint::SourceOut, INT_MIN, Ripple::On); }, "more than a day");
    expectRefused([&] { list.trim(3, TrimPoint::SourceOut, 1, Ripple::On); }, "no event at position 4");

    // Rippling a later event past the end of the day refuses the whole trim.
    const int day = fps30Base.framesPerDay();
    list.append(editEvent(4, "END", 0x50, 100, day - 20, 15));
    const EventList withEnd = list;
    expectRefused([&] { list.trim(1, TrimPoint::RecordOut, 10, Ripple::On); },
                  "rippling event 4: line 1: record out past the end of the day");
    EXPECT_TRUE(list == withEnd);
    list.trim(1, TrimPoint::RecordOut, 10, Ripple::Off);
    EXPECT_EQ(list[1].lines[0].recordOut, 1260);
}

TEST(EventListTrim, SplitEventsKeepTheirDelayAndDissolvesTheirStart)
{
    EventList list(fps30Base);
    Event split;
    split.number = 1;
    split.split = {Split::Delay::Audio, 6};
    split.lines = {editEvent(0, "A", 0x50, 5000, 100, 100).lines[0], editEvent(0, "A", 0x41, 5006, 106, 94).lines[0]};
    list.append(split);
    Event dissolve;
    dissolve.number = 2;
    dissolve.lines = {editEvent(0, "A", 0x50, 5100, 200, 0).lines[0], editEvent(0, "B", 0x50, 8000, 200, 60).lines[0]};
    dissolve.lines[1].transition = {Transition::Kind::Dissolve, 0, ' ', 30};
    list.append(dissolve);

    list.trim(0, TrimPoint::RecordIn, 3, Ripple::Off);
    EXPECT_EQ(pointsOf(list[0].lines[0]), (Points{5000, 5097, 103, 200}));
    EXPECT_EQ(pointsOf(list[0].lines[1]), (Points{5006, 5097, 109, 200}));
    expectRefused([&] { list.trim(0, TrimPoint::RecordIn, 95, Ripple::Off); }, "it would end before it starts");

    list.trim(1, TrimPoint::RecordIn, 5, Ripple::Off);
    EXPECT_EQ(pointsOf(list[1].lines[0]), (Points{5105, 5105, 205, 205})) << "the outgoing source moves with the start";
    EXPECT_EQ(pointsOf(list[1].lines[1]), (Points{8000, 8055, 205, 260}));
    list.trim(1, TrimPoint::RecordOut, 5, Ripple::Off);
    EXPECT_EQ(pointsOf(list[1].lines[0]), (Points{5105, 5105, 205, 205})) << "and stays for an out trim";
    EXPECT_EQ(pointsOf(list[1].lines[1]), (Points{8000, 8060, 205, 265}));
}

TEST(EventListMatchFrame, TheEventOnTheTapeAndItsSourceFrame)
{
    EventList list = programme();
    struct Case {
        int recordFrame;
        std::optional<std::size_t> index;
        std::string reel;
        int sourceFrame;
    };
    const std::vector<Case> cases{
        {999, std::nullopt, "", 0},
        {1000, 0, "A", 5000},
        {1099, 0, "A", 5099},
        {1100, 1, "B", 7000}, // an out point is the next event's first frame
        {1299, 2, "C", 9049},
        {1300, std::nullopt, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.recordFrame);
        const auto hit = list.atRecordFrame(c.recordFrame);
        ASSERT_EQ(hit.has_value(), c.index.has_value());
        if (!hit)
            continue;
        EXPECT_EQ(hit->index, *c.index);
        EXPECT_EQ(hit->reel, c.reel);
        EXPECT_EQ(hit->sourceFrame, c.sourceFrame);
        EXPECT_EQ(hit->sourceLabel, fps30Base.labelOf(c.sourceFrame));
    }

    // A later edit over an earlier one is what the tape holds.
    list.append(editEvent(4, "OVER", 0x50, 400, 1200, 10));
    EXPECT_EQ(list.atRecordFrame(1205)->reel, "OVER");
    EXPECT_EQ(list.atRecordFrame(1205)->sourceFrame, 405);
    EXPECT_EQ(list.atRecordFrame(1210)->reel, "B");

    // In a split, the picture's line is matched where both lines record.
    Event split;
    split.number = 5;
    split.split = {Split::Delay::Video, 10};
    split.lines = {editEvent(0, "S", 0x43, 600, 3000, 100).lines[0], editEvent(0, "S", 0x50, 610, 3010, 90).lines[0]};
    list.append(split);
    EXPECT_EQ(list.atRecordFrame(3005)->line, 0u);
    EXPECT_EQ(list.atRecordFrame(3050)->line, 1u);
    EXPECT_EQ(list.atRecordFrame(3050)->sourceFrame, 650);
}

TEST(EventListMatchFrame, LabelsToCueToAreInTheEventsOwnCounting)
{
    // The golden programme counts drop frame, with five events counted non-drop.
    const EventList list = CmxReader::read(dataFile("programme.edl"), dropFrameBase).list;
    const auto dropFrame = list.atRecordFrame(frameOf(dropFrameBase, "01:00:12:00") + 10);
    ASSERT_TRUE(dropFrame.has_value());
    EXPECT_EQ(dropFrame->index, 2u);
    EXPECT_EQ(dropFrame->sourceLabel, "01:02:10:14");

    const TimeBase nonDrop{TimeBase::Kind::Fps2997};
    const auto counted = list.atRecordFrame(frameOf(nonDrop, "01:03:02:00") + 45);
    ASSERT_TRUE(counted.has_value());
    EXPECT_EQ(counted->index, 20u);
    EXPECT_EQ(counted->reel, "NDTAPE2");
    EXPECT_EQ(counted->sourceLabel, "10:21:01:15");
}
