#pragma once

#include "eventlist/Channels.h"
#include "eventlist/Transition.h"

#include <optional>
#include <string>

// One line of an event: which reel, which channels, how it comes in, and where. Times are
// frame counts from midnight on the event's labels; out points are exclusive, so an out minus
// its in is a length, and a line may be empty (the outgoing source of a dissolve).
struct EditLine {
    std::string reel;
    Channels channels;
    Transition transition;
    int sourceIn = 0;
    int sourceOut = 0;
    int recordIn = 0;
    int recordOut = 0;

    int sourceLength() const { return sourceOut - sourceIn; }
    int recordLength() const { return recordOut - recordIn; }
    // Whether the line records this frame of the record tape.
    bool holds(int recordFrame) const { return recordIn <= recordFrame && recordFrame < recordOut; }
    // The source frame that lands on a record frame, at play speed.
    int sourceFrameAt(int recordFrame) const { return sourceIn + (recordFrame - recordIn); }

    // Moves the record in and out by frames; the source stays.
    void moveRecord(int frames);

    // What breaks the line, or nullopt: a reel that is empty or holds blanks, an out before
    // its in, a time outside the day of framesPerDay frames (an out may be the day's end),
    // a whole day's length, a transition the list cannot write (a cut with a duration, a
    // duration or wipe code outside 0 to 9999, a key layer other than B or O).
    std::optional<std::string> fault(int framesPerDay) const;

    bool operator==(const EditLine&) const = default;
};
