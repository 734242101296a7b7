#pragma once

#include "eventlist/EventList.h"

#include <string>

class VCR;

// Match frame: the recorder's time code as it reads now, the event of the list that recorded
// that frame (the last in list order), and the player cued to the source frame that lies under
// it. What happens is said on the player's panel: the cue ("MATCH FRAME 01:00:12:05"),
// "MOUNT REEL <name>" when the event's reel is not the one on the player (nothing is cued),
// "NO EVENT AT <time code>" when no event recorded that frame. For the operator thread.
class MatchFrame {
public:
    static void perform(const EventList& list, const std::string& playerReel, VCR& player, VCR& recorder);
};
