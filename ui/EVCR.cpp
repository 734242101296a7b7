#include "ui/EVCR.h"

#include "app/Kestrix.h"
#include "deck/VCR.h"
#include "ui/EVCRPanel.h"

EVCR::EVCR() : localgui(std::make_unique<EVCRPanel>(this)), rvcr(Kestrix::rvcr), pvcr(Kestrix::pvcr)
{
}

EVCR::~EVCR() = default;

void EVCR::reconcile(bool recorderChanged)
{
    VCR* changed = recorderChanged ? rvcr : pvcr;
    VCR* follower = recorderChanged ? pvcr : rvcr;
    if (!changed || !follower)
        return;
    changed->CalcDuration();
    follower->makeout(changed->duration);
    showLength();
}

void EVCR::showLength()
{
    // The recorder's duration is the edit's length once both its points were accepted.
    const bool valid = rvcr->inok && rvcr->outok && rvcr->duration > 0;
    localgui->showLength(valid ? rvcr->timeBase().labelOf(rvcr->duration) : std::string());
}
