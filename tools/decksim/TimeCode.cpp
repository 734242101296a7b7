#include "tools/decksim/TimeCode.h"

#include <algorithm>
#include <cstdio>

namespace decksim {

namespace {

struct Label {
    int hours;
    int minutes;
    int seconds;
    int frames;
};

// Drop-frame counting (NTSC, 30 labels a second) skips the labels 00 and 01 at the start of
// every minute except each tenth, so ten minutes hold 17982 frames and each of their last
// nine minutes 1798.
constexpr int dropFrameLabelsPerSecond = 30;
constexpr int droppedPerMinute = 2;
constexpr int dropFramePerTenMinutes = 10 * 60 * dropFrameLabelsPerSecond - 9 * droppedPerMinute;
constexpr int dropFramePerMinute = 60 * dropFrameLabelsPerSecond - droppedPerMinute;

bool isDroppedLabel(const Label& label)
{
    return label.seconds == 0 && label.frames < droppedPerMinute && label.minutes % 10 != 0;
}

// The number of labels a continuous count would have reached at this frame.
int labelCount(int frame, TimeBase base)
{
    if (!base.dropFrame()) {
        return frame;
    }
    const int tens = frame / dropFramePerTenMinutes;
    const int intoTen = frame % dropFramePerTenMinutes;
    const int skippedMinutes = intoTen < droppedPerMinute ? 0 : (intoTen - droppedPerMinute) / dropFramePerMinute;
    return frame + droppedPerMinute * (9 * tens + skippedMinutes);
}

Label labelOf(int frame, TimeBase base)
{
    const int perSecond = base.labelsPerSecond();
    const int count = labelCount(frame, base);
    return {count / (perSecond * 3600), count / (perSecond * 60) % 60, count / perSecond % 60, count % perSecond};
}

int frameOf(Label label, TimeBase base)
{
    const int totalMinutes = label.hours * 60 + label.minutes;
    if (!base.dropFrame()) {
        return (totalMinutes * 60 + label.seconds) * base.labelsPerSecond() + label.frames;
    }
    // A label that drop-frame counting skips stands for the first frame of its minute.
    if (isDroppedLabel(label)) {
        label.frames = droppedPerMinute;
    }
    const int count = (totalMinutes * 60 + label.seconds) * dropFrameLabelsPerSecond + label.frames;
    return count - droppedPerMinute * (totalMinutes - totalMinutes / 10);
}

std::uint8_t bcdByte(int value) { return static_cast<std::uint8_t>((value / 10) << 4 | (value % 10)); }

int bcdValue(std::uint8_t byte) { return (byte >> 4) * 10 + (byte & 0x0F); }

std::optional<int> twoDigits(std::string_view text, std::size_t at)
{
    const char tens = text[at];
    const char units = text[at + 1];
    if (tens < '0' || tens > '9' || units < '0' || units > '9') {
        return std::nullopt;
    }
    return (tens - '0') * 10 + (units - '0');
}

constexpr Label tapeEndLabel{2, 0, 0, 0};
// A deck marks drop-frame time code with bit 6 of the frames byte.
constexpr std::uint8_t dropFrameFlag = 0x40;

}  // namespace

int TimeCode::tapeEndFrame(TimeBase base) { return frameOf(tapeEndLabel, base); }

int TimeCode::longestTapeFrames()
{
    return std::max({tapeEndFrame(TimeBase::fps30), tapeEndFrame(TimeBase::fps2997DropFrame), tapeEndFrame(TimeBase::fps25)});
}

std::string TimeCode::format(int frame, TimeBase base)
{
    const Label label = labelOf(frame, base);
    char text[48];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", label.hours, label.minutes, label.seconds, label.frames);
    return text;
}

std::optional<int> TimeCode::parse(std::string_view text, TimeBase base)
{
    if (text.size() != 11 || text[2] != ':' || text[5] != ':' || text[8] != ':') {
        return std::nullopt;
    }
    const auto hours = twoDigits(text, 0);
    const auto minutes = twoDigits(text, 3);
    const auto seconds = twoDigits(text, 6);
    const auto frames = twoDigits(text, 9);
    if (!hours || !minutes || !seconds || !frames || *minutes > 59 || *seconds > 59
        || *frames >= base.labelsPerSecond()) {
        return std::nullopt;
    }
    const Label label{*hours, *minutes, *seconds, *frames};
    if (base.dropFrame() && isDroppedLabel(label)) {
        return std::nullopt;
    }
    const int frame = frameOf(label, base);
    if (frame > tapeEndFrame(base)) {
        return std::nullopt;
    }
    return frame;
}

std::array<std::uint8_t, 4> TimeCode::toBcd(int frame, TimeBase base)
{
    const Label label = labelOf(frame, base);
    const std::uint8_t flags = base.dropFrame() ? dropFrameFlag : 0;
    return {static_cast<std::uint8_t>(bcdByte(label.frames) | flags), bcdByte(label.seconds), bcdByte(label.minutes),
            bcdByte(label.hours)};
}

int TimeCode::fromBcd(const std::uint8_t* timeData, TimeBase base)
{
    const Label label{bcdValue(timeData[3] & 0x3F), bcdValue(timeData[2]), bcdValue(timeData[1]), bcdValue(timeData[0] & 0x3F)};
    return frameOf(label, base);
}

}  // namespace decksim
