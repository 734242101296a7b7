#pragma once

#include "deck/TimeBase.h"
#include "eventlist/Event.h"

#include <string>

// The texts of an event's row in the list window's table: its number, reel, channels,
// transition, the source and record points of the line that spans it (as its labels, with
// the separator it is written with) and its state.
//
// Two-line events keep to one row: a split shows the delayed channels after the leading ones
// with their delay ("V, AA +6"), a transition the reel it comes from ("TAPE1>TAPE2") and its
// kind; an assemble edit shows ASM for its channels.
class EventRowText {
public:
    enum Column { Number, Reel, Channels, Transition, SourceIn, SourceOut, RecordIn, RecordOut, State, Count };

    static const char* heading(Column column);
    static std::string cell(const Event& event, Column column, TimeBase listBase);
};
