#include "assembly/PerformedEvent.h"

std::optional<Event> PerformedEvent::of(const Event& planned, const EventOutcome& outcome)
{
    Event performed = planned;
    performed.lines.clear();
    for (std::size_t index = 0; index < outcome.edits.size() && index < planned.lines.size(); ++index) {
        const EditOutcome& edit = outcome.edits[index];
        if (!edit.onTape)
            continue;
        EditLine line = planned.lines[index];
        line.recordOut += edit.overrun;
        line.sourceOut += edit.overrun;
        performed.lines.push_back(line);
    }
    if (performed.lines.empty())
        return std::nullopt;
    if (performed.lines.size() != planned.lines.size())
        performed.split = Split{};
    return performed;
}
