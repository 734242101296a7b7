#pragma once

#include "eventlist/EventList.h"
#include "eventlist/ListWarning.h"

#include <string>
#include <vector>

struct WrittenList {
    std::string text;
    // What other systems may not read as meant, naming the written line.
    std::vector<ListWarning> warnings;
};

// Writes a list in CMX 3600, in Kestrix's normal form: "TITLE:", "FCM:", the comments before
// the first event; then each event after a blank line: an "FCM:" line when its mode differs
// from the one before, its "SPLIT:" line, each edit line in the fixed columns followed by its
// AUD line, "* EDIT MODE: ASSEMBLE" for an assemble edit, and its notes. Line ends are LF.
//
// A field too wide for its columns (an event number past 999, a reel longer than 8
// characters, a duration past 999) is written whole, one blank before the next field, and
// warned about: nothing is cut short. Also warned about: more than 999 events, a title longer
// than 70 characters, a reel not of upper-case letters and digits, and two events side by side
// with the same number that other systems would read as one event.
class CmxWriter {
public:
    static WrittenList write(const EventList& list);
};
