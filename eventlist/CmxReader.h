#pragma once

#include "deck/TimeBase.h"
#include "eventlist/EventList.h"
#include "eventlist/ListWarning.h"

#include <string_view>
#include <vector>

struct ReadList {
    EventList list;
    // Each oddity that may change what the list means, naming its line.
    std::vector<ListWarning> warnings;
};

// Reads a CMX 3600 list tolerantly, as lists arrive from other systems. Nothing is dropped
// without a warning: a line it cannot take as what it looks like is kept as a statement not
// performed, and written back unchanged.
//
// Read without a word: blank lines, blanks before and after a line, lower case in keywords,
// channels and transitions, line ends LF, CRLF or CR, fields apart by any number of blanks,
// ':' ';' '.' or ',' before the frames of a drop-frame list, FCM: lines between events.
// Read with a warning: tabs between fields; an event number past 999 or more than 999 events;
// a reel longer than 8 characters (kept whole); a separator before the frames other than ':'
// in a list counting NON-DROP FRAME; a drop-frame label that drop-frame counting skips (read
// as the next label); source and record lengths that differ; a cut with a duration (left out);
// a dissolve or wipe without one (read as 000); a third line with an event's number (read as
// an event of its own); an FCM: change between an event's two lines (the second is read in
// the first's mode); a SPLIT: before an event of one line (kept on it, not performed) or whose
// delay disagrees with its lines; a line that is not what it looks like; no FCM: before the
// first event (the time base's mode is taken); a title past 70 characters; statements Kestrix
// does not perform (GPI, M/S, SWM, M2, %, and any it does not know), kept.
//
// Comments (lines starting with '*') belong to the event above them, or to the list before
// the first event; "* EDIT MODE: ASSEMBLE" after an event of one AA/V line marks it as an
// assemble edit. AUD 3 / AUD 4 lines add channels to the edit line above them.
//
// Refused with ListError, since every time code would be read wrong: a list that counts DROP
// FRAME on a base that does not count drop frame (30, 29.97, 25), and a list with frames 25 to 29
// on the 25 base. A list read and written by Kestrix reads back the same.
class CmxReader {
public:
    static ReadList read(std::string_view text, TimeBase base);
};
