#include "eventlist/TimeCodeText.h"

namespace {

bool isSeparator(char c)
{
    return c == ':' || c == ';' || c == '.' || c == ',';
}

std::optional<int> twoDigits(std::string_view text, std::size_t at)
{
    const char tens = text[at];
    const char units = text[at + 1];
    if (tens < '0' || tens > '9' || units < '0' || units > '9')
        return std::nullopt;
    return (tens - '0') * 10 + (units - '0');
}

void appendTwoDigits(std::string& text, int value)
{
    text += static_cast<char>('0' + value / 10);
    text += static_cast<char>('0' + value % 10);
}

bool inRange(const TimeCodeText::Fields& f, int labelsPerSecond)
{
    return f.hours < 24 && f.minutes < 60 && f.seconds < 60 && f.frames < labelsPerSecond;
}

} // namespace

std::optional<TimeCodeText::Fields> TimeCodeText::parse(std::string_view text)
{
    if (text.size() != 11 || !isSeparator(text[2]) || !isSeparator(text[5]) || !isSeparator(text[8]))
        return std::nullopt;
    const auto hours = twoDigits(text, 0);
    const auto minutes = twoDigits(text, 3);
    const auto seconds = twoDigits(text, 6);
    const auto frames = twoDigits(text, 9);
    if (!hours || !minutes || !seconds || !frames)
        return std::nullopt;
    return Fields{*hours, *minutes, *seconds, *frames, text[8]};
}

std::optional<TimeCodeText::Frame> TimeCodeText::frameOf(const Fields& fields, TimeBase labels)
{
    if (!inRange(fields, labels.labelsPerSecond()))
        return std::nullopt;
    if (const auto frame = labels.frameOf(fields.hours, fields.minutes, fields.seconds, fields.frames))
        return Frame{*frame, false};
    // Only the labels drop-frame counting skips are left: the minute's first label kept is 02.
    const auto next = labels.frameOf(fields.hours, fields.minutes, fields.seconds, 2);
    if (!next)
        return std::nullopt;
    return Frame{*next, true};
}

std::string TimeCodeText::format(int frame, TimeBase labels, char frameSeparator)
{
    std::string text = labels.labelOf(frame == labels.framesPerDay() ? 0 : frame);
    text[8] = frameSeparator;
    return text;
}

std::string TimeCodeText::lengthText(int frames, int labelsPerSecond)
{
    const int totalSeconds = frames / labelsPerSecond;
    std::string text;
    appendTwoDigits(text, totalSeconds / 3600);
    text += ':';
    appendTwoDigits(text, totalSeconds / 60 % 60);
    text += ':';
    appendTwoDigits(text, totalSeconds % 60);
    text += ':';
    appendTwoDigits(text, frames % labelsPerSecond);
    return text;
}

std::optional<int> TimeCodeText::lengthOf(const Fields& fields, int labelsPerSecond)
{
    if (!inRange(fields, labelsPerSecond))
        return std::nullopt;
    return ((fields.hours * 60 + fields.minutes) * 60 + fields.seconds) * labelsPerSecond + fields.frames;
}
