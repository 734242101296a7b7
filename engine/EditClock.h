#pragma once

#include <chrono>

// The waits of an edit sequence. A sequence can be aborted (ALL STOP, END EDIT, the window
// closing): a wait then ends at once and says so.
class EditClock {
public:
    using Clock = std::chrono::steady_clock;
    // The timed commands of a roll.
    enum class Write { EditOn, EditOff };

    virtual ~EditClock() = default;

    // Waits until the moment; false when the sequence was aborted before or during the wait.
    // Moments are tape timing: they are kept exactly.
    virtual bool waitUntil(Clock::time_point when) = 0;
    virtual bool aborted() const = 0;

    // Waits for the moment a timed command is to be written. It is a wait like any other in
    // service; a test's clock wakes it late on purpose, as a loaded machine may.
    virtual bool waitForWrite(Clock::time_point when, Write) { return waitUntil(when); }

    // One of the sequence's set pauses (for a deck to get somewhere, for the operator to read
    // a text); false when the sequence was aborted.
    virtual bool pause(std::chrono::milliseconds span) { return waitUntil(Clock::now() + span); }
};
