#pragma once

#include "deck/DeckView.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/Panel.h"
#include "ui/PointFieldLock.h"
#include "ui/ScrollBar.h"
#include "ui/TextField.h"

#include <QColor>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

class VCR;

// The operator's control surface for one deck: running time code, in and out points, status
// line, transport buttons, jog buttons and the shuttle bar. It is the deck's view: the deck
// owns it and reports to it.
class VCRPanel : public ui::Panel, public DeckView {
public:
    static constexpr int width = 240;
    static inline const QColor backgroundcol{80, 170, 250};
    static inline const QColor tccolor{250, 80, 80};

    VCRPanel(VCR* vcr, bool type);
    // Builds the deck's panel and hands it to the deck; for the GUI thread, before the deck's
    // threads start.
    static VCRPanel& attachTo(VCR& vcr);
    // The panel of a deck that has one.
    static VCRPanel& of(VCR& vcr);

    virtual void toggleee();
    void hilightinout(bool in, bool out) override;
    virtual void hilight(const ui::Widget& widget);
    virtual void clearbuttons();
    void ShowTC(const std::string& tc) override;
    virtual void settcfield(const std::string& tc, ui::TextField& field);
    void ShowStatus(const std::string& text) override;
    // The deck's polled status: it replaces a message only once the message has stood for
    // messageHold, so the operator can read it.
    void ShowPolledStatus(const std::string& text) override;
    static constexpr std::chrono::milliseconds messageHold{3000};
    // Clears the transport marks and marks the lit buttons.
    void showTransport(const TransportLamps& lamps) override;
    // The recorder's red record tally, on while its status says record or edit.
    void showRecordTally(bool recording) override;
    bool recordTallyOn() const;
    // The alarm stands in the status line, in red, until cleared: no message replaces it.
    void showAlarm(const std::string& text) override;
    std::string pointText(Point point) const override;
    void showPoint(Point point, const std::string& tc) override;
    // A refused out point's field turns grey until a valid one is set.
    void showOutPointRefused(bool refused) override;
    virtual void ShowPlay(bool on);
    virtual void showoutpointerror();
    virtual void EnableStop();

    // While a cue thread works, cue-and-play and review are refused and the points are not
    // editable.
    void lockForCue() override;
    void unlockAfterCue() override;
    // Both point fields refuse typing while an edit uses the points.
    void lockForEdit(bool locked);

    VCR* vcr;
    bool type;
    std::atomic<bool> ee{false};
    std::atomic<int> vsbval{0};
    std::string CueString = "00:00:10:00";
    std::string EndString = "00:00:00:00";
    std::string TCString = "00:00:00:00";
    static constexpr int TCfontheight = 18;
    static constexpr int dx = 60;
    static constexpr int dy = 24;

    ui::ScrollBar vsb;
    ui::Label vcrlabel;
    ui::Button bfwd, brew, bplay, bpause, bstandby, beject, bee, bsetcue, bsetreview, bcueplay, bjogf, bjogr,
        breview;
    ui::TextField tcfield;
    ui::TextField cuefield;
    ui::TextField endfield;
    ui::Label statuslabel;
    ui::TextField statusfield;
    ui::Label recordtally;

private:
    // The cue thread and the operator thread lock the points for different reasons.
    PointFieldLock pointLock_{[this](bool editable) {
        cuefield.setEditable(editable);
        endfield.setEditable(editable);
    }};

    void listener(const std::string& command);
    void VSB(int value);
    // The Enter key in the in field (CFA) or the out field (RFA).
    void pointEntered();
    // A mark above one widget, and a mark across the whole panel above a row.
    void bar(const ui::Widget& above, const QColor& colour);
    void fullBar(const ui::Widget& row, const QColor& colour);

    // Orders messages and polled statuses, so a status checked against an old hold never
    // overwrites a newer message.
    std::mutex statusMutex_;
    std::chrono::steady_clock::time_point messageHeldUntil_{};
    std::string alarm_;
};
