#pragma once

#include "deck/DeckStatus.h"
#include "deck/DeckView.h"
#include "deck/Reply.h"
#include "deck/TimeBase.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

class VCRPort;
class TCThread;
class CueThread;
class RecordGuard;

using Packet = std::vector<std::uint8_t>;

// The extra set-up a RECON device gets when its port opens; none for any other deck.
struct ReconSetUp {
    bool on = false;
    int compression = 4;
    int videomode = 2;
    int videotype = 0;
};

// The controller of one tape deck: its serial link, its command packets, the decoding of its
// status and time code, transport, edit points, cueing and preroll. It shows what it does on
// a DeckView (its panel in service). One for the player deck (type false) and one for the
// recorder deck (type true).
//
// The operations are spread over files by topic: VCR.cpp (construction, command set,
// status and time code), VCRTransport.cpp, VCRPoints.cpp (time code arithmetic and edit
// points), VCRCue.cpp (cueing, preroll, review), VCRLink.cpp (a port that fails and comes
// back).
class VCR {
public:
    // Packets shared by every deck.
    static const Packet bsplay, bsstop, bsrecord, bspause, bsforward, bsrewind, bseject, bseeon, bseeoff,
        bsjogf, bsjogr, bssbyon, bssbyoff, bspreview, bsreview, bspreroll, bsediton, bseditoff, bsgetstatus,
        bsgettc, bssettimemode, bssetbvw75;

    VCR(const std::string& comport, bool lanc, bool type, ReconSetUp recon = {});
    // Stops this deck's threads; the program never destroys a deck, tests do.
    ~VCR();
    VCR(const VCR&) = delete;
    VCR& operator=(const VCR&) = delete;

    // --- command set, status and time code ---
    static void MakeCSUM(Packet& packet);
    // The console line that tells the operator how to fix a port that did not open, or an
    // empty text when there is nothing to tell.
    static std::string notAvailableHint(const std::string& comport, int openFailure);
    Reply CommandB0(const Packet& packet);
    // For a command that must be carried out (play, edit on and off, stop, cue, the point
    // presets): sent again (a few tries) while the deck refuses it or its acknowledgement is
    // lost, at once after a refusal and once the link is back in step after a lost
    // acknowledgement; the reply of the last try.
    Reply CommandAcknowledged(const Packet& packet);
    void CommandStatus();
    // Reads the deck's status now and shows it, as a poll does; nothing when the deck gave
    // none (a refusal, a bad reply, silence, the deck offline).
    std::optional<DeckStatus> readStatus();
    // The same, asked again up to attempts times in all while the deck gives none: one lost
    // reply must not decide whether a deck may roll or whether it recorded.
    std::optional<DeckStatus> readStatus(int attempts);
    // Status reads a deck is given before it counts as one that does not answer.
    static constexpr int statusAttempts = 3;
    std::string ExtractStatusString(const Reply& reply);
    // True when the deck answered with a time code.
    bool CommandB8();
    // A time code reading: the frame (on this deck's base, counting drop-frame when the
    // reply's flag says so), and the window in which the deck sampled its tape: after asked
    // (just before the request was written) and before answered (the whole reply was there).
    struct TimeReading {
        int frame;
        std::chrono::steady_clock::time_point asked;
        // When the request had gone out: the deck answers within its turnaround of this.
        std::chrono::steady_clock::time_point written;
        std::chrono::steady_clock::time_point answered;
        bool dropFrameFlag;
    };
    // Reads and shows the time code now; nothing when the deck sent none, sent time data that
    // is no time code (a digit above 9, a field out of range), or a label this deck's base
    // does not have (frame 27 on a 25-frame base: shown, but no reading).
    std::optional<TimeReading> readTimeCode();
    // Sends play to the first deck, and to the second once the delay has passed; then
    // collects both replies.
    static std::pair<Reply, Reply> playStaggered(VCR& first, VCR& second, std::chrono::steady_clock::duration delay);
    // Before a command due on a frame: a link left out of step by its last exchange is brought
    // back in step now, not as the command goes out.
    void readyForTimedCommand();
    // While held, the polling thread leaves the deck's link to whoever times the deck.
    // Holding returns once a poll under way has finished: the link is the holder's.
    void holdPolling(bool held);
    void GetTC();
    void ShowStat(const std::string& text);
    static void DelayT(int ms);

    // --- a port that fails and comes back ---
    // False from a failure of the deck's port (a write or a read error, a hang-up) until the
    // port has been opened and set up again.
    bool online() const;
    // Tries once to open the deck's port again; when it opens, sends the deck its set-up
    // packets and its presets again and says the deck is back. True when the deck is online.
    // The polling thread calls it, and the record guard while it guards. A recorder that may
    // be recording gets edit off and stop before anything else.
    bool reconnect();
    // Sends every preset kept (edit mode, in and out points, preroll time) again; true when
    // the deck acknowledged each. An edit does it before it moves any tape.
    bool resendPresets();
    // Guards the recorder's recording beyond the edit that began it.
    RecordGuard& recordGuard() { return *guard_; }

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
    // Sends the edit preset; the deck's reply.
    Reply setemode(std::uint8_t mode);
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
    // Shows tc as the deck's in or out point.
    void setfield(const std::string& tc, DeckView::Point point);
    void setcue(int which);
    void setdirectin();
    void setdirectout();
    void setcue();
    void setreview();
    void reconcile();
    void setadjust(int n);
    // The base this deck's time code counts on: the configured one, or 29.97 drop-frame once
    // the deck's time code says it counts drop-frame.
    TimeBase timeBase() const;
    // Start-up configures each deck before its polling thread starts.
    void setTimeBase(TimeBase base);
    // The drop-frame flag of each time code reply; the base follows a flag that a few
    // replies in a row carry.
    void noteDropFrameFlag(bool flag);

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
    void setcuedup(bool flag) { cuedup_ = flag; }
    // The cue thread's milestones: the deck acknowledged the cue command in that exchange;
    // the cue of that request has parked the deck.
    void cueAcknowledged(std::uint64_t exchange);
    void cueParked(std::uint64_t request);
    // From a cue request until its thread has parked the deck. Whoever sends the deck
    // anything that moves it after a cue waits for this, or the park would stop it.
    bool cueInProgress() const;

    // --- what the panels, the edit engine and tests read ---
    // The view the deck reports to. A deck shows nothing until one is attached; it is
    // attached once, on the thread that built the deck, before the deck's threads start.
    void attachView(std::unique_ptr<DeckView> view);
    DeckView& view() { return *view_; }
    // Keeps both edits the same length: called when this deck's points were set (reconcile).
    // Set by the edit controller when it is built; empty clears it.
    void reconcileWith(std::function<void()> reconciler);
    VCRPort& link() { return *sop_; }
    bool isRecorder() const { return type_; }
    bool isLanc() const { return lanc_; }
    std::string timecode() const;
    // The deck's time code read at this moment, not at the last poll: a point marked during
    // play is the frame of the press. A refused or lost reading is tried again; the last
    // time code stands in when none comes.
    std::string timecodeNow();
    std::string statusText() const;
    // The last point a cue was built for, and the packets built from it.
    std::string cueString() const;
    Packet cuePacket() const;
    Packet inPointPacket() const;
    Packet outPointPacket() const;
    // The reply of the last exchange.
    Reply lastReply() const;
    int adjust() const { return adjust_; }
    bool standby() const { return standby_; }
    int moving() const { return moving_; }
    bool cuedup() const { return cuedup_; }
    // The accepted edit length in frames, and as seconds and frames; 0 once the tape moved.
    int duration() const { return duration_; }
    int durationsec() const { return durationsec_; }
    int durationfr() const { return durationfr_; }
    // The deck took the in point, and an out point after it.
    bool inok() const { return inok_; }
    bool outok() const { return outok_; }
    // The deck's threads, for tests; the cue thread is replaced only by the operator thread.
    TCThread* pollingThread() const;
    CueThread* cueThread() const { return cuethread_.get(); }

private:
    // The three RECON set-up packets, shared by both decks: each deck sets the value byte
    // before it sends one, under a lock of their own.
    static Packet bssetcompression, bssetvideomode, bssetvideotype;

    // Opens the deck's link; a port that cannot be opened ends the program.
    void MakeSerial();

    // Fixed when the deck is built; read by every thread.
    const std::string comport_;
    const bool lanc_;
    const bool type_;
    const ReconSetUp recon_;
    // The link serialises its own exchanges; the pointer is fixed once the port opened.
    std::unique_ptr<VCRPort> sop_;
    std::unique_ptr<DeckView> view_;

    // Atomic: the polling thread notes the flag while the operator thread does arithmetic.
    std::atomic<TimeBase> configuredBase_{};
    std::atomic<TimeBase> activeBase_{};
    // Replies in a row whose flag disagrees with the active base.
    std::atomic<int> flagRun_{0};

    void setUpRecon();
    // Puts a settings value into byte 3 of a shared RECON packet, checksums it and returns
    // the packet to send.
    static Packet withReconValue(Packet& shared, int value);
    // Puts value into byte 2 of a one-byte-data packet of this deck with its checksum and
    // returns the packet to send.
    Packet withDataByte(Packet& packet, int value);
    // A copy of one of this deck's packets, taken while no other thread is filling it.
    Packet packetCopy(const Packet& packet) const;
    // Cues to the in point (0) or the out point (1), and plays there when asked.
    void cueTo(int which, bool thenPlay);
    // Shows both points as the operator left them, as the deck takes them (a LANC deck's
    // even frames).
    void takeTypedPoints();

    // Keeps the reply of an exchange as the last one and reports a refused or bad one.
    Reply took(const Reply& reply);
    // A time code as one reply carried it: its label, and its frame on the base the reply's
    // drop-frame flag gives, when that base has such a label.
    struct DecodedTime {
        std::string label;
        std::optional<int> frame;
        bool dropFrameFlag;
        TimeBase base;
    };
    // The time code of a reply, decoded from that reply alone: the flag bits masked, each
    // digit and field checked. Nothing when the reply is no time code reply; a reply that
    // answered with time data that is no time code at all (a digit above 9, 24 hours, 60
    // minutes or seconds, 30 frames) is said as a bad reply.
    std::optional<DecodedTime> timeCodeOf(const Reply& reply);
    // Reads the time code now and shows it; nothing when the deck sent none.
    std::optional<DecodedTime> readAndShowTimeCode(Reply& reply);
    // Makes the time code the deck's current one and shows it.
    void showTimeCode(const DecodedTime& time);
    // The time code taken back by the frames that rolled by in late.
    std::string backTo(const DecodedTime& time, std::chrono::steady_clock::duration late) const;
    // Says a failed exchange on the view, and on the console once per distinct failure.
    void reportReplyFailure(const Reply& reply);
    void reportFailure(const std::string& text);
    // The set-up packets a deck gets when its port has opened: RECON's, the time mode.
    void sendSetUp();
    // A preset (edit mode, in and out points, preroll time) must be acknowledged, and is kept
    // to be sent again to a deck that comes back: it may have been switched off meanwhile.
    Reply sendPreset(const Packet& packet);
    // Says once, on the console and the view, that the deck's port failed.
    void sayOfflineOnce();
    void sayOnline(int failedWrites);
    // Says once what the deck's USB adapter gave when low latency was asked of it.
    void sayLowLatency();
    std::string consoleName() const;

    // Guards the texts, the packets, the last reply, the polling thread's pointer, the
    // reconciler and reportedFailures_: the polling thread, cue threads and the operator
    // thread all touch them.
    mutable std::mutex stateMutex_;
    // Per-deck packets; the variable bytes are filled by the operation that sends them.
    Packet bsshutfwd{0x21, 0x13, 0x20, 0x00};
    Packet bsshutrev{0x21, 0x23, 0x20, 0x00};
    Packet bssetpreroll{0x44, 0x31, 0x00, 0x05, 0x00, 0x00, 0x7A};
    Packet bscue{0x24, 0x31, 0x00, 0x01, 0x01, 0x00, 0x57};
    Packet bsindata{0x44, 0x14, 0x00, 0x00, 0x00, 0x00, 0x00};
    Packet bsoutdata{0x44, 0x15, 0x00, 0x00, 0x00, 0x00, 0x00};
    Packet bseditpreset{0x41, 0x30, 0x00, 0x00};
    std::string TCString = "00:00:00:00";
    std::string CueString = "00:00:00:00";
    std::string StatusString;
    Reply SerIn;
    std::function<void()> reconciler_;
    // Failures already said on the console.
    std::set<std::string> reportedFailures_;
    // The last preset of each kind sent, in the order they were first sent.
    std::vector<Packet> presets_;
    // One reconnection at a time: the polling thread and the record guard both try.
    std::mutex reconnectMutex_;
    std::unique_ptr<RecordGuard> guard_;
    // Made by GetTC on the main thread; held off and told of review by other threads.
    std::unique_ptr<TCThread> tcthread_;

    // Replaced by the operator thread only (CueUp); the destructor joins it.
    std::unique_ptr<CueThread> cuethread_;

    // Flags written by one thread and read by others, each on its own.
    // adjust: the settings dialog (GUI thread) writes it, the operator thread reads it.
    std::atomic<int> adjust_{0};
    // standby, rollingAtPlaySpeed_: written by whoever reads status (the polling thread, or
    // the operator thread's status press), read by the operator thread.
    std::atomic<bool> standby_{false};
    // The last status said the tape rolls forward at play speed: a point marked now is
    // taken back by the frames that passed while the link was busy.
    std::atomic<bool> rollingAtPlaySpeed_{false};
    // moving: transport commands (operator thread, cue thread, the edit) write it.
    std::atomic<int> moving_{0};
    // The accepted edit length: the operator thread computes it, SettleDown clears it.
    std::atomic<int> duration_{0};
    std::atomic<int> durationsec_{0};
    std::atomic<int> durationfr_{0};
    // cuedup: the polling thread sets it from status, the cue thread while it cues; the
    // operator thread and the edit wait for it.
    std::atomic<bool> cuedup_{false};
    // inok, outok: set by the operator thread as the deck takes its points, read by the
    // edit controller on the same thread and by the panel's length display.
    std::atomic<bool> inok_{false};
    std::atomic<bool> outok_{false};
    // cueplay: asked by the operator thread, taken by the cue thread when the deck parked.
    std::atomic<bool> cueplay_{false};
    // Cue requests are numbered; the operator thread counts them, the cue thread reports the
    // one it parked. A status reply may set cuedup only when its exchange began at or after
    // cueStatusFrom_ (written by the operator thread and the cue thread, read by polling).
    static constexpr std::uint64_t noCueStatus = UINT64_MAX;
    std::atomic<std::uint64_t> cueRequests_{0};
    std::atomic<std::uint64_t> cuesParked_{0};
    std::atomic<std::uint64_t> cueStatusFrom_{0};
    // The deck's going offline has been said; cleared when it is back (polling thread and
    // whoever exchanged when the port failed).
    std::atomic<bool> offlineSaid_{false};
};
