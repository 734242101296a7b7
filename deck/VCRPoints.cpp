// Time code arithmetic and edit points of a deck.

#include "deck/VCR.h"

#include "deck/InvalidTimeCode.h"

#include <array>
#include <cstdint>

namespace {

const char* const outPointRefusedText = "OUTPOINT NOT VALID";

int frameOn(const TimeBase& base, const std::string& tc)
{
    std::optional<int> frame = base.frameOf(tc);
    if (!frame)
        throw InvalidTimeCode(tc);
    return *frame;
}

// The eight digits of a label (hours tens first); the separators are not read.
std::array<int, 8> digitsOf(const std::string& label)
{
    static constexpr std::array<std::size_t, 8> positions{0, 1, 3, 4, 6, 7, 9, 10};
    std::array<int, 8> digits{};
    for (std::size_t i = 0; i < positions.size(); ++i)
        digits[i] = label[positions[i]] - '0';
    return digits;
}

// Both edit points are checked before either is sent, so a wrongly typed one sends nothing.
void checkPoints(const VCR& vcr, const DeckView& view)
{
    vcr.calcframes(view.pointText(DeckView::Point::In));
    vcr.calcframes(view.pointText(DeckView::Point::Out));
}

std::uint8_t bcdByte(int tens, int units)
{
    return static_cast<std::uint8_t>(tens * 16 + units);
}

std::uint8_t sumOf(const Packet& packet, std::size_t from, std::size_t to)
{
    unsigned sum = 0;
    for (std::size_t i = from; i < to; ++i)
        sum += packet[i];
    return static_cast<std::uint8_t>(sum);
}

}

int VCR::calcframes(const std::string& tc) const
{
    return frameOn(timeBase(), tc);
}

void VCR::CalcDuration()
{
    const TimeBase base = timeBase();
    const int in = frameOn(base, view_->pointText(DeckView::Point::In));
    const int out = frameOn(base, view_->pointText(DeckView::Point::Out));
    const int length = out - in;
    duration_ = length;
    durationfr_ = length % base.labelsPerSecond();
    durationsec_ = length / base.labelsPerSecond();
}

void VCR::makeout(int frames)
{
    if (frames <= 0)
        return;
    const TimeBase base = timeBase();
    const std::int64_t total = std::int64_t{frameOn(base, view_->pointText(DeckView::Point::In))} + frames;
    if (total >= base.framesPerDay()) {
        // Time code ends with the day: such an out point cannot be reached on tape.
        view_->ShowStatus(outPointRefusedText);
        return;
    }
    const std::string out = base.labelOf(static_cast<int>(total));
    setfield(out, DeckView::Point::Out);
    setdirectin();
}

void VCR::MakeCueString(const std::string& tc)
{
    // A label the deck's base does not have is never sent.
    frameOn(timeBase(), tc);
    auto d = digitsOf(tc);
    if (lanc_)
        d[7] &= ~1; // a LANC deck cues to even frames only
    std::lock_guard lock(stateMutex_);
    CueString = tc;
    bscue[2] = bcdByte(d[6], d[7]);
    bscue[3] = bcdByte(d[4], d[5]);
    bscue[4] = bcdByte(d[2], d[3]);
    bscue[5] = bcdByte(d[0], d[1]);
    bscue[6] = sumOf(bscue, 0, 6);
    for (int i = 2; i <= 5; ++i) {
        bsindata[i] = bscue[i];
        bsoutdata[i] = bscue[i];
    }
    bsindata[6] = static_cast<std::uint8_t>(sumOf(bsindata, 2, 6) + 0x58);
    bsoutdata[6] = static_cast<std::uint8_t>(sumOf(bsoutdata, 2, 6) + 0x59);
}

void VCR::setfield(const std::string& tc, DeckView::Point point)
{
    view_->showPoint(point, tc);
}

void VCR::takeTypedPoints()
{
    setfield(view_->pointText(DeckView::Point::In), DeckView::Point::In);
    setfield(view_->pointText(DeckView::Point::Out), DeckView::Point::Out);
}

void VCR::setcue(int which)
{
    takeTypedPoints();
    MakeCueString(view_->pointText(which == 0 ? DeckView::Point::In : DeckView::Point::Out));
}

void VCR::setdirectin()
{
    checkPoints(*this, *view_);
    setcue(0);
    sendPreset(packetCopy(bsindata));
    inok_ = true;
    setdirectout();
}

void VCR::setdirectout()
{
    checkPoints(*this, *view_);
    outok_ = false;
    setcue(1);
    sendPreset(packetCopy(bsoutdata));
    CalcDuration();
    if (duration_ <= 0) {
        view_->ShowStatus(outPointRefusedText);
        DelayT(500);
        // The deck's out point goes back to zero time.
        MakeCueString("00:00:00:00");
        sendPreset(packetCopy(bsoutdata));
        view_->showOutPointRefused(true);
    } else {
        view_->showOutPointRefused(false);
        view_->ShowStatus("EDIT POINTS OK");
        outok_ = true;
    }
    view_->hilightinout(inok_, outok_);
}

void VCR::setcue()
{
    setfield(timecodeNow(), DeckView::Point::In);
    setdirectin();
    reconcile();
}

void VCR::setreview()
{
    setfield(timecodeNow(), DeckView::Point::Out);
    setdirectin();
    reconcile();
}

void VCR::reconcile()
{
    std::function<void()> reconciler;
    {
        std::lock_guard lock(stateMutex_);
        reconciler = reconciler_;
    }
    if (reconciler)
        reconciler();
}

Packet VCR::packetCopy(const Packet& packet) const
{
    std::lock_guard lock(stateMutex_);
    return packet;
}

std::string VCR::cueString() const
{
    std::lock_guard lock(stateMutex_);
    return CueString;
}

Packet VCR::cuePacket() const
{
    return packetCopy(bscue);
}

Packet VCR::inPointPacket() const
{
    return packetCopy(bsindata);
}

Packet VCR::outPointPacket() const
{
    return packetCopy(bsoutdata);
}

void VCR::setadjust(int n)
{
    adjust_ = n;
}

TimeBase VCR::timeBase() const
{
    return activeBase_;
}

void VCR::setTimeBase(TimeBase base)
{
    configuredBase_ = base;
    activeBase_ = base;
    flagRun_ = 0;
}

void VCR::noteDropFrameFlag(bool flag)
{
    // A deck or a line that loses the flag now and then must not renumber the tape under the
    // points: the base follows the flag once a few replies in a row agree on it.
    constexpr int repliesToSwitch = 3;
    const TimeBase flagged = configuredBase_.load().forDropFrameFlag(flag);
    if (flagged == activeBase_.load()) {
        flagRun_ = 0;
        return;
    }
    if (++flagRun_ >= repliesToSwitch) {
        activeBase_ = flagged;
        flagRun_ = 0;
    }
}
