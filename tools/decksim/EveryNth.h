#pragma once

namespace decksim {

// Picks every Nth of a run of events (the Nth, the 2Nth, ...); with N = 0 it picks none.
class EveryNth {
public:
    explicit EveryNth(int n) : n_(n) {}

    // Counts one event; true when it is one to pick.
    bool pick();
    // How many events have been picked so far.
    int picked() const { return picked_; }

private:
    int n_;
    int count_ = 0;
    int picked_ = 0;
};

}  // namespace decksim
