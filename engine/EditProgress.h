#pragma once

#include <string>

// The steps of an edit, in the order an edit takes them.
enum class EditStep {
    CuePlayer,
    CueRecorder,
    Preroll,
    Roll,           // both decks play towards their in points
    Synchronised,   // the player's offset to the recorder is the edit's, to the frame
    EditOn,         // the recorder records from its in point
    EditOff,        // the recorder stops recording at its out point
    Stopped,
    CueRecorderOut,
    Preview,        // both decks were given their own preview
};

// What an edit reports while it runs: its steps, the frames left until the next one, and
// the operator's texts of its outcome.
class EditProgress {
public:
    virtual ~EditProgress() = default;

    virtual void step(EditStep step) = 0;
    // During the roll the frames to the record in point, while recording those to the out
    // point, as a count of frames shown as HH:MM:SS:FF.
    virtual void countdown(EditStep current, const std::string& left) = 0;
    virtual void status(const std::string& text) = 0;
    // Asks the operator whether to go on (the question is one of the edit's texts); false
    // when the operator declines, or when no one can answer.
    virtual bool confirm(const std::string& question) = 0;
};
