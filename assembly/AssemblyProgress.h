#pragma once

#include "engine/EditRequest.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// Where an event of a run stands.
enum class EventState {
    Pending,
    Cueing,     // its edit cues, prerolls and rolls towards the in point
    Recording,  // the recorder records it
    Recorded,   // on tape exactly as the list says, confirmed by the recorder
    Failed,     // refused, failed, aborted or not exact: the text says what
    Skipped,    // the operator went on without it
};

struct EventReport {
    std::size_t index = 0;  // in the list
    int number = 0;
    EventState state = EventState::Pending;
    // Why it failed; for a recorded event, where it went ("RECORDED 00:01:00:00 TO 00:01:04:29",
    // or "RECORDED EARLIER" for an event a run before this one recorded).
    std::string text;
    // What the recorder recorded of each of the event's edits, as far as it is known.
    std::vector<RecordedStretch> recorded;
};

// Estimates of the time left, from the moment they are reported.
struct RunCountdown {
    // Until the operator must mount the next reel; nothing when no reel change is left.
    std::optional<std::chrono::seconds> toReelChange;
    std::chrono::seconds toEnd{0};
};

// What a run reports while it goes, and what it asks the operator. The run calls it on its
// own thread (the operator thread); a question waits for the answer.
class AssemblyProgress {
public:
    virtual ~AssemblyProgress() = default;

    virtual void event(const EventReport& report) = 0;
    // At the start of each event.
    virtual void countdown(const RunCountdown& left) = 0;
    // Asks the operator to mount a reel on the player (the prompt is "MOUNT REEL <name> ON
    // THE PLAYER") and waits: true once the operator says it is in, false when the operator
    // declines or no one can answer.
    virtual bool mountReel(const std::string& reel, const std::string& prompt) = 0;
    // Asks the operator whether to go on (that a recorder-only source is routed, that an edit
    // may be timed by the clock alone); false when declined or when no one can answer.
    virtual bool confirm(const std::string& question) = 0;
};
