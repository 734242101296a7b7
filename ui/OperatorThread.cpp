#include "ui/OperatorThread.h"

#include "app/Utils.h"
#include "ui/Gui.h"

#include <QCoreApplication>

#include <chrono>
#include <exception>

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
        // Under the lock, so the abort cannot land after the sequence has ended and cut
        // short a wait of the action that follows it.
        std::lock_guard lock(sequenceMutex_);
        if (sequenceRunning_) {
            abortRequested_ = true;
            interrupt_.interrupt();
        }
    }
    post(std::move(action));
}

bool OperatorThread::isCurrentThread() const
{
    return std::this_thread::get_id() == thread_.get_id();
}

OperatorThread::Sequence::Sequence()
{
    OperatorThread& self = instance();
    std::lock_guard lock(self.sequenceMutex_);
    self.abortRequested_ = false;
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
