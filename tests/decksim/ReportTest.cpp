// The report lines built from a recorder tape.

#include "tools/decksim/RecorderTape.h"
#include "tools/decksim/Report.h"

#include <gtest/gtest.h>

namespace decksim {
namespace {

constexpr ChannelSet V = channelBit(Channel::V);
constexpr ChannelSet A1 = channelBit(Channel::A1);
constexpr ChannelSet A2 = channelBit(Channel::A2);

void recordRun(RecorderTape& tape, int recFirst, int count, ChannelSet channels, int srcFirst)
{
    for (int i = 0; i < count; ++i) {
        tape.record(recFirst + i, channels, srcFirst + i);
    }
}

TEST(Report, BlankTapeHasNoLines)
{
    EXPECT_TRUE(Report::lines(RecorderTape{}).empty());
}

TEST(Report, InsertOverAnAssembleSplitsIntoOneSegmentPerSource)
{
    RecorderTape tape;
    recordRun(tape, 100, 60, allChannels, 1000);
    recordRun(tape, 120, 10, V, 5000);  // video insert in the middle
    const std::vector<std::string> expected{
        "segment channels=V,A1,A2 rec=00:00:03:10-00:00:03:29 src=00:00:33:10-00:00:33:29",
        "segment channels=V rec=00:00:04:00-00:00:04:09 src=00:02:46:20-00:02:46:29",
        "segment channels=A1,A2 rec=00:00:04:00-00:00:04:09 src=00:00:34:00-00:00:34:09",
        "segment channels=V,A1,A2 rec=00:00:04:10-00:00:05:09 src=00:00:34:10-00:00:35:09",
    };
    EXPECT_EQ(Report::lines(tape), expected);
}

TEST(Report, ARunBreaksWhereTheSourceJumpsOrRepeats)
{
    RecorderTape tape;
    recordRun(tape, 0, 3, A2, 10);
    recordRun(tape, 3, 2, A2, 50);
    tape.record(5, A2, 51);
    tape.record(6, A2, 51);
    const std::vector<Report::Segment> expected{
        {A2, 0, 2, 10, 12},
        {A2, 3, 4, 50, 51},
        {A2, 5, 5, 51, 51},
        {A2, 6, 6, 51, 51},
    };
    EXPECT_EQ(Report::segments(tape), expected);
}

TEST(Report, BlankSourceErasesAndTheLastFrameOfTheTapeCounts)
{
    RecorderTape tape;
    recordRun(tape, 215990, 10, V | A1, 7);
    tape.record(215995, V | A1, RecorderTape::blank);
    const std::vector<Report::Segment> expected{
        {V | A1, 215990, 215994, 7, 11},
        {V | A1, 215996, 215999, 13, 16},
    };
    EXPECT_EQ(Report::segments(tape), expected);
}

TEST(Report, TimeCodesAreLabelsOfTheTimeBase)
{
    const Report::Segment segment{V, 1800, 17982, 24, 25};
    EXPECT_EQ(Report::line(segment, TimeBase::fps2997DropFrame),
              "segment channels=V rec=00:01:00:02-00:10:00:00 src=00:00:00:24-00:00:00:25");
    EXPECT_EQ(Report::line(segment, TimeBase::fps25),
              "segment channels=V rec=00:01:12:00-00:11:59:07 src=00:00:00:24-00:00:01:00");
}

}  // namespace
}  // namespace decksim
