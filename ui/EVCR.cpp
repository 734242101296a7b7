#include "ui/EVCR.h"

#include "deck/RecordGuard.h"
#include "deck/VCR.h"
#include "ui/EVCRPanel.h"

EVCR::EVCR(VCR& player, VCR& recorder, EditSettings settings)
    : rvcr(&recorder), pvcr(&player), localgui(std::make_unique<EVCRPanel>(this)), settings_(settings)
{
    pvcr->reconcileWith([this] { reconcile(false); });
    rvcr->reconcileWith([this] { reconcile(true); });
    rvcr->recordGuard().onAlarm([this](bool stillRecording) { localgui->showRecorderAlarm(stillRecording); });
}

EVCR::~EVCR()
{
    pvcr->reconcileWith(nullptr);
    rvcr->reconcileWith(nullptr);
    rvcr->recordGuard().onAlarm(nullptr);
}

void EVCR::reconcile(bool recorderChanged)
{
    VCR& changed = recorderChanged ? *rvcr : *pvcr;
    VCR& follower = recorderChanged ? *pvcr : *rvcr;
    changed.CalcDuration();
    follower.makeout(changed.duration());
    showLength();
}

void EVCR::showLength()
{
    // The recorder's duration is the edit's length once both its points were accepted.
    const bool valid = rvcr->inok() && rvcr->outok() && rvcr->duration() > 0;
    localgui->showLength(valid ? rvcr->timeBase().durationText(rvcr->duration()) : std::string());
}

void EVCR::useSettings(const EditSettings& settings)
{
    std::lock_guard lock(settingsMutex_);
    settings_ = settings;
}

EditSettings EVCR::settings() const
{
    std::lock_guard lock(settingsMutex_);
    return settings_;
}
