// The table's texts: an event shows the labels it is written in, a split both its channel
// groups with the delay, a transition both reels, an assemble edit ASM.

#include "listwindow/EventRowText.h"
#include "tests/eventlist/ListTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Column = EventRowText::Column;

std::vector<std::string> row(const Event& event, TimeBase base)
{
    std::vector<std::string> cells;
    for (int column = 0; column < Column::Count; ++column)
        cells.push_back(EventRowText::cell(event, static_cast<Column>(column), base));
    return cells;
}

Event cut(std::uint8_t mode, const std::string& reel, int source, int record, int length, FrameCountMode labels)
{
    return Event::fromEdit(mode, reel, {source, source + length, record, record + length}, labels);
}

}

TEST(EventRowText, EachKindOfEventShowsWhatItRecordsInItsOwnLabels)
{
    Event split = cut(0x50, "TAPE1", 1790, 1780, 45, FrameCountMode::DropFrame);
    split.lines.push_back(cut(0x43, "TAPE1", 1796, 1786, 39, FrameCountMode::DropFrame).lines[0]);
    split.split = {Split::Delay::Audio, 6};
    split.number = 12;
    split.semicolonFrames = true;
    EXPECT_EQ(row(split, dropFrameBase), (std::vector<std::string>{"012", "TAPE1", "V, AA +6", "C", "00:00:59;20",
                                                                   "00:01:01;07", "00:00:59;10", "00:01:00;27", ""}));

    // The same frames counted without drops, on the same list.
    Event counted = cut(0x41, "TAPE2", 1790, 1780, 45, FrameCountMode::NonDrop);
    counted.number = 1000;
    EXPECT_EQ(row(counted, dropFrameBase), (std::vector<std::string>{"1000", "TAPE2", "A", "C", "00:00:59:20",
                                                                     "00:01:01:05", "00:00:59:10", "00:01:00:25", ""}));

    Event dissolve = cut(0x50, "TAPE1", 300, 900, 0, FrameCountMode::NonDrop);
    dissolve.lines.push_back(cut(0x50, "TAPE2", 600, 900, 60, FrameCountMode::NonDrop).lines[0]);
    dissolve.lines[1].transition = {Transition::Kind::Dissolve, 0, ' ', 30};
    dissolve.number = 3;
    EXPECT_EQ(row(dissolve, fps30Base), (std::vector<std::string>{"003", "TAPE1>TAPE2", "V", "D 030", "00:00:20:00",
                                                                  "00:00:22:00", "00:00:30:00", "00:00:32:00", ""}));

    Event assemble = cut(0x20, "TAPE1", 300, 900, 30, FrameCountMode::NonDrop);
    assemble.number = 4;
    EXPECT_EQ(EventRowText::cell(assemble, Column::Channels, fps30Base), "ASM");
}
