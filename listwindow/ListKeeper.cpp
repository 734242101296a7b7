#include "listwindow/ListKeeper.h"

#include "assembly/PerformedEvent.h"
#include "deck/Utils.h"
#include "eventlist/ListError.h"
#include "eventlist/ListFile.h"
#include "eventlist/PlainText.h"
#include "listwindow/ReelName.h"

#include <cctype>
#include <cerrno>
#include <sys/stat.h>

namespace {

}

ListKeeper::ListKeeper(EventList list, std::string path)
    : model_(std::move(list)), saver_(std::move(path), [this](const ListSaver::Result& result) { saved(result); })
{
    model_.addListener([this](const EventList& changed) { saver_.save(changed); });
}

std::optional<ReadList> ListKeeper::load(const std::string& path, TimeBase base)
{
    struct stat found {};
    if (::lstat(path.c_str(), &found) != 0 && errno == ENOENT)
        return std::nullopt;
    return ListFile::load(path, base);
}

void ListKeeper::onNotice(Notice notice)
{
    std::lock_guard lock(noticeMutex_);
    notice_ = std::move(notice);
}

void ListKeeper::tell(const std::string& text) const
{
    Notice notice;
    {
        std::lock_guard lock(noticeMutex_);
        notice = notice_;
    }
    if (notice)
        notice(text);
}

void ListKeeper::setReel(const std::string& name)
{
    if (const std::string refused = ReelName::refusal(name); !refused.empty())
        throw ListError(refused);
    reel_ = name;
}

std::size_t ListKeeper::checked(EventRef ref) const
{
    const EventList& events = model_.list();
    if (ref.index >= events.size() || events[ref.index].number != ref.number)
        throw ListError("THE LIST HAS CHANGED: SELECT THE EVENT AGAIN");
    return ref.index;
}

const Event& ListKeeper::event(EventRef ref) const
{
    return model_.list()[checked(ref)];
}

void ListKeeper::trim(EventRef ref, TrimPoint point, int frames, Ripple ripple)
{
    model_.trim(checked(ref), point, frames, ripple);
}

void ListKeeper::remove(EventRef ref)
{
    model_.remove(checked(ref));
}

EditPoints ListKeeper::pointsOf(const EditRequest& edit) const
{
    const EventList& events = model_.list();
    const TimeBase labels = events.labelsOf(events.frameCountMode());
    const auto frame = [&labels](const std::string& point) {
        const std::optional<int> counted = labels.frameOf(point);
        if (!counted)
            throw ListError("the point " + point + " is no label of the list");
        return *counted;
    };
    return {frame(edit.playIn), frame(edit.playOut), frame(edit.recIn), frame(edit.recOut)};
}

std::size_t ListKeeper::insertMarked(std::size_t index, const EditRequest& marked)
{
    if (marked.mode == 0)
        throw ListError("SELECT AN EDIT MODE FIRST");
    const Event event = Event::fromEdit(marked.mode, reel_, pointsOf(marked), model_.list().frameCountMode());
    model_.insert(index, event);
    return index;
}

void ListKeeper::renumber()
{
    model_.renumber();
}

bool ListKeeper::undo()
{
    return model_.undo();
}

bool ListKeeper::redo()
{
    return model_.redo();
}

int ListKeeper::addListener(ListModel::Listener listener)
{
    return model_.addListener(std::move(listener));
}

void ListKeeper::removeListener(int id)
{
    model_.removeListener(id);
}

std::string ListKeeper::refusal(const Event& event) const
{
    for (const EditLine& line : event.lines) {
        if (PlainText::upper(line.reel) != reel_)
            return "MOUNT REEL " + line.reel;
    }
    return {};
}

void ListKeeper::onTape(const ConfirmedEdit& edit)
{
    try {
        Event planned;
        if (edit.event) {
            planned = *edit.event;
        } else {
            const EditRequest& request = edit.requests.at(0);
            planned = Event::fromEdit(request.mode, reel_, pointsOf(request), model_.list().frameCountMode());
        }
        const std::optional<Event> performed = PerformedEvent::of(planned, edit.outcome);
        if (!performed)
            return;
        const int number = model_.insert(model_.list().size(), *performed);
        tell("EVENT " + std::to_string(number) + " ADDED");
    } catch (const ListError& refused) {
        const std::string text = std::string("EDIT NOT LISTED: ") + refused.what();
        Utils::OutLine(text);
        tell(text);
    }
}

void ListKeeper::saved(const ListSaver::Result& result)
{
    if (!result.saved) {
        if (result.failure != lastFailure_) {
            lastFailure_ = result.failure;
            Utils::OutLine("EVENT LIST NOT SAVED: " + result.failure);
            tell("LIST NOT SAVED: " + result.failure);
        }
        return;
    }
    if (!lastFailure_.empty()) {
        lastFailure_.clear();
        Utils::OutLine("EVENT LIST SAVED: " + saver_.path());
        tell("LIST SAVED");
    }
    if (result.warnings != lastWarnings_) {
        lastWarnings_ = result.warnings;
        if (!lastWarnings_.empty())
            tell("LIST SAVED WITH " + std::to_string(lastWarnings_.size()) + " WARNING(S): "
                 + lastWarnings_.front().message());
    }
}
