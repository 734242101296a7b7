#include "listwindow/MatchFrame.h"

#include "assembly/EventEdits.h"
#include "deck/InvalidTimeCode.h"
#include "deck/VCR.h"
#include "eventlist/PlainText.h"

#include <cctype>

namespace {

}

void MatchFrame::perform(const EventList& list, const std::string& playerReel, VCR& player, VCR& recorder)
{
    const std::string now = recorder.timecodeNow();
    const std::optional<int> frame = recorder.timeBase().frameOf(now);
    if (!frame) {
        player.ShowStat(InvalidTimeCode::statusText);
        return;
    }
    const std::optional<RecordHit> hit = list.atRecordFrame(*frame);
    if (!hit) {
        player.ShowStat("NO EVENT AT " + now);
        return;
    }
    if (EventEdits::isPlayerlessReel(hit->reel)) {
        player.ShowStat(PlainText::upper(hit->reel) + " IS NO REEL ON THE PLAYER");
        return;
    }
    if (PlainText::upper(hit->reel) != playerReel) {
        player.ShowStat("MOUNT REEL " + hit->reel);
        return;
    }
    try {
        player.setcueplay(false);
        player.MakeCueString(hit->sourceLabel);
    } catch (const InvalidTimeCode&) {
        player.ShowStat(InvalidTimeCode::statusText);
        return;
    }
    player.ShowStat("MATCH FRAME " + hit->sourceLabel);
    player.CueUp();
}
