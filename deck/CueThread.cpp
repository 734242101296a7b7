#include "deck/CueThread.h"

#include "deck/LongWaits.h"
#include "deck/Utils.h"
#include "deck/VCR.h"

#include <utility>

namespace {

// At least 50 s for a deck to report cue-up; after that the thread goes on as if it had.
constexpr int cueWaitLimit = 5000;
constexpr int cueWaitStepMs = 10;

}

CueThread::CueThread(VCR* vcr, std::vector<std::uint8_t> cuePacket, std::uint64_t request)
    : vcr(vcr), view(vcr->view()), cuePacket_(std::move(cuePacket)), request_(request)
{
}

CueThread::~CueThread()
{
    abandoned_ = true;
    interrupt_.interrupt();
    if (thread_.joinable())
        thread_.join();
}

void CueThread::start()
{
    thread_ = std::thread([this] { run(); });
}

bool CueThread::sleep(int ms)
{
    if (!abandoned_)
        Utils::DelayT(ms);
    return !abandoned_;
}

void CueThread::run()
{
    ThreadInterrupt::Scope interruptible(interrupt_);
    if (carryOut())
        Utils::OutLine("Cue/Review/Play Finished!");
    finished_ = true;
}

bool CueThread::carryOut()
{
    view.lockForCue();
    vcr->setcuedup(false);
    vcr->setmoving(1);
    const Reply acknowledged = vcr->CommandAcknowledged(cuePacket_);
    vcr->cueAcknowledged(acknowledged.exchange);
    if (!waitForCueUp())
        return false;

    // Park the deck, whether it reported cue-up or the limit ran out.
    vcr->pause();
    if (!sleep(200))
        return false;
    vcr->setmoving(0);
    vcr->setcuedup(true);
    vcr->cueParked(request_);
    vcr->ShowStat("CUED!!");
    // A newer cue takes the panel and the play request over from here.
    if (!sleep(2000))
        return false;
    view.unlockAfterCue();
    if (vcr->getcueplay())
        vcr->CommandB0(VCR::bsplay);
    vcr->setcueplay(false);
    return true;
}

bool CueThread::waitForCueUp()
{
    const int limit = cueWaitLimit / LongWaits::speedUp();
    for (int count = 0; !vcr->cuedup() && count < limit; ++count) {
        if (!sleep(cueWaitStepMs))
            return false;
    }
    return !abandoned_;
}
