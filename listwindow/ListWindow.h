#pragma once

#include "assembly/AssemblyPlan.h"
#include "eventlist/EventList.h"
#include "listwindow/AssemblyView.h"
#include "listwindow/EventTable.h"
#include "listwindow/ListKeeper.h"
#include "ui/Button.h"
#include "ui/Frame.h"
#include "ui/Label.h"
#include "ui/TextField.h"

#include <QColor>

#include <array>
#include <functional>
#include <memory>
#include <string>

class EVCR;
class ListAssembly;
class ListKeys;

// The event list's window, "Kestrix Event List", beside the main window: the table of events;
// the reel on the player; trims of the chosen event's record or source in or out by one frame
// or ten, with ripple on or off; delete, insert the marked points, renumber, undo, redo; recall
// and match frame. Choosing an event loads it into the deck panels and the edit panel, ready
// for DO EDIT or PREVIEW. The list assembled (ListAssembly): all of it or from the chosen
// event, in list order or by reel, or resumed where a run was cut short; its questions
// answered, a stopped run's event retried or skipped, or the run stopped; each event's state
// in the table and the time left. Every button and key has a tooltip.
//
// Widgets are the GUI thread's. A press takes what the window shows at that moment (the
// chosen event, the ripple) and is performed on the operator thread, which owns the list; the
// table follows the list through the GUI thread's queue, never waiting on the list's file.
class ListWindow : public ui::Frame, public AssemblyView {
public:
    static constexpr const char* windowTitle = "Kestrix Event List";
    static inline const QColor backgroundcol{80, 170, 250};
    static constexpr int wid = 940;
    static constexpr int hit = 680;
    // The amounts of the trim buttons, in the order they stand in a row.
    static constexpr std::array<int, 4> trimAmounts{-10, -1, 1, 10};
    static constexpr std::array<TrimPoint, 4> trimPoints{TrimPoint::RecordIn, TrimPoint::RecordOut,
                                                         TrimPoint::SourceIn, TrimPoint::SourceOut};

    // For the GUI thread, once the list and the edit controller exist.
    ListWindow(ListKeeper& keeper, EVCR& evcr);
    ~ListWindow() override;

    // Shows the window in front (Ctrl+L in the main window); GUI thread.
    void open();

    ui::Button& trimButton(TrimPoint point, int frames);
    // GUI thread.
    bool rippleOn() const { return rippleOn_; }
    AssemblyMode assemblyMode() const { return byReel_ ? AssemblyMode::ByReel : AssemblyMode::ListOrder; }
    ListAssembly& assembly() { return *assembly_; }

    void showEventState(std::size_t index, const Event& event, const std::string& text, bool failed) override;
    void clearEventStates() override;
    void showCountdown(const std::optional<RunCountdown>& left) override;
    void showPrompt(const std::string& question) override;
    void showRunText(const std::string& text) override;
    void markStoppedEvent(std::size_t index) override;
    void showResumeOffer(const std::string& text) override;
    void showReel(const std::string& reel) override;

    EventTable table;
    ui::Label reellabel;
    ui::TextField reelfield;
    ui::Label reelshown;
    ui::Button bripple;
    ui::Label ripplelabel;
    ui::Button bdelete, binsert, brenumber, bundo, bredo, brecall, bmatch;
    ui::Button bassembleall, bassemblefrom, bbmode;
    ui::Label modelabel;
    ui::Button bresume;
    ui::Label resumelabel;
    ui::Label promptlabel;
    ui::Button bconfirm, bdecline;
    ui::Button bretry, bskip, bstoprun;
    ui::Label countdownlabel;
    ui::Label statuslabel;
    ui::TextField statusfield;

private:
    // Snapshots of the list on their way from the operator thread to the table; a snapshot
    // that finds one waiting takes its place.
    struct Handover;
    // Where the list's notices go while the window lives.
    struct NoticeTarget;

    void makeTrimButtons();
    void place();
    void wire();
    void showTooltips();
    // A press: at is run on the GUI thread at the press and gives the operator thread's action.
    // A press that changes the list, or starts a run, is refused while a run goes or is held.
    void onPress(ui::Button& button, std::function<std::function<void()>()> at, bool startsSequence = false);
    // The run's presses: they start a run or act on a held one.
    void wireAssembly();
    // Runs fn on the GUI thread while the window lives.
    void onGui(std::function<void()> fn);
    void refreshCountdown();
    // Runs a list change on the operator thread; a refusal is shown in the status line.
    std::function<void()> guarded(std::function<void()> change);
    // The chosen event, as the table shows it; nothing, after saying so, when none is chosen.
    std::optional<ListKeeper::EventRef> chosenEvent();
    void say(const std::string& text);
    // On the operator thread, after each change.
    void follow(const EventList& list);
    void load(std::size_t row);
    void toggleRipple();
    void toggleMode();
    void setReel();

    ListKeeper& keeper_;
    EVCR& evcr_;
    std::array<std::unique_ptr<ui::Label>, 4> trimlabels_;
    std::array<std::array<std::unique_ptr<ui::Button>, 4>, 4> trimbuttons_;
    bool rippleOn_ = false;
    bool byReel_ = false;
    // The moments the run's countdowns reach zero; GUI thread.
    struct Deadlines;
    std::unique_ptr<Deadlines> deadlines_;
    int listener_ = -1;
    std::shared_ptr<Handover> handover_;
    std::shared_ptr<NoticeTarget> notices_;
    std::unique_ptr<ListKeys> keys_;
    std::unique_ptr<ListAssembly> assembly_;
};
