// The golden lists: programme.edl holds every construct the list knows (drop frame with both
// separators, an FCM change and back, an assemble edit, a dissolve, a wipe, a key, splits of
// both kinds, audio 3 and 4, clip names, statements not performed) in Kestrix's normal form;
// received.edl is the same programme as another system sends it (CRLF, lower case, '.' and ','
// separators, tabs, stray blanks and blank lines).

#include "eventlist/CmxReader.h"
#include "eventlist/CmxWriter.h"
#include "tests/eventlist/ListTestSupport.h"

#include <gtest/gtest.h>

namespace {

const TimeBase nonDropLabels{TimeBase::Kind::Fps2997};

ReadList readGolden(const std::string& name)
{
    return CmxReader::read(dataFile(name), dropFrameBase);
}

// Whether a warning names this line and says this.
bool warned(const std::vector<ListWarning>& warnings, int line, const std::string& words)
{
    for (const ListWarning& warning : warnings) {
        if (warning.line == line && warning.text.find(words) != std::string::npos)
            return true;
    }
    return false;
}

} // namespace

TEST(GoldenList, ReadAndWrittenBackByteForByte)
{
    const std::string golden = dataFile("programme.edl");
    const ReadList read = CmxReader::read(golden, dropFrameBase);
    ASSERT_EQ(read.list.size(), 30u);
    // Only the two statements Kestrix keeps but does not perform are worth a word.
    EXPECT_EQ(read.warnings.size(), 2u) << allMessages(read.warnings);
    EXPECT_TRUE(warned(read.warnings, 36, "M2"));
    EXPECT_TRUE(warned(read.warnings, 43, "GPI"));

    const WrittenList written = CmxWriter::write(read.list);
    EXPECT_EQ(written.text, golden);
    EXPECT_TRUE(written.warnings.empty()) << allMessages(written.warnings);
    EXPECT_TRUE(CmxReader::read(written.text, dropFrameBase).list == read.list);
}

TEST(GoldenList, EventsHoldWhatTheLinesSay)
{
    const EventList list = readGolden("programme.edl").list;
    EXPECT_EQ(list.title(), "KESTRIX GOLDEN PROGRAMME");
    EXPECT_EQ(list.frameCountMode(), FrameCountMode::DropFrame);
    ASSERT_EQ(list.headerNotes().size(), 1u);

    const Event& assemble = list[1];
    EXPECT_TRUE(assemble.assemble);
    EXPECT_EQ(assemble.modeByte(), 0x20);
    ASSERT_EQ(assemble.notes.size(), 1u) << "the assemble mark is not a note of its own";
    EXPECT_EQ(assemble.notes[0].text, "* FROM CLIP NAME: OPENING TITLES");

    const Event& semicolons = list[2];
    EXPECT_TRUE(semicolons.semicolonFrames);
    EXPECT_EQ(semicolons.lines[0].recordIn, frameOf(dropFrameBase, "01:00:12:00"));
    EXPECT_EQ(semicolons.lines[0].recordLength(), 157);
    EXPECT_EQ(semicolons.modeByte(), 0x50);

    const Event& dissolve = list[3];
    ASSERT_EQ(dissolve.lines.size(), 2u);
    EXPECT_TRUE(dissolve.isTransitionFrom(0));
    EXPECT_EQ(dissolve.lines[1].transition.kind, Transition::Kind::Dissolve);
    EXPECT_EQ(dissolve.lines[1].transition.duration, 30);
    EXPECT_EQ(dissolve.lines[1].reel, "TAPE2");

    const Event& audioDelay = list[4];
    EXPECT_EQ(audioDelay.split.delay, Split::Delay::Audio);
    EXPECT_EQ(audioDelay.split.frames, 6);
    EXPECT_EQ(audioDelay.lines[1].recordIn - audioDelay.lines[0].recordIn, 6);
    EXPECT_EQ(audioDelay.lines[1].sourceIn - audioDelay.lines[0].sourceIn, 6);
    EXPECT_EQ(audioDelay.modeByte(), 0x51) << "video leads, audio 1 follows: both together";

    const Event& videoDelay = list[5];
    EXPECT_EQ(videoDelay.split.delay, Split::Delay::Video);
    EXPECT_EQ(videoDelay.lines[1].recordIn - videoDelay.lines[0].recordIn, 10)
        << "the delayed video's source crosses a dropping minute: 03:00:59;20 + 10 is 03:01:00;02";

    EXPECT_EQ(list[6].lines[1].transition.fieldText(), "W001");
    EXPECT_TRUE(list[7].lines[0].channels.audio3 && list[7].lines[0].channels.audio4);
    EXPECT_EQ(list[7].modeByte(), std::nullopt) << "no Kestrix mode records audio 3 and 4";
    ASSERT_EQ(list[8].notes.size(), 2u);
    EXPECT_EQ(list[8].notes[0].kind, Note::Kind::NotPerformed);
    EXPECT_EQ(list[9].lines[0].transition.keyLayer, 'B');

    const Event& nonDrop = list[19];
    EXPECT_EQ(nonDrop.frameCount, FrameCountMode::NonDrop);
    EXPECT_EQ(nonDrop.lines[0].recordIn, frameOf(nonDropLabels, "01:03:00:00"));
    const Event& dropAgain = list[24];
    EXPECT_EQ(dropAgain.frameCount, FrameCountMode::DropFrame);
    EXPECT_EQ(dropAgain.lines[0].recordIn, frameOf(dropFrameBase, "01:04:00:02"));
}

TEST(GoldenList, AListFromAnotherSystemReadsAsTheSameProgramme)
{
    const ReadList received = readGolden("received.edl");
    EXPECT_TRUE(received.list == readGolden("programme.edl").list);
    EXPECT_EQ(CmxWriter::write(received.list).text, dataFile("programme.edl"));
    // CRLF, lower case, other separators on drop frame, stray blanks: nothing to say. Tabs,
    // and the statements not performed, are said with their lines.
    EXPECT_EQ(received.warnings.size(), 3u) << allMessages(received.warnings);
    EXPECT_TRUE(warned(received.warnings, 36, "M2"));
    EXPECT_TRUE(warned(received.warnings, 43, "GPI"));
    EXPECT_TRUE(warned(received.warnings, 45, "tabs"));
}
