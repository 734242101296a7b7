// Drop-frame labels, where time code arithmetic most often goes wrong, checked on every frame
// of a day both ways: against a clock that counts labels one by one as a deck's time code
// generator does, and through the list reader and writer at every minute boundary.

#include "eventlist/CmxReader.h"
#include "eventlist/CmxWriter.h"
#include "eventlist/TimeCodeText.h"
#include "tests/eventlist/ListTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// Counts drop-frame labels one frame at a time: 30 labels a second, and at the start of
// every minute not divisible by ten the labels 00 and 01 are skipped.
class DropFrameClock {
public:
    void advance()
    {
        if (++frames_ == 30) {
            frames_ = 0;
            if (++seconds_ == 60) {
                seconds_ = 0;
                if (++minutes_ == 60) {
                    minutes_ = 0;
                    ++hours_;
                }
            }
        }
        if (seconds_ == 0 && frames_ == 0 && minutes_ % 10 != 0)
            frames_ = 2;
    }

    std::string label(char separator) const
    {
        char text[64];
        std::snprintf(text, sizeof text, "%02d:%02d:%02d%c%02d", hours_, minutes_, seconds_, separator, frames_);
        return text;
    }

    bool startsMinute() const { return seconds_ == 0 && (frames_ == 0 || (frames_ == 2 && minutes_ % 10 != 0)); }
    bool endOfDay() const { return hours_ == 24 && minutes_ == 0 && seconds_ == 0 && frames_ == 0; }

private:
    int hours_ = 0;
    int minutes_ = 0;
    int seconds_ = 0;
    int frames_ = 0;
};

// The frame counts of each minute's first label, from a walk through the whole day.
std::vector<int> minuteStarts()
{
    std::vector<int> starts;
    DropFrameClock clock;
    for (int frame = 0; frame < dropFrameBase.framesPerDay(); ++frame, clock.advance()) {
        if (clock.startsMinute())
            starts.push_back(frame);
    }
    return starts;
}

} // namespace

TEST(DropFrameDay, EveryLabelOfADayBothWays)
{
    DropFrameClock clock;
    int wrong = 0;
    for (int frame = 0; frame < dropFrameBase.framesPerDay() && wrong < 10; ++frame, clock.advance()) {
        const char separator = frame % 2 ? ';' : ':';
        const std::string label = clock.label(separator);
        const std::string written = TimeCodeText::format(frame, dropFrameBase, separator);
        if (written != label) {
            ADD_FAILURE() << "frame " << frame << " written as " << written << ", the clock says " << label;
            ++wrong;
        }
        const auto fields = TimeCodeText::parse(label);
        const auto read = fields ? TimeCodeText::frameOf(*fields, dropFrameBase) : std::nullopt;
        if (!read || read->frame != frame || read->skippedLabel) {
            ADD_FAILURE() << label << " read as frame " << (read ? read->frame : -1) << ", the clock says " << frame;
            ++wrong;
        }
    }
    EXPECT_TRUE(clock.endOfDay()) << "the day holds another number of frames: " << clock.label(':');
}

TEST(DropFrameDay, EverySkippedLabelReadsAsTheNextLabelAndSaysSo)
{
    const std::vector<int> starts = minuteStarts();
    int skipped = 0;
    for (int hour = 0; hour < 24; ++hour) {
        for (int minute = 0; minute < 60; ++minute) {
            if (minute % 10 == 0)
                continue;
            const int next = starts[static_cast<std::size_t>(hour * 60 + minute)];
            for (int frames : {0, 1}) {
                const TimeCodeText::Fields fields{hour, minute, 0, frames, ';'};
                const auto read = TimeCodeText::frameOf(fields, dropFrameBase);
                ASSERT_TRUE(read.has_value());
                EXPECT_TRUE(read->skippedLabel);
                EXPECT_EQ(read->frame, next);
                ++skipped;
            }
        }
    }
    EXPECT_EQ(skipped, 24 * 54 * 2);
}

TEST(DropFrameDay, EveryMinuteBoundaryThroughTheReaderAndWriter)
{
    const std::vector<int> starts = minuteStarts();
    ASSERT_EQ(starts.size(), 24u * 60u);
    // Events from two frames before each minute's first label to two after it, and one that
    // ends the day; half a day to a list, to stay within 999 events.
    std::vector<std::vector<int>> halves(2);
    for (std::size_t minute = 1; minute < starts.size(); ++minute)
        halves[minute < 720 ? 0 : 1].push_back(starts[minute] - 2);
    halves[1].push_back(dropFrameBase.framesPerDay() - 4);

    DropFrameClock clock;
    int clockFrame = 0;
    for (const std::vector<int>& ins : halves) {
        std::string text = "TITLE: DAY\nFCM: DROP FRAME\n";
        int number = 0;
        for (int in : ins) {
            const char separator = ++number % 2 ? ';' : ':';
            std::string labels[2];
            for (int end = 0; end < 2; ++end) {
                const int frame = in + 4 * end;
                while (clockFrame < frame) {
                    clock.advance();
                    ++clockFrame;
                }
                labels[end] = clock.label(separator);
            }
            if (in + 4 == dropFrameBase.framesPerDay())
                labels[1] = std::string("00:00:00") + separator + "00";
            char line[160];
            std::snprintf(line, sizeof line, "\n%03d  DAY      V     C        %s %s %s %s\n", number, labels[0].c_str(),
                          labels[1].c_str(), labels[0].c_str(), labels[1].c_str());
            text += line;
        }
        const ReadList read = CmxReader::read(text, dropFrameBase);
        EXPECT_TRUE(read.warnings.empty()) << allMessages(read.warnings);
        ASSERT_EQ(read.list.size(), ins.size());
        for (std::size_t index = 0; index < ins.size(); ++index) {
            const EditLine& line = read.list[index].lines[0];
            ASSERT_EQ(line.recordIn, ins[index]) << "event " << index + 1;
            ASSERT_EQ(line.recordOut, ins[index] + 4) << "event " << index + 1;
            ASSERT_EQ(line.sourceIn, ins[index]) << "event " << index + 1;
        }
        EXPECT_EQ(CmxWriter::write(read.list).text, text);
    }
}
