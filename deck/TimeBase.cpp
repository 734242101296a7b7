#include "deck/TimeBase.h"

#include <cmath>

#include <array>
#include <cstdlib>

namespace {

constexpr int secondsPerMinute = 60;
constexpr int minutesPerHour = 60;
constexpr int minutesPerDay = TimeBase::hoursPerDay * minutesPerHour;

// Drop-frame counting: each minute not divisible by ten starts two labels late, so ten
// minutes hold 9 * 2 labels fewer than ten minutes of 30 labels a second.
constexpr int droppedPerMinute = 2;
constexpr int dropFrameMinute = 30 * secondsPerMinute - droppedPerMinute;
constexpr int dropFrameTenMinutes = 10 * 30 * secondsPerMinute - 9 * droppedPerMinute;

constexpr std::array<TimeBase::Kind, 4> allKinds{TimeBase::Kind::Fps30, TimeBase::Kind::Fps2997,
                                                 TimeBase::Kind::Fps2997DF, TimeBase::Kind::Fps25};

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\f';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<int> twoDigits(const std::string& tc, std::size_t at)
{
    auto digit = [](char c) { return c >= '0' && c <= '9' ? std::optional<int>(c - '0') : std::nullopt; };
    std::optional<int> tens = digit(tc[at]);
    std::optional<int> units = digit(tc[at + 1]);
    if (!tens || !units)
        return std::nullopt;
    return *tens * 10 + *units;
}

std::string twoDigitText(int value)
{
    return {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
}

// a / b rounded to the nearest whole number, halves away from zero; b > 0.
std::int64_t dividedRounded(std::int64_t a, std::int64_t b)
{
    return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}

} // namespace

std::optional<TimeBase> TimeBase::fromSetting(std::string_view text)
{
    std::string_view value = trimmed(text);
    for (Kind kind : allKinds) {
        if (TimeBase(kind).settingText() == value)
            return TimeBase(kind);
    }
    return std::nullopt;
}

std::string TimeBase::settingText() const
{
    switch (kind_) {
    case Kind::Fps2997:
        return "29.97";
    case Kind::Fps2997DF:
        return "29.97DF";
    case Kind::Fps25:
        return "25";
    case Kind::Fps30:
        break;
    }
    return "30";
}

int TimeBase::labelsPerSecond() const
{
    return kind_ == Kind::Fps25 ? 25 : 30;
}

bool TimeBase::dropFrame() const
{
    return kind_ == Kind::Fps2997DF;
}

TimeBase TimeBase::forDropFrameFlag(bool flag) const
{
    return flag && labelsPerSecond() == 30 ? TimeBase(Kind::Fps2997DF) : *this;
}

std::optional<int> TimeBase::frameOf(int hours, int minutes, int seconds, int frames) const
{
    if (hours < 0 || hours >= hoursPerDay || minutes < 0 || minutes >= minutesPerHour || seconds < 0
        || seconds >= secondsPerMinute || frames < 0 || frames >= labelsPerSecond())
        return std::nullopt;
    const int totalMinutes = hours * minutesPerHour + minutes;
    const int labels = (totalMinutes * secondsPerMinute + seconds) * labelsPerSecond() + frames;
    if (!dropFrame())
        return labels;
    const bool minuteDrops = minutes % 10 != 0;
    if (minuteDrops && seconds == 0 && frames < droppedPerMinute)
        return std::nullopt;
    return labels - droppedPerMinute * (totalMinutes - totalMinutes / 10);
}

std::optional<int> TimeBase::frameOf(const std::string& tc) const
{
    if (tc.size() != 11)
        return std::nullopt;
    std::optional<int> hours = twoDigits(tc, 0);
    std::optional<int> minutes = twoDigits(tc, 3);
    std::optional<int> seconds = twoDigits(tc, 6);
    std::optional<int> frames = twoDigits(tc, 9);
    if (!hours || !minutes || !seconds || !frames)
        return std::nullopt;
    return frameOf(*hours, *minutes, *seconds, *frames);
}

int TimeBase::framesPerDay() const
{
    if (dropFrame())
        return minutesPerDay / 10 * dropFrameTenMinutes;
    return minutesPerDay * secondsPerMinute * labelsPerSecond();
}

std::string TimeBase::labelOf(int frame) const
{
    int labels = frame;
    if (dropFrame()) {
        // Put back the labels skipped before this frame: 18 in every whole ten minutes, and
        // 2 for every minute begun after the first of the current ten.
        const int tens = frame / dropFrameTenMinutes;
        const int intoTen = frame % dropFrameTenMinutes;
        const int droppingMinutes = intoTen < droppedPerMinute ? 0 : (intoTen - droppedPerMinute) / dropFrameMinute;
        labels += 9 * droppedPerMinute * tens + droppedPerMinute * droppingMinutes;
    }
    const int perSecond = labelsPerSecond();
    const int totalSeconds = labels / perSecond;
    const int totalMinutes = totalSeconds / secondsPerMinute;
    return twoDigitText(totalMinutes / minutesPerHour) + ":" + twoDigitText(totalMinutes % minutesPerHour) + ":"
        + twoDigitText(totalSeconds % secondsPerMinute) + ":" + twoDigitText(labels % perSecond);
}

std::string TimeBase::durationText(int frames) const
{
    const std::int64_t count = std::abs(static_cast<std::int64_t>(frames));
    const std::int64_t perSecond = labelsPerSecond();
    const std::int64_t totalSeconds = count / perSecond;
    const std::int64_t totalMinutes = totalSeconds / secondsPerMinute;
    const std::string hours = std::to_string(totalMinutes / minutesPerHour);
    return (frames < 0 ? "-" : "") + (hours.size() < 2 ? "0" + hours : hours) + ":" + twoDigitText(static_cast<int>(totalMinutes % minutesPerHour))
        + ":" + twoDigitText(static_cast<int>(totalSeconds % secondsPerMinute)) + ":"
        + twoDigitText(static_cast<int>(count % perSecond));
}

std::int64_t TimeBase::millisOf(std::int64_t frames) const
{
    return dividedRounded(frames * 1000 * periodSeconds(), framesPerPeriod());
}

std::int64_t TimeBase::framesIn(std::int64_t millis) const
{
    return dividedRounded(millis * framesPerPeriod(), 1000 * periodSeconds());
}

std::int64_t TimeBase::framesPerPeriod() const
{
    switch (kind_) {
    case Kind::Fps2997:
    case Kind::Fps2997DF:
        return 30000;
    case Kind::Fps25:
        return 25;
    case Kind::Fps30:
        break;
    }
    return 30;
}

std::int64_t TimeBase::periodSeconds() const
{
    return kind_ == Kind::Fps2997 || kind_ == Kind::Fps2997DF ? 1001 : 1;
}

int TimeBase::unwrapped(int frame, int near) const
{
    const int day = framesPerDay();
    const int days = static_cast<int>(std::lround(static_cast<double>(near - frame) / day));
    return frame + days * day;
}
