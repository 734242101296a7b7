// VCR: a deck's port that fails (a USB adapter pulled out) and comes back.

#include "deck/VCR.h"

#include "deck/Utils.h"
#include "deck/VCRPort.h"

bool VCR::online() const
{
    return sop_->online();
}

bool VCR::reconnect()
{
    if (!sop_->reopen())
        return false;
    // A deck that was switched off or swapped while its adapter was out knows nothing of
    // its set-up.
    sendSetUp();
    if (!sop_->online())
        return false;  // gone again at once: the next try says when it is back
    sayOnline(sop_->takeFailedWrites());
    return true;
}

void VCR::sendSetUp()
{
    if (recon_.on)
        setUpRecon();
    CommandB0(bssettimemode);
}

void VCR::sayOfflineOnce()
{
    if (offlineSaid_.exchange(true))
        return;
    Utils::OutLine(consoleName() + "DECK OFFLINE (" + sop_->offlineReason() + ")");
    ShowStat("DECK OFFLINE");
}

void VCR::sayOnline(int failedWrites)
{
    Utils::OutLine(consoleName() + std::to_string(failedWrites) + " writes failed while the deck was offline");
    Utils::OutLine(consoleName() + "DECK ONLINE");
    ShowStat("DECK ONLINE");
    offlineSaid_ = false;
}

std::string VCR::consoleName() const
{
    return type_ ? "Record VCR: " : "Play VCR: ";
}
