#pragma once

#include "deck/TimeBase.h"

#include <optional>
#include <string>
#include <string_view>

// Time codes as a list's lines write them: "HH:MM:SS:FF". Many writers mark a drop-frame
// label with another character before its frames ("01:00:00;02"); some use '.' or ','.
class TimeCodeText {
public:
    struct Fields {
        int hours = 0;
        int minutes = 0;
        int seconds = 0;
        int frames = 0;
        char frameSeparator = ':';
    };

    // A frame count read from a label. A label that drop-frame counting skips (the first two
    // of a minute not divisible by ten) is read as the next label, and says so.
    struct Frame {
        int frame = 0;
        bool skippedLabel = false;
    };

    // Eleven characters: two digits for each field, the fields separated by ':', ';', '.' or
    // ','; nullopt for any other text. The fields' ranges are not checked.
    static std::optional<Fields> parse(std::string_view text);

    // The frame count from midnight of the fields on labels' base; nullopt when the base has
    // no such label (an hour past 23, a minute or second past 59, frames past the base's last).
    static std::optional<Frame> frameOf(const Fields& fields, TimeBase labels);

    // The label of a frame count on labels' base, 0 <= frame <= framesPerDay: an out point at
    // the very end of the day is the label of midnight. frameSeparator goes before the frames.
    static std::string format(int frame, TimeBase labels, char frameSeparator = ':');

    // A length (a split's delay) as a label: whole seconds of labelsPerSecond frames, then frames.
    static std::string lengthText(int frames, int labelsPerSecond);
    // The length a label gives; nullopt when a field is out of its range.
    static std::optional<int> lengthOf(const Fields& fields, int labelsPerSecond);
};
