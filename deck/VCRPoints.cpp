// Time code arithmetic and edit points of a deck.

#include "deck/VCR.h"

#include "app/Kestrix.h"
#include "deck/InvalidTimeCode.h"
#include "ui/EVCR.h"
#include "ui/VCRPanel.h"

#include <array>

namespace {

constexpr int framesPerSecond = 30;
constexpr int framesPerMinute = 1800;
constexpr int framesPerHour = 108000;
const QColor outPointRefused = Qt::gray;

// The eight digits of HH:MM:SS:FF (hours tens first); the separators are not read.
std::array<int, 8> digitsOf(const std::string& tc)
{
    static constexpr std::array<int, 8> positions{0, 1, 3, 4, 6, 7, 9, 10};
    if (tc.size() != 11)
        throw InvalidTimeCode(tc);
    std::array<int, 8> digits{};
    for (std::size_t i = 0; i < positions.size(); ++i) {
        char c = tc[positions[i]];
        if (c < '0' || c > '9')
            throw InvalidTimeCode(tc);
        digits[i] = c - '0';
    }
    return digits;
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
    auto d = digitsOf(tc);
    return d[0] * 1080000 + d[1] * framesPerHour + d[2] * 18000 + d[3] * framesPerMinute + d[4] * 300
        + d[5] * framesPerSecond + d[6] * 10 + d[7];
}

void VCR::CalcDuration()
{
    int in = calcframes(localgui->cuefield.text());
    int out = calcframes(localgui->endfield.text());
    duration = out - in;
    durationfr = duration % framesPerSecond;
    durationsec = duration / framesPerSecond;
}

void VCR::makeout(int frames)
{
    if (frames <= 0)
        return;
    int total = calcframes(localgui->cuefield.text()) + frames;
    int hours = total / framesPerHour;
    int minutes = total % framesPerHour / framesPerMinute;
    int seconds = total % framesPerMinute / framesPerSecond;
    int rest = total % framesPerSecond;
    // The digit rules of the time code display: the hours and frames tens take two bits.
    std::string out = "00:00:00:00";
    out[0] = bcd[hours / 10 % 4];
    out[1] = bcd[hours % 10];
    out[3] = bcd[minutes / 10 % 10];
    out[4] = bcd[minutes % 10];
    out[6] = bcd[seconds / 10 % 10];
    out[7] = bcd[seconds % 10];
    out[9] = bcd[rest / 10 % 4];
    out[10] = bcd[rest % 10];
    {
        std::lock_guard lock(stateMutex_);
        D = out;
    }
    setfield(out, localgui->endfield);
    setdirectin();
}

void VCR::MakeCueString(const std::string& tc)
{
    auto d = digitsOf(tc);
    if (lanc)
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

void VCR::setfield(const std::string& tc, ui::TextField& field)
{
    localgui->settcfield(tc, field);
}

void VCR::setcue(int which)
{
    setfield(localgui->cuefield.text(), localgui->cuefield);
    setfield(localgui->endfield.text(), localgui->endfield);
    MakeCueString(which == 0 ? localgui->cuefield.text() : localgui->endfield.text());
}

void VCR::setdirectin()
{
    setcue(0);
    CommandB0(packetCopy(bsindata));
    inok = true;
    setdirectout();
}

void VCR::setdirectout()
{
    outok = false;
    setcue(1);
    CommandB0(packetCopy(bsoutdata));
    CalcDuration();
    if (duration <= 0) {
        localgui->ShowStatus("OUTPOINT NOT VALID");
        DelayT(500);
        // The deck's out point goes back to zero time.
        MakeCueString("00:00:00:00");
        CommandB0(packetCopy(bsoutdata));
        localgui->endfield.setBackground(outPointRefused);
    } else {
        localgui->endfield.setBackground(VCRPanel::backgroundcol);
        localgui->ShowStatus("EDIT POINTS OK");
        outok = true;
    }
    localgui->hilightinout(inok, outok);
}

void VCR::setcue()
{
    setfield(timecode(), localgui->cuefield);
    setdirectin();
    reconcile();
}

void VCR::setreview()
{
    setfield(timecode(), localgui->endfield);
    setdirectin();
    reconcile();
}

void VCR::reconcile()
{
    if (Kestrix::evcr)
        Kestrix::evcr->reconcile(type);
}

Packet VCR::packetCopy(const Packet& packet) const
{
    std::lock_guard lock(stateMutex_);
    return packet;
}

void VCR::setadjust(int n)
{
    adjust = n;
}
