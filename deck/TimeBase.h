#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The rate a deck's tape runs at and how its time code labels count frames. NTSC tape runs
// at 30000/1001 frames a second with 30 labels a second; drop-frame counting skips labels 00
// and 01 at the start of every minute except each tenth, so that the labels keep step with
// the clock. PAL tape runs at 25 frames a second. Frame counts are counted from midnight,
// one for every frame the tape holds, so a difference of two counts is a length of tape.
// Everything that turns labels into frames or frames into time asks a TimeBase.
class TimeBase {
public:
    static constexpr int hoursPerDay = 24;

    enum class Kind { Fps30, Fps2997, Fps2997DF, Fps25 };

    constexpr TimeBase(Kind kind = Kind::Fps30) : kind_(kind) {}

    // "30", "29.97", "29.97DF" or "25", with blanks around it allowed; nullopt for any other.
    static std::optional<TimeBase> fromSetting(std::string_view text);
    // The text fromSetting reads back as this base.
    std::string settingText() const;

    constexpr Kind kind() const { return kind_; }
    int labelsPerSecond() const;
    bool dropFrame() const;

    // The base a deck's time code reply puts us on: a base with 30 labels a second becomes
    // 29.97 drop-frame when the reply's drop-frame flag is set; otherwise it stays as it is.
    TimeBase forDropFrameFlag(bool flag) const;

    // The frame count from midnight of a label, or nullopt when this base has no such label
    // (a field out of range, or a label that drop-frame counting skips).
    std::optional<int> frameOf(int hours, int minutes, int seconds, int frames) const;
    // The same from "HH:MM:SS:FF": exactly 11 characters with digits at positions 0, 1, 3, 4,
    // 6, 7, 9 and 10; the separators are not read.
    std::optional<int> frameOf(const std::string& tc) const;

    int framesPerDay() const;
    // The frame count a label's frame stands for near another count: time code starts again
    // at midnight, so a recording that passes it reads small counts that follow large ones.
    int unwrapped(int frame, int near) const;
    // "HH:MM:SS:FF" of a frame count, 0 <= frame < framesPerDay().
    std::string labelOf(int frame) const;
    // A length of tape (an edit's duration, the frames left to a point) as "HH:MM:SS:FF":
    // the base's labels a second, none skipped, since a length is no place on the tape that
    // drop-frame labels could name. Hours go past 23; a negative count is shown with a '-'.
    std::string durationText(int frames) const;

    // The real time of a number of frames at this base's rate, rounded to the nearest
    // millisecond (halves away from zero); negative counts give negative times.
    std::int64_t millisOf(std::int64_t frames) const;
    // The number of frames in a time, rounded to the nearest frame in the same way.
    std::int64_t framesIn(std::int64_t millis) const;

    bool operator==(const TimeBase&) const = default;

private:
    // The exact rate is framesPerPeriod() frames every periodSeconds() seconds.
    std::int64_t framesPerPeriod() const;
    std::int64_t periodSeconds() const;

    Kind kind_;
};
