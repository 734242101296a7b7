// VCR: a deck's port that fails (a USB adapter pulled out) and comes back.

#include "deck/VCR.h"

#include "deck/RecordGuard.h"
#include "deck/Utils.h"
#include "deck/VCRPort.h"

#include <algorithm>

bool VCR::online() const
{
    return sop_->online();
}

bool VCR::reconnect()
{
    std::lock_guard lock(reconnectMutex_);
    if (sop_->online())
        return true;
    // A recorder that may be recording is stopped before the link carries anything else.
    const std::vector<Packet> first = guard_->active() ? std::vector<Packet>{bseditoff, bsstop} : std::vector<Packet>{};
    if (!sop_->reopen(first))
        return false;
    // A deck that was switched off or swapped while its adapter was out knows nothing of
    // its set-up or its presets.
    sendSetUp();
    resendPresets();
    if (!sop_->online())
        return false;  // gone again at once: the next try says when it is back
    sayOnline(sop_->takeFailedWrites());
    return true;
}

void VCR::readyForTimedCommand()
{
    sop_->bringInStepNow();
}

Reply VCR::sendPreset(const Packet& packet)
{
    {
        std::lock_guard lock(stateMutex_);
        const auto kept = std::find_if(presets_.begin(), presets_.end(), [&packet](const Packet& preset) {
            return preset[0] == packet[0] && preset[1] == packet[1];
        });
        if (kept != presets_.end())
            *kept = packet;
        else
            presets_.push_back(packet);
    }
    return CommandAcknowledged(packet);
}

bool VCR::resendPresets()
{
    std::vector<Packet> presets;
    {
        std::lock_guard lock(stateMutex_);
        presets = presets_;
    }
    bool allTaken = true;
    for (const Packet& preset : presets)
        allTaken = CommandAcknowledged(preset).answered() && allTaken;
    return allTaken;
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

void VCR::sayLowLatency()
{
    const serial::LowLatency got = sop_->lowLatency();
    if (!got.usbAdapter)
        return;
    const std::string latency = got.latencyMs ? std::to_string(*got.latencyMs) + " ms" : "unknown";
    Utils::OutLine(consoleName() + "USB adapter latency " + latency + (got.why.empty() ? "" : " (" + got.why + ")"));
}

std::string VCR::consoleName() const
{
    return type_ ? "Record VCR: " : "Play VCR: ";
}
