#pragma once

#include "deck/ThreadInterrupt.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace ui {

// Performs the operator's actions (button presses, Enter keys, shuttle moves, window
// closes) one at a time, in the order they were made, away from the GUI thread, so that a
// long sequence (an auto edit) never stops the window from painting.
//
// A running sequence can be aborted: postAborting() cuts the sequence's current wait short
// and makes every later wait report the abort, before its own action is queued.
class OperatorThread {
public:
    static OperatorThread& instance();

    OperatorThread();
    ~OperatorThread();
    OperatorThread(const OperatorThread&) = delete;
    OperatorThread& operator=(const OperatorThread&) = delete;

    void post(std::function<void()> action);
    // Aborts a running sequence, drops every action queued behind it (a second edit pressed
    // meanwhile must not run after a stop), then queues its own action.
    void postAborting(std::function<void()> action);
    // An operator's press. While a sequence runs or is queued, the press is refused: it is
    // not queued, and the refusal handler tells the operator. A press that starts a sequence
    // counts as queued from now on.
    void postPress(std::function<void()> action, bool startsSequence = false);
    // Told on the pressing thread when a press is refused.
    void setRefusalHandler(std::function<void()> handler);
    // True while a press would be refused: a sequence runs, or one is queued or beginning.
    bool refusesPresses() const;
    // Waits until the moment (to the millisecond and below); false when the sequence was
    // aborted before or during the wait.
    bool pauseUntil(std::chrono::steady_clock::time_point moment);

    bool isCurrentThread() const;

    // Marks an abortable sequence for its lifetime; made by the sequence on this thread.
    class Sequence {
    public:
        Sequence();
        ~Sequence();
        Sequence(const Sequence&) = delete;
        Sequence& operator=(const Sequence&) = delete;
    };

    // For the running sequence: true once it has been asked to abort.
    bool aborted() const;
    // Waits ms milliseconds (a negative wait is no wait); false when the sequence was
    // aborted before or during the wait.
    bool pause(int ms);

    // Returns when no action is queued or running. On the GUI thread it keeps serving
    // events meanwhile, since actions may be waiting for the GUI thread.
    void waitUntilIdle();

private:
    void run();
    // Under mutex_.
    bool sequenceUnderway() const;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> queue_;
    bool busy_ = false;
    bool stopping_ = false;
    std::mutex sequenceMutex_;
    std::atomic<bool> sequenceRunning_{false};
    // Presses that start a sequence, queued and not begun, and whether one is being performed;
    // under mutex_.
    int sequencesQueued_ = 0;
    bool sequenceActionRunning_ = false;
    // A sequence's action has begun but its Sequence is not made yet; under sequenceMutex_.
    bool sequenceStarting_ = false;
    bool abortBeforeStart_ = false;
    std::function<void()> refusalHandler_;
    std::atomic<bool> abortRequested_{false};
    ThreadInterrupt interrupt_;
    std::thread thread_;
};

}
