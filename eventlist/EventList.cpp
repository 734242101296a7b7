#include "eventlist/EventList.h"

#include "eventlist/ListError.h"
#include "eventlist/PlainText.h"

#include <algorithm>

namespace {

const char* pointName(TrimPoint point)
{
    switch (point) {
    case TrimPoint::RecordOut:
        return "record out";
    case TrimPoint::SourceIn:
        return "source in";
    case TrimPoint::SourceOut:
        return "source out";
    case TrimPoint::RecordIn:
        break;
    }
    return "record in";
}

std::string signedFrames(int frames)
{
    const std::string digits = std::to_string(frames);
    return frames > 0 ? std::string("+") + digits : digits;
}

void trimLine(EditLine& line, TrimPoint point, int frames)
{
    switch (point) {
    case TrimPoint::RecordIn:
        line.recordIn += frames;
        line.sourceOut = line.sourceIn + line.recordLength();
        break;
    case TrimPoint::RecordOut:
        line.recordOut += frames;
        line.sourceOut = line.sourceIn + line.recordLength();
        break;
    case TrimPoint::SourceIn:
        line.sourceIn += frames;
        line.recordOut = line.recordIn + line.sourceLength();
        break;
    case TrimPoint::SourceOut:
        line.sourceOut += frames;
        line.recordOut = line.recordIn + line.sourceLength();
        break;
    }
}

Event trimmed(const Event& event, TrimPoint point, int frames)
{
    Event result = event;
    for (std::size_t index = 0; index < result.lines.size(); ++index) {
        EditLine& line = result.lines[index];
        if (!event.isTransitionFrom(index)) {
            trimLine(line, point, frames);
        } else if (point == TrimPoint::RecordIn) {
            line.moveRecord(frames);
            line.sourceIn += frames;
            line.sourceOut += frames;
        }
    }
    return result;
}

// The line a match frame takes among those that record the frame: video over audio, then the
// later line.
std::optional<std::size_t> lineRecording(const Event& event, int recordFrame)
{
    std::optional<std::size_t> found;
    for (std::size_t index = 0; index < event.lines.size(); ++index) {
        const EditLine& line = event.lines[index];
        if (line.holds(recordFrame) && (!found || line.channels.video || !event.lines[*found].channels.video))
            found = index;
    }
    return found;
}

} // namespace

EventList::EventList(TimeBase base) : base_(base), mode_(defaultMode(base))
{
}

void EventList::setFrameCountMode(FrameCountMode mode)
{
    if (!fitsTimeBase(mode, base_))
        throw ListError("the time base " + base_.settingText() + " does not count drop frame");
    mode_ = mode;
}

void EventList::setTitle(const std::string& title)
{
    if (title.find_first_of("\r\n") != std::string::npos)
        throw ListError("a title is one line");
    std::size_t first = 0;
    std::size_t last = title.size();
    while (first < last && PlainText::isBlank(title[first]))
        ++first;
    while (last > first && PlainText::isBlank(title[last - 1]))
        --last;
    title_ = title.substr(first, last - first);
}

void EventList::addHeaderNote(const Note& note)
{
    if (auto fault = note.fault())
        throw ListError(*fault);
    headerNotes_.push_back(note);
}

int EventList::nextNumber() const
{
    int highest = 0;
    for (const auto& event : events_)
        highest = std::max(highest, event->number);
    return highest + 1;
}

void EventList::check(const Event& event, const std::string& what) const
{
    if (auto fault = event.fault(base_))
        throw ListError(what + ": " + *fault);
}

void EventList::checkIndex(std::size_t index) const
{
    if (index >= events_.size())
        throw ListError("no event at position " + std::to_string(index + 1) + " of "
                        + std::to_string(events_.size()));
}

void EventList::append(const Event& event)
{
    check(event, "event " + std::to_string(event.number));
    events_.push_back(std::make_shared<const Event>(event));
}

int EventList::insert(std::size_t index, Event event)
{
    if (index > events_.size())
        throw ListError("no place " + std::to_string(index + 1) + " in a list of " + std::to_string(events_.size()));
    event.number = nextNumber();
    check(event, "cannot add event " + std::to_string(event.number));
    events_.insert(events_.begin() + static_cast<std::ptrdiff_t>(index), std::make_shared<const Event>(event));
    return event.number;
}

void EventList::remove(std::size_t index)
{
    checkIndex(index);
    events_.erase(events_.begin() + static_cast<std::ptrdiff_t>(index));
}

void EventList::renumber()
{
    for (std::size_t index = 0; index < events_.size(); ++index) {
        const int number = static_cast<int>(index) + 1;
        if (events_[index]->number != number) {
            Event event = *events_[index];
            event.number = number;
            events_[index] = std::make_shared<const Event>(event);
        }
    }
}

void EventList::trim(std::size_t index, TrimPoint point, int frames, Ripple ripple)
{
    checkIndex(index);
    const Event& old = *events_[index];
    const std::string what = "cannot trim event " + std::to_string(old.number) + "'s " + pointName(point) + " by "
        + signedFrames(frames);
    const int day = labelsOf(old.frameCount).framesPerDay();
    if (frames < -day || frames > day)
        throw ListError(what + ": more than a day");
    const Event changed = trimmed(old, point, frames);
    const auto backwards = [](const EditLine& line) { return line.recordLength() < 0 || line.sourceLength() < 0; };
    if (std::any_of(changed.lines.begin(), changed.lines.end(), backwards))
        throw ListError(what + ": it would end before it starts");
    check(changed, what);

    std::vector<std::shared_ptr<const Event>> events = events_;
    events[index] = std::make_shared<const Event>(changed);
    const int moved = changed.recordOut() - old.recordOut();
    if (ripple == Ripple::On && moved != 0) {
        for (std::size_t later = 0; later < events.size(); ++later) {
            if (later == index || events[later]->recordIn() < old.recordOut())
                continue;
            Event rippled = *events[later];
            for (EditLine& line : rippled.lines)
                line.moveRecord(moved);
            check(rippled, what + ", rippling event " + std::to_string(rippled.number));
            events[later] = std::make_shared<const Event>(rippled);
        }
    }
    events_ = std::move(events);
}

std::optional<RecordHit> EventList::atRecordFrame(int recordFrame) const
{
    for (auto event = events_.rbegin(); event != events_.rend(); ++event) {
        if (const auto line = lineRecording(**event, recordFrame)) {
            const EditLine& hit = (*event)->lines[*line];
            const auto index = static_cast<std::size_t>(events_.rend() - event) - 1;
            const int source = hit.sourceFrameAt(recordFrame);
            return RecordHit{index, *line, hit.reel, source, labelsOf((*event)->frameCount).labelOf(source)};
        }
    }
    return std::nullopt;
}

bool EventList::operator==(const EventList& other) const
{
    const auto sameEvent = [](const auto& a, const auto& b) { return a == b || *a == *b; };
    return base_ == other.base_ && mode_ == other.mode_ && title_ == other.title_
        && headerNotes_ == other.headerNotes_
        && std::equal(events_.begin(), events_.end(), other.events_.begin(), other.events_.end(), sameEvent);
}
