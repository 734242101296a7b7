#pragma once

#include "deck/Reply.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class VCRPort;
class VCRPanel;
class TCThread;
class CueThread;
namespace ui {
class TextField;
}

using Packet = std::vector<std::uint8_t>;

// The controller of one tape deck: its serial link, its command packets, the decoding of its
// status and time code, transport, edit points, cueing and preroll, and its panel. One for
// the player deck (type false) and one for the recorder deck (type true).
//
// The operations are spread over files by topic: VCR.cpp (construction, command set,
// status and time code), VCRTransport.cpp, VCRPoints.cpp (time code arithmetic and edit
// points), VCRCue.cpp (cueing, preroll, review).
class VCR {
public:
    // Packets shared by every deck; fixed except the three RECON set-up packets, whose value
    // byte each deck sets before it sends them.
    static const Packet bsplay, bsstop, bsrecord, bspause, bsforward, bsrewind, bseject, bseeon, bseeoff,
        bsjogf, bsjogr, bssbyon, bssbyoff, bspreview, bsreview, bspreroll, bsediton, bseditoff, bsgetstatus,
        bsgettc, bssettimemode, bssetbvw75;
    static Packet bssetcompression, bssetvideomode, bssetvideotype;
    static constexpr const char* bcd = "0123456789";

    VCR(const std::string& comport, bool lanc, bool type);
    // Stops this deck's threads; the program never destroys a deck, tests do.
    ~VCR();
    VCR(const VCR&) = delete;
    VCR& operator=(const VCR&) = delete;

    // --- command set, status and time code ---
    void MakeSerial();
    static void MakeCSUM(Packet& packet);
    // The console line that tells the operator how to fix a port that did not open, or an
    // empty text when there is nothing to tell.
    static std::string notAvailableHint(const std::string& comport, int openFailure);
    Reply CommandB0(const Packet& packet);
    void CommandStatus();
    std::string ExtractStatusString(const Reply& reply);
    void CommandB8();
    void TCBCD(std::uint8_t b, int pos);
    void TCFBCD(std::uint8_t b, int pos);
    void GetTC();
    void ShowStat(const std::string& text);
    static void DelayT(int ms);

    // --- transport ---
    void play();
    void pause();
    void stopvcr();
    void forward();
    void rewind();
    void jogf();
    void jogr();
    void sbyon();
    void sbyoff();
    void sbyonoff();
    void record();
    void eject();
    void toggleee(bool on);
    void shutfwd(int speed);
    void shutrev(int speed);
    void setemode(std::uint8_t mode);
    void editstop();
    void status();
    void setmoving(int value);
    void SettleDown();
    void TellTCReview(bool flag);

    // --- time code arithmetic and edit points ---
    // A text that is not a time code throws InvalidTimeCode.
    int calcframes(const std::string& tc) const;
    void CalcDuration();
    void makeout(int frames);
    void MakeCueString(const std::string& tc);
    void setfield(const std::string& tc, ui::TextField& field);
    void setcue(int which);
    void setdirectin();
    void setdirectout();
    void setcue();
    void setreview();
    void reconcile();
    void setadjust(int n);

    // --- cueing, preroll and review ---
    void cue(int which);
    void cueplay(int which);
    void cuein();
    void cueout();
    void CueUp();
    void makepreroll(int seconds);
    void setpreroll();
    void dopreroll();
    void preview();
    void review();
    bool getcueplay() const { return cueplay_; }
    void setcueplay(bool flag) { cueplay_ = flag; }
    void setcuedup(bool flag) { cuedup = flag; }

    // --- read access for the panels, the edit controller and tests ---
    VCRPanel& panel() { return *localgui; }
    VCRPort& link() { return *sop; }
    bool isRecorder() const { return type; }
    bool isLanc() const { return lanc; }
    std::string timecode() const;
    std::string statusText() const;
    // A copy of one of this deck's packets, taken while no other thread is filling it.
    Packet packetCopy(const Packet& packet) const;

    // Per-deck packets; the variable bytes are filled by the operation that sends them.
    Packet bsshutfwd{0x21, 0x13, 0x20, 0x00};
    Packet bsshutrev{0x21, 0x23, 0x20, 0x00};
    Packet bssetpreroll{0x44, 0x31, 0x00, 0x05, 0x00, 0x00, 0x7A};
    Packet bscue{0x24, 0x31, 0x00, 0x01, 0x01, 0x00, 0x57};
    Packet bsindata{0x44, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00};
    Packet bsoutdata{0x44, 0x15, 0x00, 0x00, 0x00, 0x00, 0x00};
    Packet bseditpreset{0x41, 0x30, 0x00, 0x00};

    std::unique_ptr<TCThread> tcthread;
    std::unique_ptr<CueThread> cuethread;
    // Cue threads that were replaced by a newer one; kept until the deck is destroyed, since
    // nothing waits for or stops a cue thread.
    std::vector<std::unique_ptr<CueThread>> oldcuethreads;
    bool lanc = false;
    std::atomic<bool> standby{false};
    int adjust = 0;
    std::string TC = "00:00:00:00";
    std::string D = "00:00:00:00";
    std::string CueString = "00:00:00:00";
    std::string OSString = "00:00:00:00";
    std::string PRString = "00:00:00:00";
    std::string TCString = "00:00:00:00";
    std::string StatusString;
    Reply SerIn;
    int NumBytes = 0;
    std::atomic<int> moving{0};
    std::atomic<int> duration{0};
    std::atomic<int> durationsec{0};
    std::atomic<int> durationfr{0};
    std::atomic<bool> cuedup{false};
    std::string comport;
    std::unique_ptr<VCRPanel> localgui;
    std::unique_ptr<VCRPort> sop;
    bool type = false;
    bool recon = false;
    int compression = 4;
    int videomode = 2;
    int videotype = 0;
    std::atomic<bool> inok{false};
    std::atomic<bool> outok{false};

private:
    void setUpRecon();
    // Puts a settings value into byte 3 of a shared RECON packet, checksums it and returns
    // the packet to send.
    static Packet withReconValue(Packet& shared, int value);
    // Puts value into byte 2 of a one-byte-data packet of this deck with its checksum and
    // returns the packet to send.
    Packet withDataByte(Packet& packet, int value);
    // Cues to the in point (0) or the out point (1), and plays there when asked.
    void cueTo(int which, bool thenPlay);

    std::atomic<bool> cueplay_{false};
    // Guards TC, TCString, StatusString and the packets, which the polling thread, cue
    // threads and the operator thread all touch.
    mutable std::mutex stateMutex_;
};
