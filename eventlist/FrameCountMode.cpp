#include "eventlist/FrameCountMode.h"

std::string fcmText(FrameCountMode mode)
{
    return mode == FrameCountMode::DropFrame ? "DROP FRAME" : "NON-DROP FRAME";
}

bool fitsTimeBase(FrameCountMode mode, TimeBase base)
{
    return mode == FrameCountMode::NonDrop || base.dropFrame();
}

FrameCountMode defaultMode(TimeBase base)
{
    return base.dropFrame() ? FrameCountMode::DropFrame : FrameCountMode::NonDrop;
}

TimeBase labelBase(TimeBase listBase, FrameCountMode mode)
{
    if (mode == FrameCountMode::DropFrame)
        return TimeBase(TimeBase::Kind::Fps2997DF);
    return listBase.dropFrame() ? TimeBase(TimeBase::Kind::Fps2997) : listBase;
}
