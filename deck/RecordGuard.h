#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class VCR;

// Keeps a recorder from recording on after an edit. An edit arms it before edit on is sent;
// only a status from the recorder that shows record and edit off clears it. When an edit
// ends any other way (an abort, an exception, a deck lost, the window closing) the guard
// takes over on a thread of its own, which outlives the edit: it sends edit off and stop,
// reads the status every frame and sends them again until the deck confirms; while the
// deck cannot be reached it tries to reopen its port every 100 ms, and the first thing the
// reopened link carries is edit off and stop. Meanwhile the deck shows an alarm, and the
// console says so once; when the deck has stopped, one line says how far it recorded past
// the end of the edit.
class RecordGuard {
public:
    explicit RecordGuard(VCR& recorder);
    // Ends the guard's thread; only tests destroy a deck.
    ~RecordGuard();
    RecordGuard(const RecordGuard&) = delete;
    RecordGuard& operator=(const RecordGuard&) = delete;

    // Before edit on: the recorder frame at which the edit's recording is to end.
    void arm(int recordEnd);
    // The recorder's status showed record and edit off after the edit.
    void confirmStopped();
    // The edit ended without that confirmation: edit off and stop until the deck confirms.
    // Does nothing when the guard is not armed.
    void enforce();
    // Armed, or enforcing: the recorder may be recording against the operator's wish.
    bool active() const { return state_ != State::Clear; }
    bool enforcing() const { return state_ == State::Enforcing; }
    // Waits until the guard is clear, up to the limit; true when it is.
    bool waitUntilClear(std::chrono::milliseconds limit);
    // Told, on the guard's thread, when the deck is found still recording (true) and when it
    // has stopped (false); empty for none.
    void onAlarm(std::function<void(bool stillRecording)> listener);

    // What the guard said when it last stopped the recorder: the frames recorded past the
    // end of the edit (nothing when the time code could not be read, or before any).
    std::optional<int> framesPastTheEnd() const;

    static constexpr const char* alarmText = "RECORDER STILL RECORDING";

private:
    enum class State { Clear, Armed, Enforcing };

    void run();
    // One round: reopen a lost port, or read the status and stop the deck again. True once
    // the deck has confirmed that it stopped recording.
    bool confirmedOrRetried();
    void raiseAlarm();
    void tell(bool stillRecording);
    void clearAlarm();
    void sayFramesPastTheEnd();
    // False when the guard is being destroyed.
    bool pause(std::chrono::milliseconds span);

    VCR& recorder_;
    std::atomic<State> state_{State::Clear};
    std::atomic<int> recordEnd_{0};
    // Frames past the end at the last stop, or -1.
    std::atomic<int> framesPast_{-1};
    std::function<void(bool)> listener_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    std::thread thread_;
};
