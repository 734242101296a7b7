#include "deck/TCThread.h"

#include "deck/Utils.h"
#include "deck/VCR.h"

#include <exception>

namespace {
constexpr int lancSleepMs = 60;
constexpr int rs422SleepMs = 30;
// Status is read on one cycle in this many.
constexpr int cyclesPerStatus = 10;
// A port that failed is tried again this often: an adapter plugged back is found within it.
constexpr auto reconnectInterval = std::chrono::seconds(1);
}

TCThread::TCThread(VCR* vcr, bool lanc) : sleeptime(lanc ? lancSleepMs : rs422SleepMs), svcr(vcr)
{
}

TCThread::~TCThread()
{
    stopping_ = true;
    interrupt_.interrupt();
    if (thread_.joinable())
        thread_.join();
}

void TCThread::start()
{
    thread_ = std::thread([this] { run(); });
}

void TCThread::setreviewclip(bool flag)
{
    reviewclip = flag;
}

void TCThread::hold(bool held)
{
    held_ = held;
    if (held) {
        // A cycle that began before the flag was set ends before this lock is had; every later
        // one sees the flag.
        std::lock_guard cycleOver(cycle_);
    }
}

void TCThread::interrupt()
{
    interrupt_.interrupt();
}

void TCThread::run()
{
    // Cycles begin sleeptime apart, counted from the start of the last one: an exchange
    // that waits for a USB adapter does not stretch the time between readings.
    using Clock = std::chrono::steady_clock;
    auto cycleStart = Clock::now();
    while (!stopping_) {
        cycleStart += std::chrono::milliseconds(sleeptime);
        const auto now = Clock::now();
        if (cycleStart < now)
            cycleStart = now;  // a cycle that overran starts the next at once
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(cycleStart - now).count();
        // An interrupted sleep costs the cycle: nothing is sent and the count stays.
        if (interrupt_.sleepFor(static_cast<int>(left)) || stopping_)
            continue;
        std::lock_guard cycle(cycle_);
        if (held_)
            continue;
        try {
            if (!svcr->online()) {
                reconnectWhenDue();
                continue;
            }
            poll();
        } catch (const std::exception& error) {
            Utils::Debug(std::string("Time code polling: ") + error.what());
        }
        n = (n + 1) % cyclesPerStatus;
    }
}

void TCThread::poll()
{
    if (reviewclip) {
        svcr->CommandStatus();
        if (n == 0)
            svcr->CommandB8();
    } else {
        svcr->CommandB8();
        if (n == 0)
            svcr->CommandStatus();
    }
}

void TCThread::reconnectWhenDue()
{
    const auto now = std::chrono::steady_clock::now();
    if (now < nextReconnect_)
        return;
    nextReconnect_ = now + reconnectInterval;
    // Polling resumes as it began: time code and status on the first cycle.
    if (svcr->reconnect())
        n = 0;
}
