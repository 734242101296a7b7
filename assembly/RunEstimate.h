#pragma once

#include <chrono>

// How long an event of a run will take: the tape time of its edits (their lengths, and an
// assemble edit's seconds past its out point) and what each edit adds around it (the cue's
// winding, the preroll, the pauses and the settling), learnt from the edits made so far and
// guessed until the first is made.
class RunEstimate {
public:
    using Millis = std::chrono::milliseconds;

    explicit RunEstimate(Millis overheadGuess);

    // An event of that many edits and that much tape time took so long. Only events recorded
    // whole are learnt from: one cut short says nothing of how long a whole one takes.
    void learn(Millis took, Millis tapeTime, int edits);
    Millis of(Millis tapeTime, int edits) const;

private:
    Millis overheadPerEdit() const;

    Millis overheadGuess_;
    Millis overheadSeen_{0};
    int editsSeen_ = 0;
};
