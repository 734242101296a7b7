#pragma once

#include "engine/EditClock.h"

namespace ui {

// The waits of a sequence on the operator thread: ALL STOP, END EDIT and the window closing
// cut them short.
class SequenceClock : public EditClock {
public:
    bool waitUntil(Clock::time_point when) override;
    bool aborted() const override;
    // The sequence's set pauses follow the test clock; its moments never do.
    bool pause(std::chrono::milliseconds span) override;
};

}
