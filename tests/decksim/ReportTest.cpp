// The report lines built from a recorder tape.

#include "tools/decksim/RecorderTape.h"
#include "tools/decksim/Report.h"

#include <gtest/gtest.h>

#include <set>

namespace decksim {
namespace {

constexpr ChannelSet V = channelBit(Channel::V);
constexpr ChannelSet A1 = channelBit(Channel::A1);
constexpr ChannelSet A2 = channelBit(Channel::A2);

const std::vector<std::string> oneReel{"001"};

void recordRun(RecorderTape& tape, int recFirst, int count, ChannelSet channels, int srcFirst, int reel = 0)
{
    for (int i = 0; i < count; ++i) {
        tape.record(recFirst + i, channels, {reel, srcFirst + i});
    }
}

// What the segments say frame by frame: recorder frame, channel, reel and source frame, each
// channel of each frame at most once.
std::set<std::tuple<int, int, std::string, int>> framesOf(const std::vector<Report::Segment>& segments)
{
    std::set<std::tuple<int, int, std::string, int>> frames;
    for (const Report::Segment& segment : segments) {
        EXPECT_EQ(segment.recLast - segment.recFirst, segment.srcLast - segment.srcFirst);
        for (int offset = 0; offset <= segment.recLast - segment.recFirst; ++offset) {
            for (Channel channel : channelOrder) {
                if (segment.channels & channelBit(channel)) {
                    const bool fresh = frames.emplace(segment.recFirst + offset, static_cast<int>(channel), segment.reel,
                                                      segment.srcFirst + offset).second;
                    EXPECT_TRUE(fresh) << "frame " << segment.recFirst + offset << " twice";
                }
            }
        }
    }
    return frames;
}

TEST(Report, BlankTapeHasNoLines)
{
    EXPECT_TRUE(Report::lines(RecorderTape{}, oneReel).empty());
}

TEST(Report, InsertOverAnAssembleSplitsIntoOneSegmentPerSource)
{
    RecorderTape tape;
    recordRun(tape, 100, 60, allChannels, 1000);
    recordRun(tape, 120, 10, V, 5000);  // video insert in the middle
    const std::vector<std::string> expected{
        "segment channels=V,A1,A2 rec=00:00:03:10-00:00:03:29 src=00:00:33:10-00:00:33:29 reel=001 rec-frames=100-119 src-frames=1000-1019",
        "segment channels=V rec=00:00:04:00-00:00:04:09 src=00:02:46:20-00:02:46:29 reel=001 rec-frames=120-129 src-frames=5000-5009",
        "segment channels=A1,A2 rec=00:00:04:00-00:00:04:09 src=00:00:34:00-00:00:34:09 reel=001 rec-frames=120-129 src-frames=1020-1029",
        "segment channels=V,A1,A2 rec=00:00:04:10-00:00:05:09 src=00:00:34:10-00:00:35:09 reel=001 rec-frames=130-159 src-frames=1030-1059",
    };
    EXPECT_EQ(Report::lines(tape, oneReel), expected);
}

TEST(Report, ARunBreaksWhereTheSourceJumpsOrRepeats)
{
    RecorderTape tape;
    recordRun(tape, 0, 3, A2, 10);
    recordRun(tape, 3, 2, A2, 50);
    tape.record(5, A2, {0, 51});
    tape.record(6, A2, {0, 51});
    const std::vector<Report::Segment> expected{
        {A2, 0, 2, 10, 12, "001"},
        {A2, 3, 4, 50, 51, "001"},
        {A2, 5, 5, 51, 51, "001"},
        {A2, 6, 6, 51, 51, "001"},
    };
    EXPECT_EQ(Report::segments(tape, oneReel), expected);
}

TEST(Report, ARunBreaksWhereTheReelChangesThoughTheFramesFollowOn)
{
    RecorderTape tape;
    recordRun(tape, 200, 5, allChannels, 700, 0);
    recordRun(tape, 205, 5, allChannels, 705, 1);  // reel B frame 705 is not reel A frame 705
    recordRun(tape, 207, 2, A1, 707, 0);           // audio 1 from reel A over reel B's picture
    const std::vector<Report::Segment> expected{
        {allChannels, 200, 204, 700, 704, "A"},
        {allChannels, 205, 206, 705, 706, "B"},
        {V | A2, 207, 208, 707, 708, "B"},
        {A1, 207, 208, 707, 708, "A"},
        {allChannels, 209, 209, 709, 709, "B"},
    };
    EXPECT_EQ(Report::segments(tape, {"A", "B"}), expected);
}

TEST(Report, SplitEditReadsBackChannelByChannelOnEveryFrame)
{
    // An assemble from reel A, then a split edit from reel B over it: video from recorder
    // frame 1000, the audio six frames later, in two overlapping inserts.
    RecorderTape tape;
    recordRun(tape, 900, 300, allChannels, 5000, 0);
    recordRun(tape, 1000, 100, V, 200, 1);
    recordRun(tape, 1006, 94, A1 | A2, 206, 1);
    std::set<std::tuple<int, int, std::string, int>> expected;
    for (int frame = 900; frame < 1200; ++frame) {
        for (Channel channel : channelOrder) {
            const bool video = channel == Channel::V;
            const bool fromB = frame < 1100 && frame >= (video ? 1000 : 1006);
            expected.emplace(frame, static_cast<int>(channel), fromB ? "B" : "A", fromB ? frame - 800 : frame + 4100);
        }
    }
    EXPECT_EQ(framesOf(Report::segments(tape, {"A", "B"})), expected);
}

TEST(Report, BlankSourceErasesAndTheLastFrameOfTheTapeCounts)
{
    RecorderTape tape;
    recordRun(tape, 215990, 10, V | A1, 7);
    tape.record(215995, V | A1, {0, RecorderTape::blank});
    const std::vector<Report::Segment> expected{
        {V | A1, 215990, 215994, 7, 11, "001"},
        {V | A1, 215996, 215999, 13, 16, "001"},
    };
    EXPECT_EQ(Report::segments(tape, oneReel), expected);
}

TEST(Report, TimeCodesAreLabelsOfTheTimeBaseAndFramesAreCounts)
{
    const Report::Segment segment{V, 1800, 17982, 24, 25, "R2"};
    EXPECT_EQ(Report::line(segment, TimeBase::fps2997DropFrame),
              "segment channels=V rec=00:01:00:02-00:10:00:00 src=00:00:00:24-00:00:00:25 reel=R2 rec-frames=1800-17982 "
              "src-frames=24-25");
    EXPECT_EQ(Report::line(segment, TimeBase::fps25),
              "segment channels=V rec=00:01:12:00-00:11:59:07 src=00:00:00:24-00:00:01:00 reel=R2 rec-frames=1800-17982 "
              "src-frames=24-25");
}

}  // namespace
}  // namespace decksim
