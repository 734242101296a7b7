// Writing lists other systems read: the fixed columns of the published examples, and fields
// too wide for their columns written whole, with a warning naming the written line.

#include "eventlist/CmxWriter.h"
#include "tests/eventlist/ListTestSupport.h"

#include <gtest/gtest.h>

#include <array>

namespace {

// The lines of a written list after the header (TITLE, FCM) and the blank before its event.
std::vector<std::string> eventLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return {lines.begin() + 3, lines.end()};
}

EventList oneEventList(const Event& event, TimeBase base = fps30Base)
{
    EventList list(base);
    list.append(event);
    return list;
}

EditLine lineOf(TimeBase labels, const std::string& reel, const std::string& channels,
                const std::array<std::string, 4>& times)
{
    EditLine line;
    line.reel = reel;
    line.channels = *Channels::fromField(channels);
    line.sourceIn = frameOf(labels, times[0]);
    line.sourceOut = frameOf(labels, times[1]);
    line.recordIn = frameOf(labels, times[2]);
    line.recordOut = frameOf(labels, times[3]);
    return line;
}

} // namespace

TEST(CmxWriter, EventLinesStandInTheFixedColumns)
{
    Event cut = cutEvent(fps30Base, 0x50, "TAPE1", "01:00:10:00", "00:59:58:00", 150);
    cut.number = 1;
    EXPECT_EQ(eventLines(CmxWriter::write(oneEventList(cut)).text),
              std::vector<std::string>{"001  TAPE1    V     C        01:00:10:00 01:00:15:00 00:59:58:00 01:00:03:00"});

    const std::array<std::string, 4> outgoing{"01:05:57:17", "01:05:57:17", "01:00:21:20", "01:00:21:20"};
    const std::array<std::string, 4> incoming{"02:15:33:09", "02:15:35:24", "01:00:21:20", "01:00:24:05"};
    Event dissolve;
    dissolve.number = 2;
    dissolve.lines = {lineOf(fps30Base, "TAPE1", "V", outgoing), lineOf(fps30Base, "TAPE2", "V", incoming)};
    dissolve.lines[1].transition = {Transition::Kind::Dissolve, 0, ' ', 30};
    EXPECT_EQ(eventLines(CmxWriter::write(oneEventList(dissolve)).text),
              (std::vector<std::string>{
                  "002  TAPE1    V     C        01:05:57:17 01:05:57:17 01:00:21:20 01:00:21:20",
                  "002  TAPE2    V     D    030 02:15:33:09 02:15:35:24 01:00:21:20 01:00:24:05"}));

    const std::array<std::string, 4> leading{"01:21:05:19", "01:21:06:26", "01:00:51:11", "01:00:52:18"};
    const std::array<std::string, 4> delayed{"01:21:05:25", "01:21:06:26", "01:00:51:17", "01:00:52:18"};
    Event split;
    split.number = 3;
    split.lines = {lineOf(fps30Base, "TAPE1", "V", leading), lineOf(fps30Base, "TAPE1", "A", delayed)};
    split.split = {Split::Delay::Audio, 6};
    EXPECT_EQ(eventLines(CmxWriter::write(oneEventList(split)).text),
              (std::vector<std::string>{
                  "SPLIT:    AUDIO DELAY=  00:00:00:06",
                  "003  TAPE1    V     C        01:21:05:19 01:21:06:26 01:00:51:11 01:00:52:18",
                  "003  TAPE1    A     C        01:21:05:25 01:21:06:26 01:00:51:17 01:00:52:18"}));
}

TEST(CmxWriter, FieldsTooWideAreWrittenWholeAndSaid)
{
    Event wide = cutEvent(fps30Base, 0x53, "TAPE12345", "01:00:10:00", "00:59:58:00", 150);
    wide.number = 1000;
    Event secondLine = cutEvent(fps30Base, 0x53, "LONGREELNAME", "02:00:00:00", "00:59:58:00", 150);
    wide.lines.push_back(secondLine.lines[0]);
    wide.lines[1].transition = {Transition::Kind::Wipe, 2345, ' ', 1200};
    const EventList list = oneEventList(wide);
    const WrittenList written = CmxWriter::write(list);
    EXPECT_EQ(eventLines(written.text),
              (std::vector<std::string>{
                  "1000 TAPE12345 AA/V C        01:00:10:00 01:00:15:00 00:59:58:00 01:00:03:00",
                  "1000 LONGREELNAME AA/V W2345 1200 02:00:00:00 02:00:05:00 00:59:58:00 01:00:03:00"}));
    const std::vector<ListWarning> expected{
        {4, "event number 1000 is past 999; other systems may not read it"},
        {4, "reel TAPE12345 is longer than 8 characters; written whole"},
        {5, "event number 1000 is past 999; other systems may not read it"},
        {5, "reel LONGREELNAME is longer than 8 characters; written whole"},
        {5, "transition of 1200 frames is past 999; other systems may not read it"},
    };
    EXPECT_EQ(written.warnings, expected) << allMessages(written.warnings);
    expectWritesBackUnchanged(list);
}

TEST(CmxWriter, EventsThatWouldReadBackAsOneAreSaid)
{
    EventList list(fps30Base);
    for (const char* reel : {"A", "B"}) {
        Event event = cutEvent(fps30Base, 0x50, reel, "01:00:00:00", "01:00:00:00", 30);
        event.number = 7;
        list.append(event);
    }
    const WrittenList written = CmxWriter::write(list);
    ASSERT_EQ(written.warnings.size(), 1u) << allMessages(written.warnings);
    EXPECT_EQ(written.warnings[0].line, 6);
    EXPECT_NE(written.warnings[0].text.find("renumber"), std::string::npos);
}

TEST(CmxWriter, ReelsOtherSystemsMayRefuseAreSaid)
{
    const Event lower = cutEvent(fps30Base, 0x50, "tape_1", "01:00:00:00", "01:00:00:00", 30);
    const WrittenList written = CmxWriter::write(oneEventList(lower));
    ASSERT_EQ(written.warnings.size(), 1u) << allMessages(written.warnings);
    EXPECT_NE(written.warnings[0].text.find("not upper-case letters and digits"), std::string::npos);
}
