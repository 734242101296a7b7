#pragma once

#include "deck/TimeBase.h"
#include "engine/EditRequest.h"
#include "eventlist/Event.h"

#include <cstddef>
#include <string>
#include <vector>

// What an edit takes from the settings besides its points and mode.
struct RollSettings {
    int playerPreroll = 0;    // seconds
    int recorderPreroll = 0;  // seconds
    int adjust = 0;           // frames, the player's edit adjust
};

// One edit of an event: the request for the edit engine, the event line it records, and what
// the operator is told it is ("LEADING V", "DELAYED AA").
struct EventEdit {
    EditRequest request;
    std::size_t line = 0;
    std::string what;
    // An edit of the recorder alone, recording its own input (black, the auxiliary source):
    // the request has no player points.
    bool recorderOnly = false;
};

// Whether an event may record the recorder's own input (a line from BL or AX): only once the
// operator has confirmed that the source is routed to it.
enum class RecorderInput { Refused, Routed };

// The edits that perform an event with Kestrix's player and recorder: one edit for an event
// of one line (an insert of its channels, or an assemble edit), one exact insert per line for
// a split event, the leading channels over their whole span first and the delayed channels
// from their own in point after. Each edit's points are the line's times written as the
// event's labels, the text a deck panel would hold.
//
// Refused with EventRefused, naming the event: a dissolve, wipe or key (they need a switcher);
// a line from BL, AX or BARS (black, the auxiliary input and bars are no reel on the player),
// unless the recorder's input is routed: then a line from BL or AX is an edit of the recorder
// alone;
// two lines from different reels; two lines that record the same channel; a line that
// records nothing, audio 3 or 4, or a source length other than its record length; a line
// that ends at the end of the day, which no deck can be cued to.
class EventEdits {
public:
    static std::vector<EventEdit> of(const Event& event, TimeBase listBase, const RollSettings& roll,
                                     RecorderInput input = RecorderInput::Refused);

    // Whether the reel names a source that is not a tape on the player: black, the auxiliary
    // input or bars. Upper or lower case.
    static bool isPlayerlessReel(const std::string& reel);
    // Whether the reel names what the recorder records from its own input: black or the
    // auxiliary input. Upper or lower case.
    static bool isRecorderInput(const std::string& reel);
};
