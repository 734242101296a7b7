// Cueing, preroll and review of a deck.

#include "deck/VCR.h"

#include "deck/CueThread.h"
#include "deck/VCRPort.h"
#include "ui/VCRPanel.h"

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
    setfield(localgui->cuefield.text(), localgui->cuefield);
    setfield(localgui->endfield.text(), localgui->endfield);
    std::string target = which == 0 ? localgui->cuefield.text() : localgui->endfield.text();
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
    if (!sop || !sop->hasOpenPort())
        return;
    // Cleared here, before the thread exists, so that nobody waiting for this cue can mistake
    // a flag left set by an earlier cue for its completion.
    cuedup = false;
    std::erase_if(oldcuethreads, [](const std::unique_ptr<CueThread>& thread) { return thread->finished(); });
    if (cuethread)
        oldcuethreads.push_back(std::move(cuethread));
    cuethread = std::make_unique<CueThread>(this);
    cuethread->start();
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
    CommandB0(packetCopy(bssetpreroll));
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
