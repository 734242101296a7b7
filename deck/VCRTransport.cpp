#include "deck/VCR.h"

#include "deck/TCThread.h"

void VCR::play()
{
    CommandB0(bsplay);
    moving_ = 1;
}

void VCR::pause()
{
    CommandB0(bspause);
}

void VCR::stopvcr()
{
    CommandB0(bsstop);
    moving_ = 0;
    SettleDown();
}

void VCR::forward()
{
    CommandB0(bsforward);
    moving_ = 1;
    SettleDown();
}

void VCR::rewind()
{
    CommandB0(bsrewind);
    moving_ = 1;
    SettleDown();
}

void VCR::jogf()
{
    CommandB0(bsjogf);
    moving_ = 0;
    SettleDown();
}

void VCR::jogr()
{
    CommandB0(bsjogr);
    moving_ = 0;
    SettleDown();
}

void VCR::sbyon()
{
    CommandB0(bssbyon);
    moving_ = 0;
    SettleDown();
}

void VCR::sbyoff()
{
    CommandB0(bssbyoff);
    moving_ = 0;
    SettleDown();
}

void VCR::sbyonoff()
{
    if (standby_)
        sbyoff();
    else
        sbyon();
}

void VCR::record()
{
    CommandB0(bsrecord);
    moving_ = 1 - moving_;
    SettleDown();
}

void VCR::eject()
{
    CommandB0(bseject);
    moving_ = 0;
}

void VCR::toggleee(bool on)
{
    CommandB0(on ? bseeon : bseeoff);
}

void VCR::shutfwd(int speed)
{
    CommandB0(withDataByte(bsshutfwd, speed));
}

void VCR::shutrev(int speed)
{
    CommandB0(withDataByte(bsshutrev, speed));
}

Reply VCR::setemode(std::uint8_t mode)
{
    return sendPreset(withDataByte(bseditpreset, mode));
}

Packet VCR::withDataByte(Packet& packet, int value)
{
    std::lock_guard lock(stateMutex_);
    packet[2] = static_cast<std::uint8_t>(value);
    packet[3] = static_cast<std::uint8_t>(packet[0] + packet[1] + packet[2]);
    return packet;
}

void VCR::editstop()
{
    CommandB0(bseditoff);
    CommandB0(bsstop);
}

void VCR::status()
{
    CommandStatus();
}

void VCR::setmoving(int value)
{
    moving_ = value;
}

// A transport command that changes the tape's motion cancels a pending cue and play and the
// accepted edit duration.
void VCR::SettleDown()
{
    setcueplay(false);
    duration_ = 0;
    TellTCReview(false);
}

void VCR::TellTCReview(bool flag)
{
    std::lock_guard lock(stateMutex_);
    if (tcthread_)
        tcthread_->setreviewclip(flag);
}
