#include "eventlist/ListModel.h"

#include <vector>

ListModel::ListModel(EventList list) : list_(std::move(list))
{
}

void ListModel::change(const std::function<void(EventList&)>& edit)
{
    EventList changed = list_;
    edit(changed);
    if (changed == list_)
        return;
    undo_.push_back(std::move(list_));
    if (undo_.size() > undoLimit)
        undo_.pop_front();
    redo_.clear();
    list_ = std::move(changed);
    notify();
}

int ListModel::insert(std::size_t index, const Event& event)
{
    int number = 0;
    change([&](EventList& list) { number = list.insert(index, event); });
    return number;
}

void ListModel::remove(std::size_t index)
{
    change([&](EventList& list) { list.remove(index); });
}

void ListModel::renumber()
{
    change([](EventList& list) { list.renumber(); });
}

void ListModel::trim(std::size_t index, TrimPoint point, int frames, Ripple ripple)
{
    change([&](EventList& list) { list.trim(index, point, frames, ripple); });
}

void ListModel::setTitle(const std::string& title)
{
    change([&](EventList& list) { list.setTitle(title); });
}

void ListModel::replace(const EventList& list)
{
    change([&](EventList& current) { current = list; });
}

bool ListModel::undo()
{
    if (undo_.empty())
        return false;
    redo_.push_back(std::move(list_));
    list_ = std::move(undo_.back());
    undo_.pop_back();
    notify();
    return true;
}

bool ListModel::redo()
{
    if (redo_.empty())
        return false;
    undo_.push_back(std::move(list_));
    list_ = std::move(redo_.back());
    redo_.pop_back();
    notify();
    return true;
}

int ListModel::addListener(Listener listener)
{
    listeners_.emplace(nextListener_, std::move(listener));
    return nextListener_++;
}

void ListModel::removeListener(int id)
{
    listeners_.erase(id);
}

void ListModel::notify()
{
    // A listener may remove itself or another while it runs: each runs from a copy, and one
    // removed meanwhile is not called.
    std::vector<int> ids;
    for (const auto& entry : listeners_)
        ids.push_back(entry.first);
    for (int id : ids) {
        const auto found = listeners_.find(id);
        if (found == listeners_.end())
            continue;
        const Listener listener = found->second;
        listener(list_);
    }
}
