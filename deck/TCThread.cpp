#include "deck/TCThread.h"

#include "app/Utils.h"
#include "deck/VCR.h"

#include <exception>

namespace {
constexpr int lancSleepMs = 60;
constexpr int rs422SleepMs = 30;
// Status is read on one cycle in this many.
constexpr int cyclesPerStatus = 10;
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

void TCThread::interrupt()
{
    interrupt_.interrupt();
}

void TCThread::run()
{
    while (!stopping_) {
        // An interrupted sleep costs the cycle: nothing is sent and the count stays.
        if (interrupt_.sleepFor(sleeptime) || stopping_)
            continue;
        try {
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
