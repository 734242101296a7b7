#include "ui/OperatorThread.h"

#include "deck/Utils.h"
#include "ui/Gui.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>

namespace ui {

OperatorThread& OperatorThread::instance()
{
    static OperatorThread operatorThread;
    return operatorThread;
}

OperatorThread::OperatorThread() : thread_([this] { run(); })
{
}

OperatorThread::~OperatorThread()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    abortRequested_ = true;
    interrupt_.interrupt();
    wake_.notify_all();
    thread_.join();
}

void OperatorThread::post(std::function<void()> action)
{
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(action));
    }
    wake_.notify_all();
}

void OperatorThread::postAborting(std::function<void()> action)
{
    {
        // Dropping what waited and aborting the sequence are one step under both locks: the
        // aborted sequence cannot end and hand the thread a press that was to be dropped,
        // and the abort cannot land after the sequence has ended and cut short a wait of the
        // action that follows it.
        std::scoped_lock lock(mutex_, sequenceMutex_);
        queue_.clear();
        sequencesQueued_ = 0;
        if (sequenceRunning_) {
            abortRequested_ = true;
            interrupt_.interrupt();
        } else if (sequenceStarting_) {
            abortBeforeStart_ = true;
        }
        queue_.push_back(std::move(action));
    }
    wake_.notify_all();
}

void OperatorThread::postPress(std::function<void()> action, bool startsSequence)
{
    std::function<void()> refused;
    {
        std::lock_guard lock(mutex_);
        if (sequenceUnderway()) {
            refused = refusalHandler_;
        } else if (startsSequence) {
            ++sequencesQueued_;
            queue_.push_back([this, action = std::move(action)] {
                {
                    std::scoped_lock starting(mutex_, sequenceMutex_);
                    sequencesQueued_ = std::max(0, sequencesQueued_ - 1);
                    sequenceActionRunning_ = true;
                    sequenceStarting_ = true;
                }
                const std::unique_ptr<void, std::function<void(void*)>> ended(this, [this](void*) {
                    std::scoped_lock lock(mutex_, sequenceMutex_);
                    sequenceActionRunning_ = false;
                    sequenceStarting_ = false;
                });
                action();
            });
        } else {
            queue_.push_back(std::move(action));
        }
    }
    if (refused)
        refused();
    wake_.notify_all();
}

void OperatorThread::setRefusalHandler(std::function<void()> handler)
{
    std::lock_guard lock(mutex_);
    refusalHandler_ = std::move(handler);
}

bool OperatorThread::refusesPresses() const
{
    std::lock_guard lock(mutex_);
    return sequenceUnderway();
}

bool OperatorThread::sequenceUnderway() const
{
    return sequenceRunning_ || sequencesQueued_ > 0 || sequenceActionRunning_;
}

bool OperatorThread::pauseUntil(std::chrono::steady_clock::time_point moment)
{
    using Clock = std::chrono::steady_clock;
    // The interruptible pause counts whole milliseconds; the last one is slept exactly.
    constexpr auto exactPart = std::chrono::milliseconds(2);
    for (auto left = moment - Clock::now(); left > exactPart; left = moment - Clock::now()) {
        if (abortRequested_)
            return false;
        Utils::DelayT(static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(left - exactPart / 2).count()));
    }
    if (abortRequested_)
        return false;
    std::this_thread::sleep_until(moment);
    return !abortRequested_;
}

bool OperatorThread::isCurrentThread() const
{
    return std::this_thread::get_id() == thread_.get_id();
}

OperatorThread::Sequence::Sequence()
{
    OperatorThread& self = instance();
    std::lock_guard lock(self.sequenceMutex_);
    // A stop pressed while the sequence's action was about to begin aborts it from the start.
    self.abortRequested_ = self.abortBeforeStart_;
    self.abortBeforeStart_ = false;
    self.sequenceStarting_ = false;
    self.interrupt_.clear();
    self.sequenceRunning_ = true;
}

OperatorThread::Sequence::~Sequence()
{
    OperatorThread& self = instance();
    std::lock_guard lock(self.sequenceMutex_);
    self.sequenceRunning_ = false;
    self.abortRequested_ = false;
    self.interrupt_.clear();
}

bool OperatorThread::aborted() const
{
    return abortRequested_;
}

bool OperatorThread::pause(int ms)
{
    if (abortRequested_)
        return false;
    Utils::DelayT(ms);
    return !abortRequested_;
}

void OperatorThread::waitUntilIdle()
{
    auto idle = [this] { return queue_.empty() && !busy_; };
    if (!Gui::onGuiThread()) {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, idle);
        return;
    }
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (idle())
                return;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void OperatorThread::run()
{
    ThreadInterrupt::Scope interruptible(interrupt_);
    for (;;) {
        std::function<void()> action;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_)
                return;
            action = std::move(queue_.front());
            queue_.pop_front();
            busy_ = true;
        }
        try {
            action();
        } catch (const std::exception& error) {
            Utils::OutLine(std::string("Operator action failed: ") + error.what());
        }
        {
            std::lock_guard lock(mutex_);
            busy_ = false;
        }
        idle_.notify_all();
    }
}

}
