#include "deck/CueThread.h"

#include "app/Utils.h"
#include "deck/VCR.h"
#include "ui/VCRPanel.h"

namespace {

// At least 50 s for a deck to report cue-up; after that the thread goes on as if it had.
constexpr int cueWaitLimit = 5000;
constexpr int cueWaitStepMs = 10;

}

CueThread::CueThread(VCR* vcr) : vcr(vcr), vcrp(&vcr->panel())
{
}

CueThread::~CueThread()
{
    stopping_ = true;
    interrupt_.interrupt();
    if (thread_.joinable())
        thread_.join();
}

void CueThread::start()
{
    thread_ = std::thread([this] { run(); });
}

void CueThread::sleep(int ms)
{
    // Once the deck is being destroyed the remaining steps run without pausing.
    if (!stopping_)
        Utils::DelayT(ms);
}

void CueThread::run()
{
    ThreadInterrupt::Scope interruptible(interrupt_);
    vcrp->lockForCue();
    vcr->setcuedup(false);
    vcr->setmoving(1);
    vcr->CommandB0(vcr->packetCopy(vcr->bscue));

    for (int count = 0; !vcr->cuedup && count < cueWaitLimit && !stopping_; ++count)
        sleep(cueWaitStepMs);

    // Park the deck, whether it reported cue-up or the limit ran out.
    vcr->pause();
    sleep(200);
    vcr->setmoving(0);
    vcr->setcuedup(true);
    vcr->ShowStat("CUED!!");
    sleep(2000);
    vcrp->unlockAfterCue();
    if (vcr->getcueplay() && !stopping_)
        vcr->CommandB0(VCR::bsplay);
    vcr->setcueplay(false);
    Utils::OutLine("Cue/Review/Play Finished!");
    finished_ = true;
}
