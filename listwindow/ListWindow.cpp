#include "listwindow/ListWindow.h"

#include "deck/InvalidTimeCode.h"
#include "deck/VCR.h"
#include "eventlist/ListError.h"
#include "listwindow/ListAssembly.h"
#include "listwindow/ListKeys.h"
#include "listwindow/MatchFrame.h"
#include "ui/EVCR.h"
#include "ui/EVCRPanel.h"
#include "ui/Gui.h"
#include "ui/OperatorThread.h"

#include <QPushButton>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>

struct ListWindow::Handover {
    std::mutex mutex;
    std::optional<EventList> pending;
    bool posted = false;
    // The GUI thread's: false once the window is gone.
    bool alive = true;
};

struct ListWindow::Deadlines {
    using Clock = std::chrono::steady_clock;
    std::optional<Clock::time_point> reelChange;
    std::optional<Clock::time_point> end;
};

struct ListWindow::NoticeTarget {
    std::mutex mutex;
    ui::TextField* field = nullptr;
};

namespace {

constexpr int dy = 24;
constexpr int rowStep = 28;

const char* pointText(TrimPoint point)
{
    switch (point) {
    case TrimPoint::RecordOut:
        return "RECORD OUT";
    case TrimPoint::SourceIn:
        return "SOURCE IN";
    case TrimPoint::SourceOut:
        return "SOURCE OUT";
    case TrimPoint::RecordIn:
        break;
    }
    return "RECORD IN";
}

std::string amountText(int frames)
{
    std::string text = std::to_string(frames);
    if (frames > 0)
        text.insert(text.begin(), '+');
    return text;
}

std::size_t pointIndex(TrimPoint point)
{
    for (std::size_t index = 0; index < ListWindow::trimPoints.size(); ++index) {
        if (ListWindow::trimPoints[index] == point)
            return index;
    }
    return 0;
}

std::size_t amountIndex(int frames)
{
    for (std::size_t index = 0; index < ListWindow::trimAmounts.size(); ++index) {
        if (ListWindow::trimAmounts[index] == frames)
            return index;
    }
    throw std::invalid_argument("no trim button for " + std::to_string(frames) + " frames");
}

void setToolTip(const ui::Widget& widget, const std::string& text)
{
    widget.qwidget()->setToolTip(QString::fromStdString(text));
}

// Minutes and seconds until the moment, none once it passed: "3:07".
std::string timeLeft(std::chrono::steady_clock::time_point moment)
{
    const auto left = std::chrono::duration_cast<std::chrono::seconds>(moment - std::chrono::steady_clock::now());
    const long seconds = std::max(0L, static_cast<long>(left.count()));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", seconds / 60, seconds % 60);
    return text;
}

const char* modeText(bool byReel)
{
    return byReel ? "B-MODE: BY REEL" : "A-MODE: LIST ORDER";
}

}

ListWindow::ListWindow(ListKeeper& keeper, EVCR& evcr)
    : ui::Frame(windowTitle),
      reellabel("PLAYER REEL"),
      reelfield("", 8),
      reelshown(std::string("ON THE PLAYER: ") + ListKeeper::firstReel),
      bripple("RIPPLE"),
      ripplelabel("RIPPLE OFF"),
      bdelete("DELETE"),
      binsert("INSERT MARKED"),
      brenumber("RENUMBER"),
      bundo("UNDO"),
      bredo("REDO"),
      brecall("RECALL"),
      bmatch("MATCH FRAME"),
      bassembleall("ASSEMBLE ALL"),
      bassemblefrom("FROM CHOSEN"),
      bbmode("B-MODE"),
      modelabel(modeText(false)),
      bresume("RESUME"),
      resumelabel(""),
      promptlabel(""),
      bconfirm("CONFIRM"),
      bdecline("DECLINE"),
      bretry("RETRY"),
      bskip("SKIP"),
      bstoprun("STOP RUN"),
      countdownlabel(""),
      statuslabel("Status/Results"),
      statusfield("", 60),
      keeper_(keeper),
      evcr_(evcr),
      deadlines_(std::make_unique<Deadlines>()),
      handover_(std::make_shared<Handover>()),
      notices_(std::make_shared<NoticeTarget>()),
      assembly_(std::make_unique<ListAssembly>(keeper, evcr, *this))
{
    setFont(ui::Font::helvetica(ui::Font::applicationHeight));
    setBackground(backgroundcol);
    setForeground(Qt::black);
    makeTrimButtons();
    for (ui::Widget* widget : std::initializer_list<ui::Widget*>{
             &table, &reellabel, &reelfield, &reelshown, &bripple, &ripplelabel, &bdelete, &binsert, &brenumber,
             &bundo, &bredo, &brecall, &bmatch, &bassembleall, &bassemblefrom, &bbmode, &modelabel, &bresume,
             &resumelabel, &promptlabel, &bconfirm, &bdecline, &bretry, &bskip, &bstoprun, &countdownlabel,
             &statuslabel, &statusfield})
        add(*widget);
    promptlabel.setForeground(QColor(160, 0, 0));
    statusfield.setEditable(false);
    place();
    wire();
    showTooltips();
    setSize(wid, hit);
    keys_ = std::make_unique<ListKeys>(*this, evcr_.panel());
    // Closed, the window only steps aside: Ctrl+L brings it back.
    onCloseRequested([this] { hide(); });
    notices_->field = &statusfield;
    keeper_.onNotice([target = notices_](const std::string& text) {
        std::lock_guard lock(target->mutex);
        if (target->field)
            target->field->setText(text);
    });
    // The operator thread owns the list: the table follows it from there.
    ui::OperatorThread::instance().post([this] {
        listener_ = keeper_.addListener([this](const EventList& list) { follow(list); });
        follow(keeper_.list());
        assembly_->offerResume();
    });
    // The countdowns go down between the run's reports, which come once an event.
    auto* ticks = new QTimer(qwidget());
    QObject::connect(ticks, &QTimer::timeout, [this] { refreshCountdown(); });
    ticks->start(1000);
}

ListWindow::~ListWindow()
{
    // A question still waiting is declined, so the run it holds up ends.
    assembly_->answer(false);
    handover_->alive = false;
    {
        std::lock_guard lock(notices_->mutex);
        notices_->field = nullptr;
    }
    keeper_.onNotice(nullptr);
    ui::OperatorThread::instance().post([this] { keeper_.removeListener(listener_); });
    ui::OperatorThread::instance().waitUntilIdle();
}

void ListWindow::makeTrimButtons()
{
    for (std::size_t row = 0; row < trimPoints.size(); ++row) {
        trimlabels_[row] = std::make_unique<ui::Label>(pointText(trimPoints[row]));
        add(*trimlabels_[row]);
        for (std::size_t column = 0; column < trimAmounts.size(); ++column) {
            trimbuttons_[row][column] = std::make_unique<ui::Button>(amountText(trimAmounts[column]));
            add(*trimbuttons_[row][column]);
        }
    }
}

ui::Button& ListWindow::trimButton(TrimPoint point, int frames)
{
    return *trimbuttons_[pointIndex(point)][amountIndex(frames)];
}

void ListWindow::place()
{
    constexpr int x0 = 5;
    table.setBounds(x0, 5, wid - 10, 330);
    const int reelRow = 345;
    reellabel.setBounds(x0, reelRow, 95, dy);
    reelfield.setBounds(x0 + 100, reelRow, 110, dy);
    reelshown.setBounds(x0 + 220, reelRow, 250, dy);
    const int trimTop = reelRow + rowStep + 4;
    for (std::size_t row = 0; row < trimPoints.size(); ++row) {
        const int y = trimTop + static_cast<int>(row) * rowStep;
        trimlabels_[row]->setBounds(x0, y, 95, dy);
        for (std::size_t column = 0; column < trimAmounts.size(); ++column)
            trimbuttons_[row][column]->setBounds(x0 + 100 + static_cast<int>(column) * 60, y, 55, dy);
    }
    const int right = x0 + 360;
    bripple.setBounds(right, trimTop, 110, dy);
    ripplelabel.setBounds(right + 120, trimTop, 120, dy);
    bdelete.setBounds(right, trimTop + rowStep, 110, dy);
    binsert.setBounds(right + 120, trimTop + rowStep, 140, dy);
    brenumber.setBounds(right, trimTop + 2 * rowStep, 110, dy);
    bundo.setBounds(right + 120, trimTop + 2 * rowStep, 65, dy);
    bredo.setBounds(right + 195, trimTop + 2 * rowStep, 65, dy);
    brecall.setBounds(right, trimTop + 3 * rowStep, 110, dy);
    bmatch.setBounds(right + 120, trimTop + 3 * rowStep, 140, dy);
    const int runTop = trimTop + 4 * rowStep + 4;
    bassembleall.setBounds(x0, runTop, 120, dy);
    bassemblefrom.setBounds(x0 + 125, runTop, 120, dy);
    bbmode.setBounds(x0 + 250, runTop, 80, dy);
    modelabel.setBounds(x0 + 340, runTop, 180, dy);
    bresume.setBounds(x0, runTop + rowStep, 120, dy);
    resumelabel.setBounds(x0 + 125, runTop + rowStep, wid - 135, dy);
    promptlabel.setBounds(x0, runTop + 2 * rowStep, 500, dy);
    bconfirm.setBounds(x0 + 510, runTop + 2 * rowStep, 110, dy);
    bdecline.setBounds(x0 + 630, runTop + 2 * rowStep, 110, dy);
    bretry.setBounds(x0, runTop + 3 * rowStep, 80, dy);
    bskip.setBounds(x0 + 85, runTop + 3 * rowStep, 80, dy);
    bstoprun.setBounds(x0 + 170, runTop + 3 * rowStep, 100, dy);
    countdownlabel.setBounds(x0 + 280, runTop + 3 * rowStep, wid - 290, dy);
    const int statusRow = runTop + 4 * rowStep + 4;
    statuslabel.setBounds(x0, statusRow, 200, dy);
    statusfield.setBounds(x0, statusRow + dy, wid - 10, dy);
}

void ListWindow::showTooltips()
{
    setToolTip(table, "Up / Down (Page Up / Page Down: ten, Home / End) or a click: choose an event; its points "
                      "go to the deck panels and its mode to the edit panel (Enter or a double click: again)");
    setToolTip(reelfield, "The reel on the player: up to 8 upper-case letters and digits, then Enter");
    const std::array<std::pair<char, char>, 4> keys{{{'Q', 'W'}, {'E', 'R'}, {'A', 'S'}, {'D', 'F'}}};
    for (std::size_t row = 0; row < trimPoints.size(); ++row) {
        for (std::size_t column = 0; column < trimAmounts.size(); ++column) {
            const bool later = trimAmounts[column] > 0;
            const bool ten = trimAmounts[column] == 10 || trimAmounts[column] == -10;
            const char key = later ? keys[row].second : keys[row].first;
            setToolTip(*trimbuttons_[row][column], std::string(ten ? "Shift+" : "") + key + ": " + pointText(trimPoints[row])
                                                        + " " + amountText(trimAmounts[column]) + (ten ? " frames" : " frame"));
        }
    }
    setToolTip(bripple, "X: ripple on or off (on: a trim moves every later event by as much)");
    setToolTip(bdelete, "Delete");
    setToolTip(binsert, "Insert: the points marked on the decks as a new event after the chosen one, not recorded");
    setToolTip(brenumber, "N: number the events 1, 2, 3... in list order");
    setToolTip(bundo, "Ctrl+Z");
    setToolTip(bredo, "Ctrl+Y or Ctrl+Shift+Z");
    setToolTip(brecall, "Ctrl+R: the points and mode of the last edit back in the panels");
    setToolTip(bmatch, "Ctrl+M: the player cued to the source of the recorder's frame");
    setToolTip(bassembleall, "F5: record every event of the list on the recorder, one after the other");
    setToolTip(bassemblefrom, "F6: record the chosen event and every later one");
    setToolTip(bbmode, "B: B-mode (events grouped by reel, each reel mounted once) or A-mode (list order)");
    setToolTip(bresume, "F7: go on with the run left unfinished, from the first event not recorded");
    setToolTip(bconfirm, "F3: yes to the run's question (the reel is mounted, the source is routed)");
    setToolTip(bdecline, "F4: no to the run's question: the run stops");
    setToolTip(bretry, "F8: the event the run stopped at, again, then the rest");
    setToolTip(bskip, "F9: the rest of the run, without the event it stopped at");
    setToolTip(bstoprun, "F10: end the stopped run where it stands");
}

void ListWindow::onPress(ui::Button& button, std::function<std::function<void()>()> at, bool startsSequence)
{
    QObject::connect(static_cast<QPushButton*>(button.qwidget()), &QPushButton::clicked,
                     [this, at = std::move(at), startsSequence] {
                         if (const std::string refused = assembly_->refusal(); !refused.empty()) {
                             say(refused);
                             return;
                         }
                         if (std::function<void()> action = at())
                             ui::OperatorThread::instance().postPress(std::move(action), startsSequence);
                     });
}

std::function<void()> ListWindow::guarded(std::function<void()> change)
{
    return [this, change = std::move(change)] {
        try {
            change();
        } catch (const ListError& refused) {
            say(refused.what());
        } catch (const InvalidTimeCode&) {
            say(InvalidTimeCode::statusText);
        }
    };
}

std::optional<ListKeeper::EventRef> ListWindow::chosenEvent()
{
    const std::optional<std::size_t> row = table.chosenRow();
    if (!row || *row >= table.rowCount()) {
        say("CHOOSE AN EVENT FIRST");
        return std::nullopt;
    }
    return ListKeeper::EventRef{*row, table.eventAt(*row).number};
}

void ListWindow::say(const std::string& text)
{
    statusfield.setText(text);
}

void ListWindow::wire()
{
    for (TrimPoint point : trimPoints) {
        for (int frames : trimAmounts) {
            onPress(trimButton(point, frames), [this, point, frames]() -> std::function<void()> {
                const Ripple ripple = rippleOn_ ? Ripple::On : Ripple::Off;
                const std::optional<ListKeeper::EventRef> chosen = chosenEvent();
                if (!chosen)
                    return {};
                return guarded([this, ref = *chosen, point, frames, ripple] {
                    keeper_.trim(ref, point, frames, ripple);
                    const Event& trimmed = keeper_.list()[ref.index];
                    say("EVENT " + std::to_string(trimmed.number) + " " + pointText(point) + " " + amountText(frames)
                        + (ripple == Ripple::On ? " RIPPLED" : ""));
                    evcr_.panel().loadEvent(trimmed, keeper_.base());
                });
            });
        }
    }
    onPress(bdelete, [this]() -> std::function<void()> {
        const std::optional<ListKeeper::EventRef> chosen = chosenEvent();
        if (!chosen)
            return {};
        return guarded([this, ref = *chosen] {
            keeper_.remove(ref);
            say("EVENT " + std::to_string(ref.number) + " DELETED");
        });
    });
    onPress(binsert, [this]() -> std::function<void()> {
        const std::optional<std::size_t> row = table.chosenRow();
        const std::size_t place = row ? *row + 1 : table.rowCount();
        return guarded([this, place] {
            const std::size_t index = keeper_.insertMarked(std::min(place, keeper_.list().size()),
                                                            evcr_.panel().requestNow());
            say("EVENT " + std::to_string(keeper_.list()[index].number) + " INSERTED, NOT RECORDED");
            ui::Gui::post([this, index, alive = handover_] {
                if (alive->alive && index < table.rowCount())
                    table.chooseRow(index);
            });
        });
    });
    const auto simple = [this](ui::Button& button, std::function<void()> change) {
        onPress(button, [this, change]() -> std::function<void()> { return guarded(change); });
    };
    simple(brenumber, [this] {
        keeper_.renumber();
        say("EVENTS RENUMBERED");
    });
    simple(bundo, [this] { say(keeper_.undo() ? "UNDONE" : "NOTHING TO UNDO"); });
    simple(bredo, [this] { say(keeper_.redo() ? "REDONE" : "NOTHING TO REDO"); });
    simple(brecall, [this] { evcr_.panel().recall(); });
    simple(bmatch, [this] { MatchFrame::perform(keeper_.list(), keeper_.reel(), *evcr_.pvcr, *evcr_.rvcr); });
    QObject::connect(static_cast<QPushButton*>(bripple.qwidget()), &QPushButton::clicked, [this] { toggleRipple(); });
    reelfield.onEnter([this] { setReel(); });
    table.onChosen([this](std::size_t row) { load(row); });
    wireAssembly();
}

void ListWindow::wireAssembly()
{
    onPress(
        bassembleall,
        [this]() -> std::function<void()> {
            return [this, mode = assemblyMode()] { assembly_->assemble(std::nullopt, mode); };
        },
        true);
    onPress(
        bassemblefrom,
        [this]() -> std::function<void()> {
            const std::optional<ListKeeper::EventRef> chosen = chosenEvent();
            if (!chosen)
                return {};
            return [this, ref = *chosen, mode = assemblyMode()] { assembly_->assemble(ref, mode); };
        },
        true);
    onPress(
        bresume,
        [this]() -> std::function<void()> { return [this, mode = assemblyMode()] { assembly_->resume(mode); }; },
        true);
    QObject::connect(static_cast<QPushButton*>(bbmode.qwidget()), &QPushButton::clicked, [this] { toggleMode(); });
    const auto answering = [this](ui::Button& button, bool yes) {
        QObject::connect(static_cast<QPushButton*>(button.qwidget()), &QPushButton::clicked, [this, yes] {
            if (!assembly_->answer(yes))
                say("NO QUESTION TO ANSWER");
        });
    };
    answering(bconfirm, true);
    answering(bdecline, false);
    // A held run's presses: refused unless a run is held.
    const auto onHeld = [this](ui::Button& button, std::function<void(ListAssembly&)> act, bool startsSequence) {
        QObject::connect(static_cast<QPushButton*>(button.qwidget()), &QPushButton::clicked,
                         [this, act = std::move(act), startsSequence] {
                             if (assembly_->phase() != ListAssembly::Phase::Held) {
                                 say(assembly_->phase() == ListAssembly::Phase::Running ? assembly_->refusal()
                                                                                        : "NO RUN STOPPED");
                                 return;
                             }
                             ui::OperatorThread::instance().postPress([this, act] { act(*assembly_); },
                                                                      startsSequence);
                         });
    };
    onHeld(bretry, [](ListAssembly& run) { run.retry(); }, true);
    onHeld(bskip, [](ListAssembly& run) { run.skip(); }, true);
    onHeld(bstoprun, [](ListAssembly& run) { run.stop(); }, false);
}

void ListWindow::toggleRipple()
{
    rippleOn_ = !rippleOn_;
    ripplelabel.setText(rippleOn_ ? "RIPPLE ON" : "RIPPLE OFF");
}

void ListWindow::toggleMode()
{
    byReel_ = !byReel_;
    modelabel.setText(modeText(byReel_));
}

void ListWindow::setReel()
{
    const std::string name = reelfield.text();
    if (const std::string refused = assembly_->refusal(); !refused.empty()) {
        say(refused);
        return;
    }
    guarded([this, name] {
        keeper_.setReel(name);
        reelshown.setText("ON THE PLAYER: " + name);
        say("REEL ON THE PLAYER: " + name);
    })();
}

void ListWindow::load(std::size_t row)
{
    if (assembly_->phase() == ListAssembly::Phase::Running) {
        say(assembly_->refusal());
        return;
    }
    const ListKeeper::EventRef ref{row, table.eventAt(row).number};
    ui::OperatorThread::instance().postPress(
        guarded([this, ref] { evcr_.panel().loadEvent(keeper_.event(ref), keeper_.base()); }));
}

void ListWindow::follow(const EventList& list)
{
    std::lock_guard lock(handover_->mutex);
    handover_->pending = list;
    if (handover_->posted)
        return;
    handover_->posted = true;
    ui::Gui::post([this, handover = handover_] {
        std::optional<EventList> shown;
        {
            std::lock_guard taken(handover->mutex);
            shown = std::move(handover->pending);
            handover->pending.reset();
            handover->posted = false;
        }
        if (handover->alive && shown)
            table.show(*shown);
    });
}

void ListWindow::onGui(std::function<void()> fn)
{
    ui::Gui::post([fn = std::move(fn), alive = handover_] {
        if (alive->alive)
            fn();
    });
}

void ListWindow::showEventState(std::size_t index, const Event& event, const std::string& text, bool failed)
{
    onGui([this, index, event, text, failed] { table.setState(index, event, text, failed); });
}

void ListWindow::clearEventStates()
{
    onGui([this] { table.clearStates(); });
}

void ListWindow::showCountdown(const std::optional<RunCountdown>& left)
{
    onGui([this, left] {
        const auto now = Deadlines::Clock::now();
        deadlines_->end.reset();
        deadlines_->reelChange.reset();
        if (left) {
            deadlines_->end = now + left->toEnd;
            if (left->toReelChange)
                deadlines_->reelChange = now + *left->toReelChange;
        }
        refreshCountdown();
    });
}

void ListWindow::refreshCountdown()
{
    std::string text;
    if (deadlines_->reelChange)
        text = "NEXT REEL IN " + timeLeft(*deadlines_->reelChange) + "   ";
    if (deadlines_->end)
        text += "END OF RUN IN " + timeLeft(*deadlines_->end);
    countdownlabel.setText(text);
}

void ListWindow::showPrompt(const std::string& question)
{
    promptlabel.setText(question);
}

void ListWindow::showRunText(const std::string& text)
{
    say(text);
}

void ListWindow::markStoppedEvent(std::size_t index)
{
    onGui([this, index] { table.markRow(index); });
}

void ListWindow::showResumeOffer(const std::string& text)
{
    resumelabel.setText(text);
}

void ListWindow::showReel(const std::string& reel)
{
    reelshown.setText("ON THE PLAYER: " + reel);
}

void ListWindow::open()
{
    show();
    QWidget* window = qwidget();
    window->raise();
    window->activateWindow();
}
