#pragma once

#include <functional>
#include <mutex>
#include <set>

// Who keeps a deck's point fields from being typed into: the cue thread while it cues, the
// operator thread while an edit uses the points. The fields are editable only while nobody
// holds them. Changing the holders and applying the outcome are one step under one lock, so a
// cue that ends cannot open the fields an edit locked a moment before.
class PointFieldLock {
public:
    enum class Holder { Cue, Edit };

    // apply makes the fields editable or not; it is called under the lock, with the outcome
    // of every change, in the order of the changes.
    explicit PointFieldLock(std::function<void(bool editable)> apply);

    // A holder holds once: a newer cue taking over from one it superseded (which never gives
    // its hold up) is still one hold.
    void hold(Holder holder);
    void release(Holder holder);
    bool editable() const;

private:
    void change(Holder holder, bool holding);

    mutable std::mutex mutex_;
    std::set<Holder> holders_;
    const std::function<void(bool editable)> apply_;
};
