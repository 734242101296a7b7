#pragma once

#include "eventlist/EventList.h"

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <vector>

// How a list is assembled: in list order (A-mode), or grouped by the player's reel so that
// each reel is mounted once (B-mode): first the events that need no reel (recorder-only), then
// the reel on the player, then the other reels in the order the list first names them, each
// reel's events in record order.
enum class AssemblyMode { ListOrder, ByReel };

// One event of a run, in the order it is performed.
struct PlannedEvent {
    std::size_t index = 0;  // in the list
    // The player's reel the event plays from; empty for a recorder-only event.
    std::string reel;
};

// Which events a run performs, in which order, or why it cannot start.
//
// A run cannot start when one of its events needs what Kestrix cannot do: a dissolve, wipe
// or key ("NEEDS A SWITCHER"), channels it cannot record (audio 3 and 4), or two player reels
// in one event. Nor when its order would leave another tape than the list's order: where two
// events share frames and channels (an assemble edit's frames past its out point included)
// the later one in the list is the one on the tape, so no event may be performed after a
// later event it overlaps, whether that one comes earlier in the run or an earlier run
// recorded it.
class AssemblyPlan {
public:
    struct Request {
        // The list index of the first event of the run; the run covers it and every later one.
        std::size_t from = 0;
        AssemblyMode mode = AssemblyMode::ListOrder;
        // The reel on the player when the run starts; empty when it is not known, and then
        // taken to be the reel of the first event of the run, in list order, that has one.
        std::string mountedReel;
        // Events already on tape, from an earlier run of the same list: not performed.
        std::set<std::size_t> onTape;
    };

    AssemblyPlan(const EventList& list, const Request& request);

    // Why the run cannot start, naming the events; nullopt when it can.
    const std::optional<std::string>& refusal() const { return refusal_; }
    // The events to perform, in order (none when refused).
    const std::vector<PlannedEvent>& order() const { return order_; }
    // The run's events already on tape, in list order.
    const std::vector<std::size_t>& onTape() const { return onTape_; }
    // The events of the run that are recorder-only, in list order.
    std::vector<std::size_t> recorderOnly() const;
    // The reel on the player when the run starts.
    const std::string& mountedReel() const { return mountedReel_; }

    // The text naming events: "EVENT 4" or "EVENTS 4, 9".
    static std::string naming(const EventList& list, const std::vector<std::size_t>& indexes);

private:
    void refuseWhatCannotBePerformed(const EventList& list, const std::vector<std::size_t>& events);
    void orderByReel(const EventList& list, const std::string& mountedReel);
    void refuseChangesToTheTape(const EventList& list);

    std::optional<std::string> refusal_;
    std::vector<PlannedEvent> order_;
    std::vector<std::size_t> onTape_;
    std::string mountedReel_;
};
