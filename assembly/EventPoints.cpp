#include "assembly/EventPoints.h"

#include "eventlist/FrameCountMode.h"
#include "eventlist/TimeCodeText.h"

std::size_t EventPoints::spanningLine(const Event& event)
{
    std::size_t longest = 0;
    for (std::size_t index = 1; index < event.lines.size(); ++index) {
        if (event.lines[index].recordLength() > event.lines[longest].recordLength())
            longest = index;
    }
    return longest;
}

EditRequest EventPoints::of(const Event& event, TimeBase listBase)
{
    const TimeBase labels = labelBase(listBase, event.frameCount);
    const EditLine& line = event.lines.at(spanningLine(event));
    EditRequest points;
    points.playIn = TimeCodeText::format(line.sourceIn, labels);
    points.playOut = TimeCodeText::format(line.sourceOut, labels);
    points.recIn = TimeCodeText::format(line.recordIn, labels);
    points.recOut = TimeCodeText::format(line.recordOut, labels);
    points.mode = event.modeByte().value_or(0);
    return points;
}
