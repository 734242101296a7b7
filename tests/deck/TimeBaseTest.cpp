#include "deck/TimeBase.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Kind = TimeBase::Kind;

const TimeBase fps30{Kind::Fps30};
const TimeBase fps2997{Kind::Fps2997};
const TimeBase dropFrame{Kind::Fps2997DF};
const TimeBase fps25{Kind::Fps25};

struct Label {
    TimeBase base;
    const char* label;
    int frame;
};

// Labels and their frame counts from midnight, each read both ways.
const std::vector<Label> labels{
    {fps30, "00:00:00:00", 0},
    {fps30, "00:00:00:29", 29},
    {fps30, "00:00:01:00", 30},
    {fps30, "00:01:00:00", 1800},
    {fps30, "01:00:00:00", 108000},
    {fps30, "23:59:59:29", 2591999},
    {fps2997, "00:01:00:00", 1800},
    {fps2997, "01:00:00:00", 108000},
    {fps2997, "23:59:59:29", 2591999},
    {dropFrame, "00:00:00:00", 0},
    {dropFrame, "00:00:59:29", 1799},
    {dropFrame, "00:01:00:02", 1800}, // the minute starts two labels late
    {dropFrame, "00:01:59:29", 3597},
    {dropFrame, "00:02:00:02", 3598},
    {dropFrame, "00:09:59:29", 17981},
    {dropFrame, "00:10:00:00", 17982}, // each tenth minute keeps its first labels
    {dropFrame, "00:10:00:01", 17983},
    {dropFrame, "00:11:00:02", 19782},
    {dropFrame, "01:00:00:00", 107892},
    {dropFrame, "10:00:00:00", 1078920},
    {dropFrame, "23:59:59:29", 2589407},
    {fps25, "00:00:00:24", 24},
    {fps25, "00:00:01:00", 25}, // frame 24 + 1 is the next second
    {fps25, "00:01:00:00", 1500},
    {fps25, "01:00:00:00", 90000},
    {fps25, "23:59:59:24", 2159999},
};

TEST(TimeBase, LabelsAndFrameCountsEachWay)
{
    for (const Label& c : labels) {
        const std::string name = c.base.settingText() + " " + c.label;
        EXPECT_EQ(c.base.frameOf(c.label), c.frame) << name;
        EXPECT_EQ(c.base.labelOf(c.frame), c.label) << name;
    }
}

// A length counts frames, whatever the labels of the tape it is measured on: drop-frame labels
// name places on the tape and would add the labels skipped between them.
TEST(TimeBase, DurationsCountFramesWithTheBasesLabelsASecondNoneSkipped)
{
    struct Case {
        TimeBase base;
        int frames;
        const char* text;
    };
    const Case cases[] = {
        {dropFrame, 0, "00:00:00:00"},
        {dropFrame, 1800, "00:01:00:00"},         // a label would read 00:01:00:02
        {dropFrame, 17982, "00:09:59:12"},        // a label would read 00:10:00:00
        {dropFrame, 107892, "00:59:56:12"},       // a label would read 01:00:00:00
        {dropFrame, 2589408, "23:58:33:18"},      // a whole day of drop-frame tape
        {fps2997, 1800, "00:01:00:00"},
        {fps30, 165, "00:00:05:15"},
        {fps30, 2592000 + 30, "24:00:01:00"},     // a length may pass a day
        {fps25, 1500, "00:01:00:00"},
        {fps25, 24, "00:00:00:24"},
        {fps30, -45, "-00:00:01:15"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.base.durationText(c.frames), c.text) << c.base.settingText() << " " << c.frames;
}

TEST(TimeBase, FramesPerDay)
{
    EXPECT_EQ(fps30.framesPerDay(), 2592000);
    EXPECT_EQ(fps2997.framesPerDay(), 2592000);
    EXPECT_EQ(dropFrame.framesPerDay(), 2589408);
    EXPECT_EQ(fps25.framesPerDay(), 2160000);
}

TEST(TimeBase, LabelsThatDoNotExistOnTheBase)
{
    struct Case {
        TimeBase base;
        std::vector<const char*> refused;
        std::vector<const char*> accepted;
    };
    const std::vector<Case> cases{
        {fps30,
         {"00:00:10:45", "00:00:00:30", "00:99:00:00", "00:60:00:00", "00:00:60:00", "24:00:00:00", "99:00:00:00"},
         {"00:01:00:00", "00:01:00:01", "23:59:59:29"}},
        {dropFrame,
         {"00:01:00:00", "00:01:00:01", "00:19:00:01", "23:59:00:00", "00:00:00:30", "24:00:00:00"},
         {"00:00:00:00", "00:10:00:00", "00:20:00:01", "00:01:00:02", "00:01:01:00"}},
        {fps25, {"00:00:00:25", "00:00:00:29", "00:00:10:45", "00:60:00:00"}, {"00:00:00:24", "23:59:59:24"}},
    };
    for (const Case& c : cases) {
        for (const char* label : c.refused)
            EXPECT_FALSE(c.base.frameOf(label)) << c.base.settingText() << " " << label;
        for (const char* label : c.accepted)
            EXPECT_TRUE(c.base.frameOf(label)) << c.base.settingText() << " " << label;
    }
    EXPECT_FALSE(fps30.frameOf(0, -1, 0, 0));
    EXPECT_FALSE(fps30.frameOf(0, 0, 0, -1));
}

TEST(TimeBase, TextsThatAreNotLabels)
{
    for (const char* text : {"", "00:00:10", "00:00:1O:00", "0a:00:00:00", "00:00:10:000", "-0:00:10:00", " 0:00:10:00"})
        EXPECT_FALSE(fps30.frameOf(std::string(text))) << '"' << text << '"';
    EXPECT_EQ(fps30.frameOf("12.34.56.07"), 12 * 108000 + 34 * 1800 + 56 * 30 + 7) << "separators are not read";
}

TEST(TimeBase, LengthAcrossADroppedMinute)
{
    EXPECT_EQ(*dropFrame.frameOf("00:01:00:02") - *dropFrame.frameOf("00:00:59:28"), 2);
    EXPECT_EQ(*dropFrame.frameOf("00:02:00:02") - *dropFrame.frameOf("00:01:00:02"), 1798);
    EXPECT_EQ(*dropFrame.frameOf("00:10:00:00") - *dropFrame.frameOf("00:00:00:00"), 17982);
}

// Frames spread over the day, and those around the end of every minute, where drop-frame
// counting skips labels.
std::vector<int> sampleOfTheDay(TimeBase base)
{
    std::vector<int> frames;
    for (int frame = 0; frame < base.framesPerDay(); frame += 997)
        frames.push_back(frame);
    for (int hour = 0; hour < 24; ++hour) {
        for (int minute = 0; minute < 60; ++minute) {
            const int lastOfMinute = *base.frameOf(hour, minute, 59, base.labelsPerSecond() - 1);
            for (int frame = lastOfMinute - 2; frame <= lastOfMinute + 3; ++frame)
                frames.push_back(frame);
        }
    }
    return frames;
}

TEST(TimeBase, LabelsOfASampleOfTheDayReadBack)
{
    for (TimeBase base : {fps30, fps2997, dropFrame, fps25}) {
        const int last = base.framesPerDay() - 1;
        for (int frame : sampleOfTheDay(base)) {
            if (frame >= last)
                continue;
            const std::string label = base.labelOf(frame);
            ASSERT_EQ(base.frameOf(label), frame) << base.settingText() << " " << label;
            ASSERT_LT(label, base.labelOf(frame + 1)) << base.settingText() << " labels run forward";
        }
        EXPECT_EQ(base.frameOf(base.labelOf(last)), last) << base.settingText();
    }
}

TEST(TimeBase, RealTimeOfFrames)
{
    struct Case {
        TimeBase base;
        std::int64_t frames;
        std::int64_t millis;
    };
    for (const Case& c : {Case{fps30, 1, 33}, Case{fps30, 2, 67}, Case{fps30, 30, 1000}, Case{fps30, -10, -333},
                          Case{fps2997, 1, 33}, Case{fps2997, 15, 501}, Case{fps2997, 30, 1001},
                          Case{dropFrame, 30, 1001}, Case{dropFrame, -30, -1001},
                          Case{dropFrame, 107892, 3599996}, Case{fps25, 1, 40}, Case{fps25, 25, 1000}}) {
        EXPECT_EQ(c.base.millisOf(c.frames), c.millis) << c.base.settingText() << " " << c.frames;
    }
    EXPECT_EQ(fps2997.framesIn(1001), 30);
    EXPECT_EQ(fps2997.framesIn(1000), 30);
    EXPECT_EQ(fps25.framesIn(1000), 25);
    EXPECT_EQ(fps25.framesIn(-60), -2) << "halves away from zero";
}

TEST(TimeBase, SettingTexts)
{
    struct Case {
        const char* text;
        Kind kind;
    };
    for (const Case& c : {Case{"30", Kind::Fps30}, Case{"29.97", Kind::Fps2997}, Case{"29.97DF", Kind::Fps2997DF},
                          Case{"25", Kind::Fps25}, Case{" 25\t", Kind::Fps25}}) {
        std::optional<TimeBase> base = TimeBase::fromSetting(c.text);
        ASSERT_TRUE(base) << '"' << c.text << '"';
        EXPECT_EQ(base->kind(), c.kind) << '"' << c.text << '"';
        EXPECT_EQ(TimeBase::fromSetting(base->settingText()), base) << '"' << c.text << '"';
    }
    for (const char* text : {"", "24", "30.0", "29.970", "29.97 DF", "2997", "PAL", "+25"})
        EXPECT_FALSE(TimeBase::fromSetting(text)) << '"' << text << '"';
}

TEST(TimeBase, DropFrameFlagOfADecksReply)
{
    struct Case {
        TimeBase configured;
        bool flag;
        TimeBase active;
    };
    for (const Case& c : {Case{fps30, true, dropFrame}, Case{fps2997, true, dropFrame}, Case{dropFrame, true, dropFrame},
                          Case{fps25, true, fps25}, Case{fps30, false, fps30}, Case{fps2997, false, fps2997},
                          Case{dropFrame, false, dropFrame}, Case{fps25, false, fps25}}) {
        EXPECT_EQ(c.configured.forDropFrameFlag(c.flag), c.active) << c.configured.settingText() << " " << c.flag;
    }
}

} // namespace

TEST(TimeBase, CountsAcrossMidnightFollowTheCountsBeforeIt)
{
    for (const TimeBase base : {TimeBase(TimeBase::Kind::Fps30), TimeBase(TimeBase::Kind::Fps2997DF),
                                TimeBase(TimeBase::Kind::Fps25)}) {
        const int day = base.framesPerDay();
        EXPECT_EQ(base.unwrapped(3, day - 10), day + 3) << "just past midnight";
        EXPECT_EQ(base.unwrapped(day - 2, 5), -2) << "just before it, seen from after";
        EXPECT_EQ(base.unwrapped(1000, 990), 1000) << "nowhere near it";
    }
}
