#include "deck/TCThread.h"

#include "deck/Utils.h"
#include "deck/VCR.h"

#include <algorithm>
#include <exception>

namespace {
constexpr int lancSleepMs = 60;
constexpr int rs422SleepMs = 30;
// Status is read on one cycle in this many.
constexpr int cyclesPerStatus = 10;
// A port that failed is tried again this often: an adapter plugged back is found within it.
constexpr auto reconnectInterval = std::chrono::seconds(1);
// A frame's exact length: this many frames last a whole number of milliseconds on every base.
constexpr int framesPerPeriod = 30000;
}

TCThread::TCThread(VCR* vcr, bool lanc) : sleeptime(lanc ? lancSleepMs : rs422SleepMs), lanc_(lanc), svcr(vcr)
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
    // Cycles are counted from the start of the last one: an exchange that waits for a USB
    // adapter does not stretch the time between readings.
    using Clock = std::chrono::steady_clock;
    auto cycleStart = Clock::now();
    while (!stopping_) {
        cycleStart = nextCycle(cycleStart);
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

std::chrono::steady_clock::time_point TCThread::nextCycle(std::chrono::steady_clock::time_point last) const
{
    const auto onGrid = last + std::chrono::milliseconds(sleeptime);
    if (lanc_ || reviewclip)
        return onGrid;
    // One request a frame. The deck is asked a little after the moment from which its next
    // frame is read: the cycle's shortfall against a frame, by which the phase was learnt, and
    // a millisecond.
    const double frameMs = phase_.msPerFrame();
    const double marginMs = std::max(frameMs - sleeptime, 0.0) + 1.0;
    const auto halfAFrame = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double, std::milli>(frameMs / 2));
    return phase_.nextRequest(last + halfAFrame, marginMs).value_or(onGrid);
}

void TCThread::poll()
{
    if (reviewclip) {
        svcr->CommandStatus();
        if (n == 0)
            svcr->CommandB8();
        phase_.forget();
    } else {
        if (const auto reading = svcr->readTimeCode())
            phase_.add(reading->frame, reading->asked,
                       static_cast<double>(svcr->timeBase().millisOf(framesPerPeriod)) / framesPerPeriod);
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
