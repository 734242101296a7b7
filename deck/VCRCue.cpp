// Cueing, preroll and review of a deck.

#include "deck/VCR.h"

#include "deck/CueThread.h"
#include "deck/VCRPort.h"

#include <algorithm>

namespace {

std::uint8_t bcdOf(int value)
{
    return static_cast<std::uint8_t>(value / 10 % 10 * 16 + value % 10);
}

}

void VCR::cue(int which)
{
    cueTo(which, false);
}

void VCR::cueplay(int which)
{
    cueTo(which, true);
}

void VCR::cueTo(int which, bool thenPlay)
{
    takeTypedPoints();
    const std::string target = view_->pointText(which == 0 ? DeckView::Point::In : DeckView::Point::Out);
    cueplay_ = thenPlay;
    MakeCueString(target);
    CueUp();
}

void VCR::cuein()
{
    cue(0);
}

void VCR::cueout()
{
    cue(1);
}

void VCR::CueUp()
{
    if (!sop_ || !sop_->hasOpenPort())
        return;
    // A newer cue supersedes the running one: it stops where it stands, before anything of
    // the new cue is sent, so it can neither park the deck mid-search nor touch the flags.
    cuethread_.reset();
    const std::uint64_t request = ++cueRequests_;
    // Until the deck has acknowledged the new cue command, no status reply can say it is
    // cued: one requested before the cue could only speak of the old position.
    cueStatusFrom_ = noCueStatus;
    cuedup_ = false;
    cuethread_ = std::make_unique<CueThread>(this, packetCopy(bscue), request);
    cuethread_->start();
}

void VCR::cueAcknowledged(std::uint64_t exchange)
{
    cueStatusFrom_ = exchange + 1;
}

void VCR::cueParked(std::uint64_t request)
{
    cuesParked_ = request;
}

bool VCR::cueInProgress() const
{
    return cuesParked_ != cueRequests_;
}

void VCR::makepreroll(int seconds)
{
    // Time data are BCD: 10 s is sent as 10, and a minute or more as minutes and seconds.
    int total = std::max(0, seconds);
    {
        std::lock_guard lock(stateMutex_);
        bssetpreroll[2] = 0;
        bssetpreroll[3] = bcdOf(total % 60);
        bssetpreroll[4] = bcdOf(total / 60 % 60);
        bssetpreroll[5] = bcdOf(std::min(total / 3600, 99));
        unsigned sum = 0;
        for (int i = 0; i < 6; ++i)
            sum += bssetpreroll[i];
        bssetpreroll[6] = static_cast<std::uint8_t>(sum);
    }
    setpreroll();
}

void VCR::setpreroll()
{
    sendPreset(packetCopy(bssetpreroll));
}

void VCR::dopreroll()
{
    CommandB0(bspreroll);
}

void VCR::preview()
{
    CommandB0(bspreview);
}

void VCR::review()
{
    CommandB0(bsreview);
}
