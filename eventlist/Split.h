#pragma once

#include <string>

// A split edit: one kind of channels starts later than the other. With an audio delay the
// video leads and the audio comes in the given number of frames later; with a video delay
// the audio leads. The event's second line carries the delayed channels.
struct Split {
    enum class Delay { None, Audio, Video };

    Delay delay = Delay::None;
    int frames = 0;

    // "SPLIT:    AUDIO DELAY=  00:00:00:06": the delay as a length, labelsPerSecond frames
    // a second.
    std::string statement(int labelsPerSecond) const;

    bool operator==(const Split&) const = default;
};
