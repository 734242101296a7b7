// Reading lists as they arrive: each oddity that may change what a list means is said with its
// line number and nothing is dropped; harmless ones pass without a word; lists whose time codes
// would all be read wrong on the configured time base are refused.

#include "eventlist/CmxReader.h"
#include "eventlist/ListError.h"
#include "tests/eventlist/ListTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const std::string ndfHeader = "TITLE: T\nFCM: NON-DROP FRAME\n";
const std::string dfHeader = "TITLE: T\nFCM: DROP FRAME\n";
const std::string oneSecond = "01:00:00:00 01:00:01:00 01:00:00:00 01:00:01:00";

struct Expected {
    int line;
    std::string words;
};

struct Oddity {
    std::string name;
    TimeBase base;
    std::string text;
    std::vector<Expected> warnings;
    std::function<void(const EventList&)> check;
};

void expectWarnings(const std::vector<ListWarning>& warnings, const std::vector<Expected>& expected)
{
    ASSERT_EQ(warnings.size(), expected.size()) << allMessages(warnings);
    for (std::size_t index = 0; index < expected.size(); ++index) {
        EXPECT_EQ(warnings[index].line, expected[index].line) << warnings[index].message();
        EXPECT_NE(warnings[index].text.find(expected[index].words), std::string::npos)
            << warnings[index].message() << "\nexpected: " << expected[index].words;
    }
}

// The notes of the last event, or of the list when it has none.
const std::vector<Note>& lastNotes(const EventList& list)
{
    return list.empty() ? list.headerNotes() : list[list.size() - 1].notes;
}

void expectKeptNotPerformed(const EventList& list, const std::string& text)
{
    const auto& notes = lastNotes(list);
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.back().kind, Note::Kind::NotPerformed);
    EXPECT_EQ(notes.back().text, text);
}

std::vector<Oddity> oddities()
{
    const int ndfHour = frameOf(ntscBase, "01:00:00:00");
    return {
        {"tabs between fields", ntscBase, ndfHeader + "001\tTAPE1\tV\tC\t" + oneSecond + "\n", {{3, "tabs"}},
         [](const EventList& list) { EXPECT_EQ(list.size(), 1u); }},
        {"semicolon on non-drop", ntscBase,
         ndfHeader + "001  TAPE1 V C 01:00:00;00 01:00:01;00 01:00:00;00 01:00:01;00\n", {{3, "NON-DROP"}},
         [ndfHour](const EventList& list) {
             EXPECT_EQ(list[0].lines[0].recordIn, ndfHour) << "read as the FCM says, not as the separator says";
             EXPECT_FALSE(list[0].semicolonFrames);
         }},
        {"skipped drop-frame label", dropFrameBase,
         dfHeader + "001  TAPE1 V C 01:01:00;00 01:01:01;02 01:01:00;02 01:01:01;02\n", {{3, "skips"}},
         [](const EventList& list) {
             EXPECT_EQ(list[0].lines[0].sourceIn, frameOf(dropFrameBase, "01:01:00:02"));
         }},
        {"event number past 999", ntscBase, ndfHeader + "1000 TAPE1 V C " + oneSecond + "\n", {{3, "past 999"}},
         [](const EventList& list) { EXPECT_EQ(list[0].number, 1000); }},
        {"reel of nine characters", ntscBase, ndfHeader + "001  TAPE12345 V C " + oneSecond + "\n",
         {{3, "longer than 8"}}, [](const EventList& list) { EXPECT_EQ(list[0].lines[0].reel, "TAPE12345"); }},
        {"source and record lengths differ", ntscBase,
         ndfHeader + "001  TAPE1 V C 01:00:00:00 01:00:01:00 01:00:00:00 01:00:01:01\n",
         {{3, "source runs 30 frames and the record 31"}},
         [](const EventList& list) { EXPECT_EQ(list[0].lines[0].recordLength(), 31); }},
        {"cut with a duration", ntscBase, ndfHeader + "001  TAPE1 V C 030 " + oneSecond + "\n",
         {{3, "a cut takes no duration; 030"}},
         [](const EventList& list) { EXPECT_EQ(list[0].lines[0].transition.duration, 0); }},
        {"dissolve without a duration", ntscBase,
         ndfHeader + "001  TAPE1 V C 01:00:00:00 01:00:00:00 01:00:00:00 01:00:00:00\n001  TAPE2 V D " + oneSecond
             + "\n",
         {{4, "without a duration"}},
         [](const EventList& list) { EXPECT_EQ(list[0].lines[1].transition.kind, Transition::Kind::Dissolve); }},
        {"third line of an event", ntscBase,
         ndfHeader + "001  A V C " + oneSecond + "\n001  B A C " + oneSecond + "\n001  C A2 C " + oneSecond + "\n",
         {{5, "third line of event 1"}},
         [](const EventList& list) {
             ASSERT_EQ(list.size(), 2u);
             EXPECT_EQ(list[1].lines[0].reel, "C");
         }},
        {"frame-count mode changed between an event's lines", dropFrameBase,
         dfHeader + "001  A V C 01:00:00;00 01:00:00;00 01:00:00;00 01:00:00;00\nFCM: NON-DROP FRAME\n"
             + "001  B V D 030 01:00:01:00 01:00:02:00 01:00:00:00 01:00:01:00\n002  C V C " + oneSecond + "\n",
         {{5, "changed between the lines of event 1"}},
         [](const EventList& list) {
             ASSERT_EQ(list.size(), 2u);
             EXPECT_EQ(list[0].lines[1].recordIn, frameOf(dropFrameBase, "01:00:00:00"));
             EXPECT_EQ(list[1].frameCount, FrameCountMode::NonDrop);
         }},
        {"split before an event of one line", ntscBase,
         ndfHeader + "SPLIT:    AUDIO DELAY=  00:00:00:06\n001  A V C " + oneSecond + "\n", {{3, "one line"}},
         [](const EventList& list) { EXPECT_EQ(list[0].split.frames, 6); }},
        {"split whose delay disagrees with its lines", ntscBase,
         ndfHeader + "SPLIT:    AUDIO DELAY=  00:00:00:06\n001  A V C " + oneSecond
             + "\n001  A A C 01:00:00:05 01:00:01:00 01:00:00:05 01:00:01:00\n",
         {{3, "delays 6 frames, but event 1's second line starts 5"}},
         [](const EventList& list) { EXPECT_EQ(list[0].lines.size(), 2u); }},
        {"split followed by another split", ntscBase,
         ndfHeader + "SPLIT: AUDIO DELAY= 00:00:00:06\nSPLIT: VIDEO DELAY= 00:00:00:04\n001  A AA C " + oneSecond
             + "\n001  A V C 01:00:00:04 01:00:01:00 01:00:00:04 01:00:01:00\n",
         {{3, "followed by another"}},
         [](const EventList& list) {
             EXPECT_EQ(list[0].split.delay, Split::Delay::Video);
             ASSERT_EQ(list.headerNotes().size(), 1u);
             EXPECT_EQ(list.headerNotes()[0].text, "SPLIT: AUDIO DELAY= 00:00:00:06");
         }},
        {"splits no event takes keep their places among the notes", ntscBase,
         ndfHeader + "001  A V C " + oneSecond
             + "\nSPLIT: AUDIO DELAY= 00:00:00:06\nGPI 1\nSPLIT: VIDEO DELAY= 00:00:00:04\n",
         {{4, "followed by another"}, {5, "GPI"}, {6, "no event after it"}},
         [](const EventList& list) {
             const auto& notes = list[0].notes;
             ASSERT_EQ(notes.size(), 3u);
             EXPECT_EQ(notes[0].text, "SPLIT: AUDIO DELAY= 00:00:00:06");
             EXPECT_EQ(notes[1].text, "GPI 1");
             EXPECT_EQ(notes[2].text, "SPLIT: VIDEO DELAY= 00:00:00:04");
         }},
        {"split at the end of the list", ntscBase,
         ndfHeader + "001  A V C " + oneSecond + "\nSPLIT:    AUDIO DELAY=  00:00:00:06\n",
         {{4, "no event after it"}},
         [](const EventList& list) { expectKeptNotPerformed(list, "SPLIT:    AUDIO DELAY=  00:00:00:06"); }},
        {"no FCM before the first event", dropFrameBase, "TITLE: T\n001  A V C " + oneSecond + "\n",
         {{2, "read as DROP FRAME"}},
         [](const EventList& list) { EXPECT_EQ(list[0].frameCount, FrameCountMode::DropFrame); }},
        {"title past 70 characters", ntscBase, "TITLE: " + std::string(71, 'X') + "\nFCM: NON-DROP FRAME\n",
         {{1, "longer than 70"}}, [](const EventList& list) { EXPECT_EQ(list.title().size(), 71u); }},
        {"statement not known", ntscBase, ndfHeader + "001  A V C " + oneSecond + "\nEFFECTS NAME IS CROSS DISSOLVE\n",
         {{4, "does not know"}},
         [](const EventList& list) { expectKeptNotPerformed(list, "EFFECTS NAME IS CROSS DISSOLVE"); }},
        {"motion memory", ntscBase, ndfHeader + "001  A V C " + oneSecond + "\nM2   A       050.0   01:00:00:00\n",
         {{4, "M2 (motion memory)"}},
         [](const EventList& list) { expectKeptNotPerformed(list, "M2   A       050.0   01:00:00:00"); }},
        {"channels not known", ntscBase, ndfHeader + "001  A VV C " + oneSecond + "\n", {{3, "channels VV not known"}},
         [](const EventList& list) {
             EXPECT_TRUE(list.empty());
             expectKeptNotPerformed(list, "001  A VV C " + oneSecond);
         }},
        {"out before in", ntscBase, ndfHeader + "001  A V C 01:00:05:00 01:00:01:00 01:00:00:00 01:00:01:00\n",
         {{3, "source out before source in"}}, [](const EventList& list) { EXPECT_TRUE(list.empty()); }},
        {"audio 3 and 4 before any event", ntscBase, ndfHeader + "AUD 3 4\n", {{3, "before any event"}},
         [](const EventList& list) { expectKeptNotPerformed(list, "AUD 3 4"); }},
        {"audio channel that does not exist", ntscBase, ndfHeader + "001  A V C " + oneSecond + "\nAUD 5\n",
         {{4, "other than 3 and 4"}}, [](const EventList& list) { expectKeptNotPerformed(list, "AUD 5"); }},
        {"assemble mark on a video insert", ntscBase,
         ndfHeader + "001  A V C " + oneSecond + "\n* EDIT MODE: ASSEMBLE\n", {{4, "does not follow"}},
         [](const EventList& list) {
             EXPECT_FALSE(list[0].assemble);
             EXPECT_EQ(list[0].modeByte(), 0x50);
             ASSERT_EQ(list[0].notes.size(), 1u);
         }},
        {"frame-count mode not known", ntscBase, "TITLE: T\nFCM: 24 FPS\n", {{2, "not a frame-count mode"}},
         [](const EventList& list) { expectKeptNotPerformed(list, "FCM: 24 FPS"); }},
        {"second title", ntscBase, ndfHeader + "TITLE: OTHER\n", {{3, "TITLE: after"}},
         [](const EventList& list) {
             EXPECT_EQ(list.title(), "T");
             expectKeptNotPerformed(list, "TITLE: OTHER");
         }},
        {"split delay not read", ntscBase, ndfHeader + "SPLIT: AUDIO DELAY= SOON\n", {{3, "not a delay"}},
         [](const EventList& list) { expectKeptNotPerformed(list, "SPLIT: AUDIO DELAY= SOON"); }},
    };
}

} // namespace

TEST(CmxReader, EachOddityIsSaidWithItsLineAndNothingIsDropped)
{
    for (const Oddity& oddity : oddities()) {
        SCOPED_TRACE(oddity.name);
        const ReadList read = CmxReader::read(oddity.text, oddity.base);
        expectWarnings(read.warnings, oddity.warnings);
        oddity.check(read.list);
        expectWritesBackUnchanged(read.list);
    }
}

TEST(CmxReader, HarmlessVariationsReadAsTheCleanListWithoutAWord)
{
    const std::string clean = "TITLE: QUIET\n"
                              "FCM: DROP FRAME\n"
                              "\n"
                              "001  TAPE1    AA/V  C        01:00:00;02 01:00:10;00 01:00:00;02 01:00:10;00\n"
                              "* FROM CLIP NAME: A\n"
                              "\n"
                              "002  TAPE1    V     C        01:10:00;00 01:10:00;00 01:00:10;00 01:00:10;00\n"
                              "002  TAPE2    V     D    015 02:00:00;00 02:00:01;00 01:00:10;00 01:00:11;00\n";
    const ReadList expected = CmxReader::read(clean, dropFrameBase);
    ASSERT_TRUE(expected.warnings.empty()) << allMessages(expected.warnings);

    const std::vector<std::pair<std::string, std::string>> variants{
        {"CRLF line ends", "TITLE: QUIET\r\nFCM: DROP FRAME\r\n\r\n"
                           "001  TAPE1    AA/V  C        01:00:00;02 01:00:10;00 01:00:00;02 01:00:10;00\r\n"
                           "* FROM CLIP NAME: A\r\n"
                           "002  TAPE1    V     C        01:10:00;00 01:10:00;00 01:00:10;00 01:00:10;00\r\n"
                           "002  TAPE2    V     D    015 02:00:00;00 02:00:01;00 01:00:10;00 01:00:11;00"},
        {"CR line ends", "TITLE: QUIET\rFCM: DROP FRAME\r"
                         "001  TAPE1    AA/V  C        01:00:00;02 01:00:10;00 01:00:00;02 01:00:10;00\r"
                         "* FROM CLIP NAME: A\r"
                         "002  TAPE1    V     C        01:10:00;00 01:10:00;00 01:00:10;00 01:00:10;00\r"
                         "002  TAPE2    V     D    015 02:00:00;00 02:00:01;00 01:00:10;00 01:00:11;00\r"},
        {"lower case, other separators, stray blanks",
         "  title:   QUIET   \n\n\nfcm:   drop   frame  \n"
         "001 TAPE1 aa/v c 01:00:00.02 01:00:10.00 01:00:00.02 01:00:10.00   \n"
         "    * FROM CLIP NAME: A\n   \n"
         "002 TAPE1 v c 01:10:00,00 01:10:00,00 01:00:10,00 01:00:10,00\n\n"
         "002   TAPE2   v   d   015   02:00:00;00 02:00:01;00 01:00:10;00 01:00:11;00\n\n"},
    };
    for (const auto& [name, text] : variants) {
        SCOPED_TRACE(name);
        const ReadList read = CmxReader::read(text, dropFrameBase);
        EXPECT_TRUE(read.warnings.empty()) << allMessages(read.warnings);
        EXPECT_TRUE(read.list == expected.list) << CmxWriter::write(read.list).text;
    }
}

TEST(CmxReader, ListsWhoseTimeCodesDoNotFitTheTimeBaseAreRefused)
{
    struct Refusal {
        std::string name;
        TimeBase base;
        std::string text;
        std::string words;
    };
    const std::vector<Refusal> refusals{
        {"drop frame at 30", fps30Base, dfHeader, "line 2: the list counts DROP FRAME and the time base 30 does not"},
        {"drop frame at 29.97 without drop", ntscBase, dfHeader, "it needs the time base 29.97DF"},
        {"drop frame at 25", palBase, dfHeader, "time base 25 does not"},
        {"drop frame after events", ntscBase, ndfHeader + "001  A V C " + oneSecond + "\nFCM: DROP FRAME\n", "line 4"},
        {"frames past 24 at 25", palBase, ndfHeader + "001  A V C 01:00:00:00 01:00:00:27 01:00:00:00 01:00:00:27\n",
         "line 3: time code 01:00:00:27 counts past 24 frames; the list does not fit the time base 25"},
        {"a split's frames past 24 at 25", palBase, ndfHeader + "SPLIT: AUDIO DELAY= 00:00:00:26\n", "line 3"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.name);
        try {
            CmxReader::read(refusal.text, refusal.base);
            ADD_FAILURE() << "read";
        } catch (const ListError& error) {
            EXPECT_NE(std::string(error.what()).find(refusal.words), std::string::npos) << error.what();
        }
    }
}

TEST(CmxReader, ListsThatFitTheirTimeBaseAreTaken)
{
    const ReadList pal =
        CmxReader::read(ndfHeader + "001  A V C 01:00:00:00 01:00:00:24 01:00:00:00 01:00:00:24\n", palBase);
    EXPECT_EQ(pal.list[0].lines[0].recordLength(), 24);
    EXPECT_TRUE(pal.warnings.empty()) << allMessages(pal.warnings);

    // The drop-frame base reads non-drop events as well: the 29.97 rate carries either.
    const ReadList mixed = CmxReader::read(ndfHeader + "001  A V C " + oneSecond + "\n", dropFrameBase);
    EXPECT_EQ(mixed.list.frameCountMode(), FrameCountMode::NonDrop);
    EXPECT_EQ(mixed.list[0].lines[0].recordIn, 108000);
}

TEST(CmxReader, AThousandEventsAreAllKeptWithWarnings)
{
    std::string text = ndfHeader;
    for (int number = 1; number <= 1000; ++number) {
        const int minute = number % 3600 / 60;
        const int second = number % 60;
        char line[160];
        std::snprintf(line, sizeof line,
                      "%03d  R%d V C 02:%02d:%02d:00 02:%02d:%02d:10 01:%02d:%02d:00 01:%02d:%02d:10\n", number,
                      number % 7, minute, second, minute, second, minute, second, minute, second);
        text += line;
    }
    const ReadList read = CmxReader::read(text, ntscBase);
    ASSERT_EQ(read.list.size(), 1000u);
    EXPECT_EQ(read.list[999].number, 1000);
    const int lastLine = 2 + 1000;
    expectWarnings(read.warnings, {{lastLine, "past 999"}, {lastLine, "more than 999 events"}});

    const WrittenList written = CmxWriter::write(read.list);
    EXPECT_NE(written.text.find("\n1000 R6       V     C        02:16:40:00"), std::string::npos);
    EXPECT_FALSE(written.warnings.empty()) << "writing a list other systems may refuse says so too";
    EXPECT_TRUE(CmxReader::read(written.text, ntscBase).list == read.list);
}

TEST(CmxReader, AnOutAtMidnightEndsTheDay)
{
    const ReadList read = CmxReader::read(ndfHeader + "001  A V C 23:59:50:00 00:00:00:00 23:59:50:00 00:00:00:00\n",
                                          fps30Base);
    EXPECT_TRUE(read.warnings.empty()) << allMessages(read.warnings);
    ASSERT_EQ(read.list.size(), 1u);
    EXPECT_EQ(read.list[0].lines[0].recordOut, fps30Base.framesPerDay());
    EXPECT_EQ(read.list[0].lines[0].recordLength(), 300);
    expectWritesBackUnchanged(read.list);
}
