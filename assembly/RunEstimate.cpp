#include "assembly/RunEstimate.h"

#include <algorithm>

RunEstimate::RunEstimate(Millis overheadGuess) : overheadGuess_(overheadGuess)
{
}

void RunEstimate::learn(Millis took, Millis tapeTime, int edits)
{
    overheadSeen_ += std::max(Millis{0}, took - tapeTime);
    editsSeen_ += edits;
}

RunEstimate::Millis RunEstimate::overheadPerEdit() const
{
    return editsSeen_ == 0 ? overheadGuess_ : overheadSeen_ / editsSeen_;
}

RunEstimate::Millis RunEstimate::of(Millis tapeTime, int edits) const
{
    return tapeTime + overheadPerEdit() * edits;
}
