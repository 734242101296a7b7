#include "listwindow/MatchFrame.h"

#include "assembly/EventEdits.h"
#include "deck/InvalidTimeCode.h"
#include "deck/VCR.h"

#include <cctype>

namespace {

std::string upper(const std::string& text)
{
    std::string result = text;
    for (char& c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

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
        player.ShowStat(upper(hit->reel) + " IS NO REEL ON THE PLAYER");
        return;
    }
    if (upper(hit->reel) != playerReel) {
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
