// The journal beside a list: what it holds reads back after the program ends, an event that
// changed is not taken for the one on tape, a file it cannot read whole costs the lines it
// cannot read and nothing else, and a failed write leaves it as it was.

#include "assembly/AssemblyJournal.h"
#include "tests/assembly/AssemblyTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <system_error>

using namespace assemblytest;

namespace {

const char* const events = "001  A        V     C        00:10:00:00 00:10:01:00 00:00:10:00 00:00:11:00\n"
                           "SPLIT:    AUDIO DELAY=  00:00:00:06\n"
                           "002  A        V     C        00:10:05:00 00:10:06:00 00:00:11:00 00:00:12:00\n"
                           "002  A        AA    C        00:10:05:06 00:10:06:00 00:00:11:06 00:00:12:00\n"
                           "003  B        AA/V  C        00:20:00:00 00:20:01:00 00:00:12:00 00:00:13:00\n";

std::string keyText(const Event& event)
{
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(AssemblyJournal::keyOf(event)));
    return text;
}

}

TEST(AssemblyJournal, WhatItRecordsReadsBackForTheSameEventsOnly)
{
    TempDir dir;
    const std::string path = AssemblyJournal::pathFor(dir.file("programme.edl"));
    EXPECT_EQ(path, dir.file("programme.edl.journal"));
    const EventList list = listOf(events);
    AssemblyJournal journal(path);
    journal.record(list[0], {{300, 330}});
    journal.record(list[1], {{330, 360}, {336, 360}});

    const AssemblyJournal reread = AssemblyJournal::load(path);

    EXPECT_EQ(reread.onTape(list), (std::set<std::size_t>{0, 1}));
    ASSERT_NE(reread.recordedOf(list[1]), nullptr);
    EXPECT_EQ(*reread.recordedOf(list[1]), (std::vector<RecordedStretch>{{330, 360}, {336, 360}}));

    // The same numbers for other edits: a trimmed event, events renumbered, another reel.
    EventList changed = list;
    changed.trim(1, TrimPoint::SourceIn, 1, Ripple::Off);
    EXPECT_EQ(reread.onTape(changed), std::set<std::size_t>{0});
    EventList renumbered = list;
    renumbered.remove(0);
    renumbered.renumber();
    EXPECT_TRUE(reread.onTape(renumbered).empty());
    const EventList otherReel = listOf(
        "001  B        V     C        00:10:00:00 00:10:01:00 00:00:10:00 00:00:11:00\n");
    EXPECT_TRUE(reread.onTape(otherReel).empty());
}

TEST(AssemblyJournal, LinesItCannotReadAreLeftOutAndTheRestKept)
{
    TempDir dir;
    const std::string path = dir.file("programme.edl.journal");
    const EventList list = listOf(events);
    AssemblyJournal(path).record(list[2], {{360, 390}});
    const std::string good = [&] {
        std::ifstream in(path);
        std::string heading, line;
        std::getline(in, heading);
        std::getline(in, line);
        return line;
    }();
    std::ofstream(path) << "KESTRIX ASSEMBLY JOURNAL\n"
                        << "EVENT 1 KEY " << keyText(list[0]) << " RECORDED 300-\n"
                        << "EVENT 2 KEY zz RECORDED 330-360\n"
                        << "EVENT 2 KEY 0123 RECORDED 360-330\n"
                        << "\x01\xff garbage\n"
                        << good << "\n"
                        << "EVENT 1 KEY " << keyText(list[0]) << " RECORDED";

    const AssemblyJournal reread = AssemblyJournal::load(path);

    EXPECT_EQ(reread.onTape(list), std::set<std::size_t>{2});
}

TEST(AssemblyJournal, AFailedWriteThrowsAndChangesNothing)
{
    TempDir dir;
    const EventList list = listOf(events);
    EXPECT_TRUE(AssemblyJournal::load(dir.file("none.journal")).onTape(list).empty()) << "no file, no events";
    AssemblyJournal journal(dir.file("missing/programme.edl.journal"));

    EXPECT_THROW(journal.record(list[0], {{300, 330}}), std::system_error);

    EXPECT_TRUE(journal.onTape(list).empty());
}
