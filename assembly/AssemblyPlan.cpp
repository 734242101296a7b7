#include "assembly/AssemblyPlan.h"

#include "assembly/EventEdits.h"
#include "engine/EditEngine.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <tuple>

namespace {

constexpr std::uint8_t videoTrack = 0x01;
constexpr std::uint8_t audio1Track = 0x02;
constexpr std::uint8_t audio2Track = 0x04;
constexpr std::uint8_t everyTrack = videoTrack | audio1Track | audio2Track;

// The tracks an edit line records, over a stretch of the record tape: frames on the list's base.
struct Footprint {
    std::uint8_t tracks = 0;
    int first = 0;
    int end = 0;
};

std::uint8_t tracksOf(const Channels& channels)
{
    return static_cast<std::uint8_t>((channels.video ? videoTrack : 0) | (channels.audio1 ? audio1Track : 0)
                                     | (channels.audio2 ? audio2Track : 0));
}

// A frame count of the event's labels as a count on the list's base, which is what the decks
// count: the two differ for an event that counts without drop frame on a drop-frame list.
int onListBase(const EventList& list, const Event& event, int count)
{
    const TimeBase labels = list.labelsOf(event.frameCount);
    if (labels == list.timeBase() || count < 0 || count >= labels.framesPerDay())
        return count;
    return list.timeBase().frameOf(labels.labelOf(count)).value_or(count);
}

std::vector<Footprint> footprintOf(const EventList& list, const Event& event)
{
    // An assemble edit records every track on past its out point.
    const int overrun = event.assemble ? EditEngine::assembleOverrunSeconds * list.timeBase().labelsPerSecond() : 0;
    std::vector<Footprint> prints;
    for (const EditLine& line : event.lines) {
        prints.push_back({event.assemble ? everyTrack : tracksOf(line.channels), onListBase(list, event, line.recordIn),
                          onListBase(list, event, line.recordOut) + overrun});
    }
    return prints;
}

bool overlap(const std::vector<Footprint>& one, const std::vector<Footprint>& other)
{
    for (const Footprint& a : one) {
        for (const Footprint& b : other) {
            if ((a.tracks & b.tracks) != 0 && a.first < b.end && b.first < a.end)
                return true;
        }
    }
    return false;
}

bool needsSwitcher(const Event& event)
{
    return std::any_of(event.lines.begin(), event.lines.end(),
                       [](const EditLine& line) { return line.transition.kind != Transition::Kind::Cut; });
}

// The player's reels an event plays from.
std::set<std::string> playerReelsOf(const Event& event)
{
    std::set<std::string> reels;
    for (const EditLine& line : event.lines) {
        if (!EventEdits::isRecorderInput(line.reel))
            reels.insert(line.reel);
    }
    return reels;
}

}

std::string AssemblyPlan::naming(const EventList& list, const std::vector<std::size_t>& indexes)
{
    std::string text = indexes.size() == 1 ? "EVENT " : "EVENTS ";
    for (std::size_t i = 0; i < indexes.size(); ++i)
        text += (i == 0 ? "" : ", ") + std::to_string(list[indexes[i]].number);
    return text;
}

AssemblyPlan::AssemblyPlan(const EventList& list, const Request& request)
{
    if (request.from >= list.size()) {
        refusal_ = list.empty() ? "NO EVENTS IN THE LIST" : "NO EVENT TO START FROM";
        return;
    }
    std::vector<std::size_t> pending;
    for (std::size_t index = request.from; index < list.size(); ++index)
        (request.onTape.count(index) != 0 ? onTape_ : pending).push_back(index);
    refuseWhatCannotBePerformed(list, pending);
    if (refusal_)
        return;
    mountedReel_ = request.mountedReel;
    for (const std::size_t index : pending) {
        const auto reels = playerReelsOf(list[index]);
        order_.push_back({index, reels.empty() ? std::string() : *reels.begin()});
        if (mountedReel_.empty())
            mountedReel_ = order_.back().reel;
    }
    if (request.mode == AssemblyMode::ByReel)
        orderByReel(list, mountedReel_);
    refuseChangesToTheTape(list);
    if (refusal_)
        order_.clear();
}

std::vector<std::size_t> AssemblyPlan::recorderOnly() const
{
    std::vector<std::size_t> found;
    for (const PlannedEvent& planned : order_) {
        if (planned.reel.empty())
            found.push_back(planned.index);
    }
    std::sort(found.begin(), found.end());
    return found;
}

void AssemblyPlan::refuseWhatCannotBePerformed(const EventList& list, const std::vector<std::size_t>& events)
{
    std::vector<std::size_t> switched, unrecordable, twoReels;
    for (const std::size_t index : events) {
        const Event& event = list[index];
        if (needsSwitcher(event))
            switched.push_back(index);
        else if (!event.modeByte())
            unrecordable.push_back(index);
        else if (playerReelsOf(event).size() > 1)
            twoReels.push_back(index);
    }
    std::vector<std::string> reasons;
    if (!switched.empty())
        reasons.push_back("NEEDS A SWITCHER: " + naming(list, switched));
    if (!unrecordable.empty())
        reasons.push_back("CHANNELS KESTRIX DOES NOT RECORD: " + naming(list, unrecordable));
    if (!twoReels.empty())
        reasons.push_back("TWO PLAYER REELS IN ONE EVENT: " + naming(list, twoReels));
    if (reasons.empty())
        return;
    std::string text = reasons.front();
    for (std::size_t i = 1; i < reasons.size(); ++i)
        text += "; " + reasons[i];
    refusal_ = text;
}

void AssemblyPlan::orderByReel(const EventList& list, const std::string& mountedReel)
{
    // Recorder-only events need no reel; the mounted reel needs no change; the others come in
    // the order the list first names them.
    std::map<std::string, int> group;
    group[""] = 0;
    group[mountedReel] = 1;
    for (const PlannedEvent& planned : order_)
        group.emplace(planned.reel, static_cast<int>(group.size()) + 1);
    const auto key = [&](const PlannedEvent& planned) {
        const Event& event = list[planned.index];
        return std::tuple(group.at(planned.reel), onListBase(list, event, event.recordIn()), planned.index);
    };
    std::stable_sort(order_.begin(), order_.end(),
                     [&](const PlannedEvent& a, const PlannedEvent& b) { return key(a) < key(b); });
}

void AssemblyPlan::refuseChangesToTheTape(const EventList& list)
{
    std::vector<std::vector<Footprint>> prints;
    for (const PlannedEvent& planned : order_)
        prints.push_back(footprintOf(list, list[planned.index]));
    const auto refuse = [&](std::size_t over, std::size_t under, const char* how) {
        refusal_ = "THE RUN WOULD RECORD EVENT " + std::to_string(list[over].number) + " OVER EVENT "
            + std::to_string(list[under].number) + how;
    };
    for (std::size_t later = 0; later < order_.size(); ++later) {
        const std::size_t performed = order_[later].index;
        for (const std::size_t recorded : onTape_) {
            if (recorded > performed && overlap(prints[later], footprintOf(list, list[recorded])))
                return refuse(performed, recorded, ", RECORDED EARLIER");
        }
        for (std::size_t earlier = 0; earlier < later; ++earlier) {
            if (order_[earlier].index > performed && overlap(prints[later], prints[earlier]))
                return refuse(performed, order_[earlier].index, "");
        }
    }
}
