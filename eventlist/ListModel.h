#pragma once

#include "eventlist/EventList.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <string>

// The list a window edits: every change of the event list goes through here, so that each can
// be undone and redone and the window (and whatever saves the list) follows.
//
// One thread owns the model (the thread that edits the list: in the program, the operator
// thread); it is not safe to call from two. Listeners run on that thread, after the change,
// with the list as it now is. To save from another thread, hand it a copy of list(): copies
// are cheap and stay as they were while the model goes on changing.
//
// A change the list refuses throws ListError (its text is for the operator) and changes nothing:
// no undo step, no listener called. A change that leaves the list as it was records nothing.
class ListModel {
public:
    using Listener = std::function<void(const EventList&)>;

    explicit ListModel(EventList list);

    const EventList& list() const { return list_; }

    // Puts the event before position index (size() for the end) and numbers it next; returns
    // its number. An edit the recorder confirmed is added at the end.
    int insert(std::size_t index, const Event& event);
    void remove(std::size_t index);
    void renumber();
    void trim(std::size_t index, TrimPoint point, int frames, Ripple ripple);
    void setTitle(const std::string& title);
    // Puts another list in place of this one (a list read from a file); undone like any change.
    void replace(const EventList& list);

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    // False when there is nothing to undo or redo. The last undoLimit changes can be undone.
    bool undo();
    bool redo();
    static constexpr std::size_t undoLimit = 1000;

    // Returns an id for removeListener.
    int addListener(Listener listener);
    void removeListener(int id);

private:
    void change(const std::function<void(EventList&)>& edit);
    void notify();

    EventList list_;
    std::deque<EventList> undo_;
    std::deque<EventList> redo_;
    std::map<int, Listener> listeners_;
    int nextListener_ = 0;
};
