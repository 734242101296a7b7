#include "deck/VCR.h"

#include "deck/CueThread.h"
#include "deck/LongWaits.h"
#include "deck/RecordGuard.h"
#include "deck/ReplyBlock.h"
#include "deck/TCThread.h"
#include "deck/Utils.h"
#include "deck/VCRPort.h"
#include "serial/backend/LinuxSerialBackend.h"

#include <algorithm>
#include <cstdio>

const Packet VCR::bsplay{0x20, 0x01, 0x21};
const Packet VCR::bsstop{0x20, 0x00, 0x20};
const Packet VCR::bsrecord{0x20, 0x02, 0x22};
const Packet VCR::bspause{0x21, 0x13, 0x00, 0x34};
const Packet VCR::bsforward{0x20, 0x10, 0x30};
const Packet VCR::bsrewind{0x20, 0x20, 0x40};
const Packet VCR::bseject{0x20, 0x0F, 0x2F};
const Packet VCR::bseeon{0x20, 0x61, 0x81};
const Packet VCR::bseeoff{0x20, 0x60, 0x80};
const Packet VCR::bsjogf{0x21, 0x11, 0x10, 0x42};
const Packet VCR::bsjogr{0x21, 0x21, 0x10, 0x52};
const Packet VCR::bssbyon{0x20, 0x05, 0x25};
const Packet VCR::bssbyoff{0x20, 0x04, 0x24};
const Packet VCR::bspreview{0x20, 0x40, 0x60};
const Packet VCR::bsreview{0x20, 0x41, 0x61};
const Packet VCR::bspreroll{0x20, 0x30, 0x50};
const Packet VCR::bsediton{0x20, 0x65, 0x85};
const Packet VCR::bseditoff{0x20, 0x64, 0x84};
const Packet VCR::bsgetstatus{0x61, 0x20, 0x09, 0x8A};
const Packet VCR::bsgettc{0x61, 0x0C, 0x03, 0x70};
const Packet VCR::bssettimemode{0x41, 0x36, 0x00, 0x77};
const Packet VCR::bssetbvw75{0xF3, 0x02, 0xD0, 0x00, 0x10, 0xD5};
Packet VCR::bssetcompression{0xF3, 0x02, 0xA1, 0x05, 0x00, 0x00};
Packet VCR::bssetvideomode{0xF3, 0x02, 0x10, 0x02, 0x00, 0x00};
Packet VCR::bssetvideotype{0xF3, 0x02, 0x40, 0x00, 0x00, 0x00};

namespace {

// Status reply positions and bits.
constexpr int transportByte = 3;
constexpr int modeByte = 4;
constexpr int precueByte = 6;
constexpr int editByte = 6;
constexpr std::uint8_t editBit = 0x10;
constexpr std::uint8_t playBit = 0x01, recordBit = 0x02, forwardBit = 0x04, rewindBit = 0x08, stopBit = 0x20,
                       standbyBit = 0x80;
constexpr std::uint8_t cuedUpBit = 0x01, reverseBit = 0x04, varBit = 0x08, jogBit = 0x10, shuttleBit = 0x20;
constexpr std::uint8_t precueBit = 0x01;
constexpr int fullStatusLength = 8;
constexpr int timeReplyLength = 7;
constexpr std::uint8_t dropFrameBit = 0x40;

// Time data: frames, seconds, minutes and hours bytes, two BCD digits each. The bits above
// the tens digit carry flags a deck may set: frames bits 7-6 (colour frame, drop-frame),
// seconds and minutes bit 7, hours bits 7-6.
constexpr int framesByte = 2, secondsByte = 3, minutesByte = 4, hoursByte = 5;
constexpr std::uint8_t twoBitTens = 0x03, threeBitTens = 0x07;
// No base has more labels a second.
constexpr int mostLabelsPerSecond = 30;

// The RECON set-up packets are shared by both decks, which are built one after the other.
std::mutex reconPacketsMutex;

// The value of a BCD byte whose tens digit is the bits tensMask keeps of its high nibble;
// nothing when its units digit is above 9.
std::optional<int> bcdField(std::uint8_t b, std::uint8_t tensMask)
{
    const int units = b & 0x0F;
    if (units > 9)
        return std::nullopt;
    return ((b >> 4) & tensMask) * 10 + units;
}

std::string labelText(int hours, int minutes, int seconds, int frames)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", hours, minutes, seconds, frames);
    return text;
}

}

namespace {

// Until its panel is attached a deck shows nothing: the replies to the set-up packets at
// start-up come before the panel is built.
class Unseen : public DeckView {
public:
    void ShowTC(const std::string&) override {}
    void ShowStatus(const std::string&) override {}
    void ShowPolledStatus(const std::string&) override {}
    void showTransport(const TransportLamps&) override {}
    void showRecordTally(bool) override {}
    void showAlarm(const std::string&) override {}
    std::string pointText(Point) const override { return "00:00:00:00"; }
    void showPoint(Point, const std::string&) override {}
    void showOutPointRefused(bool) override {}
    void hilightinout(bool, bool) override {}
    void lockForCue() override {}
    void unlockAfterCue() override {}
};

}

VCR::VCR(const std::string& comport, bool lanc, bool type, ReconSetUp recon)
    : comport_(comport),
      lanc_(lanc),
      type_(type),
      recon_(recon),
      view_(std::make_unique<Unseen>()),
      guard_(std::make_unique<RecordGuard>(*this))
{
    MakeSerial();
    Utils::OutLine(type_ ? "Setting Up Record VCR" : "Setting Up Play VCR");
    if (recon_.on)
        setUpRecon();
    CommandB0(bssettimemode);
}

VCR::~VCR()
{
    // The threads use the view and the link: they go first.
    std::unique_ptr<TCThread> poller;
    {
        std::lock_guard lock(stateMutex_);
        poller = std::move(tcthread_);
    }
    poller.reset();
    guard_.reset();
    cuethread_.reset();
    view_.reset();
    sop_.reset();
}

void VCR::setUpRecon()
{
    Utils::OutLine("Setting BVW75 Mode on RECON");
    CommandB0(bssetbvw75);
    DelayT(4000);
    Utils::OutLine("Setting Compression on RECON = " + std::to_string(recon_.compression));
    CommandB0(withReconValue(bssetcompression, recon_.compression));
    Utils::OutLine("Setting PAL/NTSC Mode to " + std::to_string(recon_.videomode));
    CommandB0(withReconValue(bssetvideomode, recon_.videomode));
    Utils::OutLine("Setting PAL/NTSC Mode to " + std::to_string(recon_.videotype));
    CommandB0(withReconValue(bssetvideotype, recon_.videotype));
}

Packet VCR::withReconValue(Packet& shared, int value)
{
    std::lock_guard lock(reconPacketsMutex);
    shared[3] = static_cast<std::uint8_t>(value);
    MakeCSUM(shared);
    return shared;
}

void VCR::MakeSerial()
{
    sop_ = std::make_unique<VCRPort>(comport_, lanc_);
    if (sop_->bad) {
        Utils::OutLine("Serial port " + comport_ + " for cam not available.");
        if (std::string hint = notAvailableHint(comport_, sop_->openFailure); !hint.empty())
            Utils::OutLine(hint);
        LongWaits::pause(std::chrono::milliseconds(5000));
        Utils::ExitProcess(0);
    }
    Utils::OutLine("Serial Port " + comport_ + " Opened OK");
    sayLowLatency();
    sop_->setwait(15);
}

std::string VCR::notAvailableHint(const std::string& comport, int openFailure)
{
    if (openFailure == serial::LinuxSerialBackend::PermissionDenied)
        return "Permission denied on " + comport
               + ": add your user to the dialout group (sudo usermod -aG dialout $USER) and log in again";
    if (openFailure == serial::SerialBackend::InUse)
        return "Serial port " + comport + " is held by another program: close that program and start again";
    return "";
}

void VCR::MakeCSUM(Packet& packet)
{
    int sum = 0;
    for (int i = 0; i < 5; ++i)
        sum += packet[i];
    packet[5] = static_cast<std::uint8_t>(sum);
}

Reply VCR::CommandB0(const Packet& packet)
{
    return took(sop_->SendSerial(packet));
}

Reply VCR::CommandAcknowledged(const Packet& packet)
{
    // These commands do no harm twice. A refused one goes again at once: a deck answers in a
    // few milliseconds and a USB adapter adds its 16, so a second edit on or edit off still
    // lands in the frame meant for the first. One whose acknowledgement was lost or garbled
    // goes again only once the link is back in step (the line quiet for the adapter allowance
    // and a status request answered), some 30 to 70 ms later: the deck most likely took the
    // first.
    constexpr int attempts = 3;
    Reply reply;
    for (int attempt = 0; attempt < attempts && online(); ++attempt) {
        reply = CommandB0(packet);
        if (reply.answered())
            break;
    }
    return reply;
}

std::pair<Reply, Reply> VCR::playStaggered(VCR& first, VCR& second, std::chrono::steady_clock::duration delay)
{
    const auto replies = VCRPort::SendStaggered(*first.sop_, bsplay, *second.sop_, bsplay, delay);
    first.took(replies.first);
    first.moving_ = 1;
    second.took(replies.second);
    second.moving_ = 1;
    return replies;
}

std::optional<VCR::TimeReading> VCR::readTimeCode()
{
    Reply reply;
    const auto time = readAndShowTimeCode(reply);
    if (!time || !time->frame)
        return std::nullopt;
    return TimeReading{*time->frame, reply.asked, reply.written, reply.arrived, time->dropFrameFlag};
}

std::optional<VCR::DecodedTime> VCR::readAndShowTimeCode(Reply& reply)
{
    reply = CommandB0(bsgettc);
    const auto time = timeCodeOf(reply);
    if (time)
        showTimeCode(*time);
    return time;
}

void VCR::holdPolling(bool held)
{
    // Not under the state lock: the poll being waited for takes it.
    if (TCThread* poller = pollingThread())
        poller->hold(held);
}

Reply VCR::took(const Reply& reply)
{
    {
        std::lock_guard lock(stateMutex_);
        SerIn = reply;
    }
    if (reply.outcome == Reply::Outcome::Refused || reply.outcome == Reply::Outcome::Bad)
        reportReplyFailure(reply);
    if (!sop_->online())
        sayOfflineOnce();
    return reply;
}

void VCR::reportReplyFailure(const Reply& reply)
{
    // A refusal or a bad reply is never read as status or time code: the deck keeps what it
    // last showed, and the operator learns why.
    reportFailure(reply.outcome == Reply::Outcome::Refused ? "DECK NAK: " + ReplyBlock::nakReason(reply[2])
                                                           : std::string("BAD DECK REPLY"));
}

void VCR::reportFailure(const std::string& text)
{
    ShowStat(text);
    bool first = false;
    {
        std::lock_guard lock(stateMutex_);
        first = reportedFailures_.insert(text).second;
    }
    if (first)
        Utils::OutLine(std::string(type_ ? "Record VCR: " : "Play VCR: ") + text);
}

void VCR::CommandStatus()
{
    readStatus();
}

std::optional<DeckStatus> VCR::readStatus(int attempts)
{
    std::optional<DeckStatus> status;
    for (int attempt = 0; attempt < attempts && !status; ++attempt)
        status = readStatus();
    return status;
}

std::optional<DeckStatus> VCR::readStatus()
{
    const Reply reply = CommandB0(bsgetstatus);
    // The panel says the deck is offline until it is back.
    if (!sop_->online())
        return std::nullopt;
    if (reply.answered() && reply.count >= fullStatusLength) {
        std::string text = ExtractStatusString(reply);
        {
            std::lock_guard lock(stateMutex_);
            StatusString = text;
        }
        view_->ShowPolledStatus(text);
    }
    if (reply.count == 0 && sop_->hasOutStream())
        view_->ShowPolledStatus("No VCR Status");
    if (!sop_->hasOutStream())
        view_->ShowPolledStatus("No VCR Detected");
    return DeckStatus::from(reply);
}

std::string VCR::ExtractStatusString(const Reply& reply)
{
    const std::uint8_t transport = reply[transportByte];
    const std::uint8_t mode = reply[modeByte];
    DeckView::TransportLamps lamps;
    lamps.play = transport & playBit;
    lamps.forward = transport & forwardBit;
    lamps.rewind = transport & rewindBit;
    lamps.stop = transport & stopBit;
    lamps.standby = transport & standbyBit;
    lamps.shuttle = mode & shuttleBit;
    lamps.jogForward = (mode & jogBit) && !(mode & reverseBit);
    lamps.jogReverse = (mode & jogBit) && (mode & reverseBit);
    std::string text;
    if (lamps.play)
        text += "Play ";
    if (transport & recordBit)
        text += "Rec ";
    if (lamps.forward)
        text += "FF ";
    if (lamps.rewind)
        text += "REW ";
    if (lamps.stop)
        text += "Stop ";
    standby_ = lamps.standby;
    if (lamps.standby)
        text += "Stby ";
    if (lamps.shuttle)
        text += "Shuttle ";
    if (mode & jogBit)
        text += "Jog ";
    view_->showTransport(lamps);
    rollingAtPlaySpeed_ = (transport & playBit) && !(transport & (forwardBit | rewindBit))
        && !(mode & (shuttleBit | jogBit | varBit));
    view_->showRecordTally((transport & recordBit) || (reply[editByte] & editBit));
    const bool cuedUp = (mode & cuedUpBit) != 0;
    // A reply to a status request made before the running cue was acknowledged speaks of
    // the position before that cue.
    if (reply.exchange >= cueStatusFrom_)
        cuedup_ = cuedUp;
    if (cuedUp)
        text += "CuedUp ";
    if (reply[precueByte] & precueBit)
        text += "PreCue ";
    return text;
}

bool VCR::CommandB8()
{
    Reply reply;
    return readAndShowTimeCode(reply).has_value();
}

std::optional<VCR::DecodedTime> VCR::timeCodeOf(const Reply& reply)
{
    if (!reply.answered() || reply.count < timeReplyLength)
        return std::nullopt;
    const auto hours = bcdField(reply[hoursByte], twoBitTens);
    const auto minutes = bcdField(reply[minutesByte], threeBitTens);
    const auto seconds = bcdField(reply[secondsByte], threeBitTens);
    const auto frames = bcdField(reply[framesByte], twoBitTens);
    if (!hours || !minutes || !seconds || !frames || *hours >= TimeBase::hoursPerDay || *minutes >= 60 || *seconds >= 60
        || *frames >= mostLabelsPerSecond) {
        // A block that answers with time data which is no time code: never shown or used.
        reportFailure("BAD DECK REPLY");
        return std::nullopt;
    }
    // The frames byte's bit 6 says the deck counts drop-frame.
    const bool dropFrameFlag = (reply[framesByte] & dropFrameBit) != 0;
    const TimeBase base = configuredBase_.load().forDropFrameFlag(dropFrameFlag);
    return DecodedTime{labelText(*hours, *minutes, *seconds, *frames), base.frameOf(*hours, *minutes, *seconds, *frames),
                       dropFrameFlag, base};
}

void VCR::showTimeCode(const DecodedTime& time)
{
    {
        std::lock_guard lock(stateMutex_);
        TCString = time.label;
    }
    noteDropFrameFlag(time.dropFrameFlag);
    view_->ShowTC(time.label);
}

void VCR::GetTC()
{
    std::lock_guard lock(stateMutex_);
    if (!sop_->hasOpenPort() || tcthread_)
        return;
    tcthread_ = std::make_unique<TCThread>(this, lanc_);
    tcthread_->start();
}

void VCR::ShowStat(const std::string& text)
{
    view_->ShowStatus(text);
}

void VCR::DelayT(int ms)
{
    Utils::DelayT(ms);
}

std::string VCR::timecode() const
{
    std::lock_guard lock(stateMutex_);
    return TCString;
}

std::string VCR::timecodeNow()
{
    const auto pressed = std::chrono::steady_clock::now();
    constexpr int tries = 3;
    for (int attempt = 0; attempt < tries; ++attempt) {
        Reply reply;
        if (const auto time = readAndShowTimeCode(reply))
            return backTo(*time, reply.written - pressed);
    }
    return timecode();
}

std::string VCR::backTo(const DecodedTime& time, std::chrono::steady_clock::duration late) const
{
    // The reading may wait for a poll's exchange on the link; while the tape rolls at play
    // speed the frames that passed meanwhile are taken off, so the point is the press's.
    if (!rollingAtPlaySpeed_ || !time.frame)
        return time.label;
    const auto lateMs = std::chrono::duration_cast<std::chrono::milliseconds>(late).count();
    const auto passed = static_cast<int>(std::clamp<std::int64_t>(time.base.framesIn(lateMs), 0, *time.frame));
    return time.base.labelOf(*time.frame - passed);
}

std::string VCR::statusText() const
{
    std::lock_guard lock(stateMutex_);
    return StatusString;
}

Reply VCR::lastReply() const
{
    std::lock_guard lock(stateMutex_);
    return SerIn;
}

TCThread* VCR::pollingThread() const
{
    std::lock_guard lock(stateMutex_);
    return tcthread_.get();
}

void VCR::attachView(std::unique_ptr<DeckView> view)
{
    view_ = std::move(view);
}

void VCR::reconcileWith(std::function<void()> reconciler)
{
    std::lock_guard lock(stateMutex_);
    reconciler_ = std::move(reconciler);
}
