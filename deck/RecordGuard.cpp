#include "deck/RecordGuard.h"

#include "deck/DeckStatus.h"
#include "deck/Utils.h"
#include "deck/VCR.h"

namespace {
// The guard reads the deck about once a frame, and tries a lost port more often than the
// polling thread does.
constexpr auto roundPause = std::chrono::milliseconds(33);
constexpr auto reopenPause = std::chrono::milliseconds(100);
}

RecordGuard::RecordGuard(VCR& recorder) : recorder_(recorder)
{
}

RecordGuard::~RecordGuard()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void RecordGuard::arm(int recordEnd)
{
    recordEnd_ = recordEnd;
    State clear = State::Clear;
    state_.compare_exchange_strong(clear, State::Armed);
}

void RecordGuard::confirmStopped()
{
    State armed = State::Armed;
    if (state_.compare_exchange_strong(armed, State::Clear))
        changed_.notify_all();
}

void RecordGuard::enforce()
{
    State armed = State::Armed;
    if (!state_.compare_exchange_strong(armed, State::Enforcing))
        return;
    std::lock_guard lock(mutex_);
    if (stopping_)
        return;
    // The last guard's thread has ended: it clears the state as its last act.
    if (thread_.joinable())
        thread_.join();
    thread_ = std::thread([this] { run(); });
}

void RecordGuard::onAlarm(std::function<void(bool)> listener)
{
    std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

void RecordGuard::tell(bool stillRecording)
{
    std::function<void(bool)> listener;
    {
        std::lock_guard lock(mutex_);
        listener = listener_;
    }
    if (listener)
        listener(stillRecording);
}

bool RecordGuard::waitUntilClear(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [this] { return state_ == State::Clear; });
}

void RecordGuard::run()
{
    raiseAlarm();
    while (!confirmedOrRetried()) {
        if (!pause(recorder_.online() ? roundPause : reopenPause))
            return;
    }
    sayFramesPastTheEnd();
    clearAlarm();
    {
        std::lock_guard lock(mutex_);
        state_ = State::Clear;
    }
    changed_.notify_all();
}

bool RecordGuard::confirmedOrRetried()
{
    // A reopened port carries edit off and stop before anything else (VCR::reconnect).
    if (!recorder_.online()) {
        recorder_.reconnect();
        return false;
    }
    const auto status = recorder_.readStatus();
    if (status && !status->recording())
        return true;
    recorder_.CommandB0(VCR::bseditoff);
    recorder_.CommandB0(VCR::bsstop);
    return false;
}

void RecordGuard::raiseAlarm()
{
    Utils::OutLine(std::string("Record VCR: ") + alarmText);
    recorder_.view().showAlarm(alarmText);
    tell(true);
}

void RecordGuard::clearAlarm()
{
    recorder_.view().showAlarm("");
    tell(false);
}

void RecordGuard::sayFramesPastTheEnd()
{
    // The deck stopped where its recording ended, give or take the frame it took to stop.
    const auto reading = recorder_.readTimeCode();
    framesPast_ = reading ? std::max(0, reading->frame - recordEnd_) : -1;
    const std::string past = reading ? std::to_string(framesPast_) : "unknown";
    Utils::OutLine("Record VCR: recorder stopped, " + past + " frames recorded past the end of the edit");
}

bool RecordGuard::pause(std::chrono::milliseconds span)
{
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, span, [this] { return stopping_; });
}

std::optional<int> RecordGuard::framesPastTheEnd() const
{
    const int past = framesPast_;
    return past < 0 ? std::nullopt : std::optional(past);
}
