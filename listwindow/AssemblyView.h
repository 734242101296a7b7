#pragma once

#include "assembly/AssemblyProgress.h"
#include "eventlist/Event.h"

#include <cstddef>
#include <optional>
#include <string>

// What the list window shows of a run. Called on the operator thread; an implementation hands
// each call to the GUI thread and never waits for it.
class AssemblyView {
public:
    virtual ~AssemblyView() = default;

    // The state of the event at that place in the list, as the run left it; failed marks it.
    virtual void showEventState(std::size_t index, const Event& event, const std::string& text, bool failed) = 0;
    // A new run: no event has a state any more.
    virtual void clearEventStates() = 0;
    // The time left; nothing once the run is over.
    virtual void showCountdown(const std::optional<RunCountdown>& left) = 0;
    // A question that waits for the operator's answer; empty when none waits.
    virtual void showPrompt(const std::string& question) = 0;
    // How the run goes, ended or was refused.
    virtual void showRunText(const std::string& text) = 0;
    // The run stopped at the event at that place: it is chosen and stands highlighted.
    virtual void markStoppedEvent(std::size_t index) = 0;
    // An earlier run left the list unfinished: the offer to resume; empty when none.
    virtual void showResumeOffer(const std::string& text) = 0;
    // The reel the run knows to be on the player.
    virtual void showReel(const std::string& reel) = 0;
};
