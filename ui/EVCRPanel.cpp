#include "ui/EVCRPanel.h"

#include "assembly/EventEdits.h"
#include "assembly/EventPerformer.h"
#include "assembly/EventPoints.h"
#include "assembly/EventRefused.h"
#include "deck/InvalidTimeCode.h"
#include "deck/LongWaits.h"
#include "deck/RecordGuard.h"
#include "deck/VCR.h"
#include "engine/EditEngine.h"
#include "ui/EVCR.h"
#include "ui/EditListLink.h"
#include "ui/EditLog.h"
#include "ui/Gui.h"
#include "ui/OperatorThread.h"
#include "ui/PointsLocked.h"
#include "ui/SequenceClock.h"
#include "ui/VCRPanel.h"

#include <QMessageBox>
#include <QPointer>

#include <algorithm>
#include <functional>
#include <future>
#include <memory>
#include <utility>

namespace {

constexpr const char* selectModeText = "Please Select Edit Mode Above";
constexpr const char* abortedText = "EDIT ABORTED";
constexpr int assemble = 0x20;
constexpr int insert = 0x40;
constexpr int video = 0x10;
constexpr int audio1 = 0x01;
constexpr int audio2 = 0x02;

bool stopsSequences(const std::string& command)
{
    return command == "ALL STOP" || command == "END EDIT";
}

}

EVCRPanel::EVCRPanel(EVCR* owner)
    : modelabel("EDIT MODE"),
      golabel("GO"),
      cueplaylabel("<<  PLAYER"),
      cuereclabel("RECORDER >>"),
      statuslabel("Status/Results"),
      statusfield(selectModeText, 40),
      bassemble("ASM"),
      bvideo("VID"),
      baudio1("AUD1"),
      baudio2("AUD2"),
      bsettings("SETTINGS"),
      bgoplayin("IN"),
      bgoplayout("OUT"),
      bgorecin("IN"),
      bgorecout("OUT"),
      bpreview("PREVIEW"),
      bautostart("DO EDIT"),
      bautoend("END EDIT"),
      ballstop("ALL STOP"),
      bsplit("SPLIT"),
      btrimplus("TRM+"),
      btrimminus("TRM--"),
      blast("LAST"),
      brvwjump("RVW/JMP"),
      lengthlabel("")
{
    svcr = owner;
    pvcr = owner->pvcr;
    rvcr = owner->rvcr;
    setFont(ui::Font::helvetica(ui::Font::applicationHeight, true));
    setBackground(backgroundcol);
    setForeground(Qt::black);
    wire();
    for (ui::Widget* widget : std::initializer_list<ui::Widget*>{
             &modelabel, &cueplaylabel, &cuereclabel, &statuslabel, &statusfield, &golabel, &bsettings, &bassemble,
             &bvideo, &baudio1, &baudio2, &bsplit, &btrimplus, &btrimminus, &blast, &bgoplayin, &bgoplayout,
             &bgorecin, &bgorecout, &bpreview, &bautostart, &bautoend, &brvwjump, &ballstop, &lengthlabel})
        add(*widget);
    dx = width / 6;
    place();
    ShowStatus(selectModeText);
    // A press made while an edit runs is refused, not kept for after it.
    ui::OperatorThread::instance().setRefusalHandler([this] { ShowStatus("EDIT IN PROGRESS"); });
    setBounds(0, 0, width, insets().top() + 280);
}

EVCRPanel::~EVCRPanel()
{
    ui::OperatorThread::instance().setRefusalHandler(nullptr);
}

void EVCRPanel::wire()
{
    const std::pair<ui::Button*, const char*> commands[] = {
        {&bassemble, "ASSEMBLE"}, {&bvideo, "VIDEO"},       {&baudio1, "AUDIO1"},     {&baudio2, "AUDIO2"},
        {&bsettings, "SETTINGS"}, {&bgoplayin, "P GO IN"},  {&bgoplayout, "P GO OUT"}, {&bgorecin, "R GO IN"},
        {&bgorecout, "R GO OUT"}, {&bpreview, "PREVIEW"},   {&bautostart, "DO EDIT"}, {&bautoend, "END EDIT"},
        {&ballstop, "ALL STOP"},  {&bsplit, "SPLIT"},       {&btrimplus, "TRIM2 +"},  {&btrimminus, "TRIM -"},
        {&blast, "LAST"},         {&brvwjump, "RVW/JUMP"},
    };
    for (const auto& [button, command] : commands) {
        button->setCommand(command);
        // Stopping must not wait for a running edit to end: these presses abort it first.
        const bool starts = button == &bautostart || button == &bpreview;
        button->setListener([this](const std::string& pressed) { listener(pressed); },
                            stopsSequences(command)  ? ui::Button::Press::AbortsSequence
                                : starts ? ui::Button::Press::StartsSequence
                                         : ui::Button::Press::Queued);
    }
}

void EVCRPanel::place()
{
    const QMargins in = insets();
    const int L = in.left();
    const int T = in.top();
    const int half = dx / 2;
    const int wide = dx + half;
    const int moderow = T + 2 * dy + 4;
    bassemble.setBounds(L + 5 + dx, moderow, dx, dy);
    bvideo.setBounds(L + 5 + 2 * dx, moderow, dx, dy);
    baudio1.setBounds(L + 5 + 3 * dx, moderow, dx, dy);
    baudio2.setBounds(L + 5 + 4 * dx, moderow, dx, dy);
    modelabel.setBounds(L + 110, T + dy, 200, dy);
    bsettings.setBounds(L + 5 + 2 * dx, T + 3 * dy + 8, 2 * dx, dy);
    const int gorow = T + 5 * dy + 18;
    cueplaylabel.setBounds(L + 28, gorow - dy, 2 * dx, dy);
    cuereclabel.setBounds(L + 169, gorow - dy, 3 * dx, dy);
    bgoplayin.setBounds(L + 28, gorow, dx, dy);
    bgoplayout.setBounds(L + 28 + dx, gorow, dx, dy);
    golabel.setBounds(L + 133, gorow, half, dy);
    bgorecin.setBounds(L + 166, gorow, dx, dy);
    bgorecout.setBounds(L + 166 + dx, gorow, dx, dy);
    const int editrow = gorow + dy + 4;
    bpreview.setBounds(L + 5, editrow, wide, dy);
    bautostart.setBounds(L + 5 + wide, editrow, wide, dy);
    bautoend.setBounds(L + 5 + 2 * wide, editrow, wide, dy);
    ballstop.setBounds(L + 5 + 3 * wide, editrow, wide, dy);
    statuslabel.setBounds(L + 5, T + 224, 200, dy);
    statusfield.setBounds(L + 5, T + 224 + dy, width - 10, dy);
    lengthlabel.setBounds(L + 120, T + 224, width - 125, dy);
    // The buttons without a place take no area and are never seen.
    for (ui::Button* unplaced : {&bsplit, &btrimplus, &btrimminus, &blast, &brvwjump})
        unplaced->setVisible(false);
}

void EVCRPanel::listener(const std::string& command)
{
    using Action = std::function<void(EVCRPanel&)>;
    auto setmode = [](void (EVCRPanel::*toggle)()) {
        return [toggle](EVCRPanel& panel) {
            (panel.*toggle)();
            panel.rvcr->setemode(emode);
        };
    };
    static const std::pair<const char*, Action> actions[] = {
        {"ASSEMBLE", setmode(&EVCRPanel::toggleasm)},
        {"VIDEO", setmode(&EVCRPanel::togglevid)},
        {"AUDIO1", setmode(&EVCRPanel::togglea1)},
        {"AUDIO2", setmode(&EVCRPanel::togglea2)},
        {"SPLIT", [](EVCRPanel&) {}},
        {"TRIM +", [](EVCRPanel&) {}},
        {"TRIM -", [](EVCRPanel&) {}},
        {"LAST", [](EVCRPanel&) {}},
        {"P GO IN", [](EVCRPanel& panel) { panel.pvcr->cuein(); }},
        {"P GO OUT", [](EVCRPanel& panel) { panel.pvcr->cueout(); }},
        {"R GO IN", [](EVCRPanel& panel) { panel.rvcr->cuein(); }},
        {"R GO OUT", [](EVCRPanel& panel) { panel.rvcr->cueout(); }},
        {"PREVIEW", [](EVCRPanel& panel) { panel.preview(); }},
        {"DO EDIT", [](EVCRPanel& panel) { panel.autoedit(); }},
        {"END EDIT", [](EVCRPanel& panel) { panel.autoend(); }},
        {"RVW/JUMP", [](EVCRPanel& panel) { panel.rvwjump(); }},
        {"ALL STOP", [](EVCRPanel& panel) { panel.allstop(); }},
        {"SETTINGS", [](EVCRPanel& panel) { panel.dosettings(); }},
    };
    // The stop that aborted an edit leaves "EDIT ABORTED" standing.
    if (!(abortShown_ && stopsSequences(command)))
        ShowStatus(command);
    abortShown_ = false;
    const auto match = std::find_if(std::begin(actions), std::end(actions),
                                    [&command](const auto& action) { return command == action.first; });
    if (match == std::end(actions))
        return;
    try {
        match->second(*this);
    } catch (const InvalidTimeCode&) {
        ShowStatus("INVALID TIME CODE");
    }
}

void EVCRPanel::toggleasm()
{
    emode = emode == assemble ? (insert | video | audio1 | audio2) : assemble;
    hilightemode();
}

void EVCRPanel::togglevid()
{
    emode = emode ^ video;
    hilightemode();
}

void EVCRPanel::togglea1()
{
    emode = emode ^ audio1;
    hilightemode();
}

void EVCRPanel::togglea2()
{
    emode = emode ^ audio2;
    hilightemode();
}

void EVCRPanel::hilightemode()
{
    if (emode == insert)
        emode = assemble;
    else if (emode != assemble)
        emode = (emode | insert) & (insert | video | audio1 | audio2);
    cleareditmode();
    const std::uint8_t mode = emode;
    if (mode == assemble) {
        hilight(bassemble);
        return;
    }
    if (mode & video)
        hilight(bvideo);
    if (mode & audio1)
        hilight(baudio1);
    if (mode & audio2)
        hilight(baudio2);
}

void EVCRPanel::hilight(const ui::Widget& button)
{
    const QRect area = button.bounds();
    drawBar(QRect(area.x(), area.y() - 2, area.width(), 2), markcol);
}

void EVCRPanel::cleareditmode()
{
    drawBar(QRect(0, bassemble.bounds().y() - 2, width + 10, 2), backgroundcol);
}

void EVCRPanel::autoedit()
{
    ui::OperatorThread::Sequence sequence;
    const EditRequest request = requestNow();
    const auto holdsLoaded = [&request](const Loaded& loaded) {
        const EditRequest& held = loaded.panels;
        return held.playIn == request.playIn && held.playOut == request.playOut && held.recIn == request.recIn
            && held.recOut == request.recOut && held.mode == request.mode;
    };
    const std::optional<Loaded> loaded = loaded_ && holdsLoaded(*loaded_) ? loaded_ : std::nullopt;
    last_ = LastEdit{request, loaded};
    if (loaded)
        performEvent(*loaded);
    else
        performPanels(request);
}

void EVCRPanel::performPanels(const EditRequest& request)
{
    const bool logging = svcr->settings().log;
    PointsLocked locked(*pvcr, *rvcr);
    ui::SequenceClock clock;
    const EditOutcome outcome = EditEngine(*pvcr, *rvcr, clock, *this).autoEdit(request);
    // An edit the recorder confirmed is logged, even when a stop came afterwards.
    if (outcome.onTape && logging)
        logedit(request, outcome);
    if (outcome.onTape) {
        EventOutcome performed;
        performed.kind = outcome.kind;
        performed.edits = {outcome};
        tellList({std::nullopt, {request}, performed});
    }
    if (outcome.kind == EditOutcome::Kind::Aborted)
        showAborted();
    else if (outcome.kind == EditOutcome::Kind::Completed && outcome.exact)
        ShowStatus("Edit Completed");
}

void EVCRPanel::performEvent(const Loaded& loaded)
{
    const EditSettings settings = svcr->settings();
    std::vector<EventEdit> edits;
    try {
        edits = EventEdits::of(loaded.event, loaded.listBase,
                               {settings.playerPreroll, settings.recorderPreroll, pvcr->adjust()});
    } catch (const EventRefused& refused) {
        ShowStatus(refused.what());
        return;
    }
    if (EditListLink* list = list_) {
        if (const std::string refusal = list->refusal(loaded.event); !refusal.empty()) {
            ShowStatus(refusal);
            pvcr->ShowStat(refusal);
            return;
        }
    }
    EventOutcome outcome;
    {
        PointsLocked locked(*pvcr, *rvcr);
        ui::SequenceClock clock;
        outcome = EventPerformer(*pvcr, *rvcr, clock, *this).perform(edits);
        // Several edits leave the last one's points on the decks: the panels show the event
        // again, so that DO EDIT performs it again.
        if (edits.size() > 1)
            showEdit(loaded.panels);
    }
    std::vector<EditRequest> requests;
    bool anyOnTape = false;
    for (std::size_t index = 0; index < outcome.edits.size(); ++index) {
        if (outcome.edits[index].onTape && settings.log)
            logedit(edits[index].request, outcome.edits[index]);
        anyOnTape = anyOnTape || outcome.edits[index].onTape;
    }
    for (const EventEdit& edit : edits)
        requests.push_back(edit.request);
    if (anyOnTape)
        tellList({loaded.event, requests, outcome});
    if (outcome.kind == EditOutcome::Kind::Aborted)
        showAborted();
    else if (outcome.exact(edits.size()))
        ShowStatus("Edit Completed");
}

void EVCRPanel::tellList(const ConfirmedEdit& edit)
{
    if (EditListLink* list = list_)
        list->onTape(edit);
}

void EVCRPanel::setListLink(EditListLink* link)
{
    list_ = link;
}

void EVCRPanel::loadEvent(const Event& event, TimeBase listBase)
{
    loaded_.reset();
    try {
        showEdit(EventPoints::of(event, listBase));
    } catch (const InvalidTimeCode&) {
        ShowStatus(InvalidTimeCode::statusText);
        return;
    }
    loaded_ = Loaded{event, listBase, requestNow()};
    ShowStatus("EVENT " + std::to_string(event.number) + " LOADED");
}

void EVCRPanel::recall()
{
    if (!last_) {
        ShowStatus("NO EDIT TO RECALL");
        return;
    }
    const LastEdit last = *last_;
    loaded_.reset();
    try {
        showEdit(last.panels);
    } catch (const InvalidTimeCode&) {
        ShowStatus(InvalidTimeCode::statusText);
        return;
    }
    if (last.loaded)
        loaded_ = Loaded{last.loaded->event, last.loaded->listBase, requestNow()};
    ShowStatus("LAST EDIT RECALLED");
}

void EVCRPanel::showEdit(const EditRequest& edit)
{
    const std::pair<VCR*, std::pair<std::string, std::string>> decks[] = {
        {pvcr, {edit.playIn, edit.playOut}},
        {rvcr, {edit.recIn, edit.recOut}},
    };
    for (const auto& [deck, points] : decks) {
        deck->setfield(points.first, DeckView::Point::In);
        deck->setfield(points.second, DeckView::Point::Out);
        deck->setdirectin();
    }
    svcr->showLength();
    if (edit.mode == 0)
        return;
    emode = edit.mode;
    hilightemode();
    rvcr->setemode(emode);
}

void EVCRPanel::preview()
{
    ui::OperatorThread::Sequence sequence;
    const EditRequest request = requestNow();
    ui::SequenceClock clock;
    if (EditEngine(*pvcr, *rvcr, clock, *this).preview(request).kind == EditOutcome::Kind::Aborted)
        showAborted();
}

void EVCRPanel::showAborted()
{
    ShowStatus(abortedText);
    abortShown_ = true;
}

EditRequest EVCRPanel::requestNow() const
{
    EditRequest request;
    request.playIn = pvcr->view().pointText(DeckView::Point::In);
    request.playOut = pvcr->view().pointText(DeckView::Point::Out);
    request.recIn = rvcr->view().pointText(DeckView::Point::In);
    request.recOut = rvcr->view().pointText(DeckView::Point::Out);
    request.mode = emode;
    const EditSettings settings = svcr->settings();
    request.playerPreroll = settings.playerPreroll;
    request.recorderPreroll = settings.recorderPreroll;
    request.adjust = pvcr->adjust();
    return request;
}

void EVCRPanel::step(EditStep step)
{
    static const std::pair<EditStep, const char*> shown[] = {
        {EditStep::CuePlayer, "CUEING"},  {EditStep::Preroll, "PREROLL"},   {EditStep::EditOn, "RECORDING"},
        {EditStep::EditOff, "EDIT OFF"}, {EditStep::Preview, "PREVIEWING"},
    };
    for (const auto& [which, text] : shown) {
        if (which == step)
            ShowStatus(text);
    }
}

void EVCRPanel::showLength(const std::string& length)
{
    lengthlabel.setText(length.empty() ? std::string() : "LENGTH " + length);
}

void EVCRPanel::countdown(EditStep current, const std::string& left)
{
    ShowStatus((current == EditStep::EditOn ? "RECORDING " : "PREROLL ") + left);
}

void EVCRPanel::status(const std::string& text)
{
    ShowStatus(text);
}

void EVCRPanel::allstop()
{
    rvcr->stopvcr();
    pvcr->stopvcr();
}

void EVCRPanel::rvwjump()
{
}

void EVCRPanel::autoend()
{
    pvcr->editstop();
    rvcr->editstop();
}

void EVCRPanel::dosettings()
{
    if (settingsOpener_)
        settingsOpener_();
}

void EVCRPanel::onSettings(std::function<void()> open)
{
    settingsOpener_ = std::move(open);
}

void EVCRPanel::logedit(const EditRequest& request, const EditOutcome& outcome)
{
    if (!EditLog::exists(logfilename)) {
        ShowStatus("No edit log can be saved!");
        ui::OperatorThread::instance().pause(static_cast<int>(LongWaits::scaled(std::chrono::milliseconds(5000)).count()));
        return;
    }
    const int number = ++editnum;
    // A failed write is not reported; the number stays used.
    // An edit off that came late recorded more: the log says what the tape holds.
    const auto later = [&outcome](const VCR& deck, const std::string& point) {
        return deck.timeBase().labelOf(deck.calcframes(point) + outcome.overrun);
    };
    EditLog::append(logfilename, EditLog::line(number, request.mode, request.playIn, later(*pvcr, request.playOut),
                                               request.recIn, later(*rvcr, request.recOut)));
}

void EVCRPanel::ShowStatus(const std::string& text)
{
    statusfield.setText(text);
}

bool EVCRPanel::confirm(const std::string& question)
{
    auto answer = std::make_shared<std::promise<bool>>();
    std::future<bool> answered = answer->get_future();
    auto box = std::make_shared<QPointer<QMessageBox>>();
    ShowStatus(question);
    ui::Gui::post([question, answer, box] {
        auto* dialog = new QMessageBox(QMessageBox::Question, "Kestrix", QString::fromStdString(question + "?"),
                                       QMessageBox::Yes | QMessageBox::No);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &QMessageBox::finished,
                         [answer](int result) { answer->set_value(result == QMessageBox::Yes); });
        *box = dialog;
        dialog->open();
    });
    constexpr int step = 50;
    while (answered.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        if (!ui::OperatorThread::instance().pause(step)) {
            ui::Gui::post([box] {
                if (*box)
                    (*box)->reject();
            });
            return false;
        }
    }
    return answered.get();
}

void EVCRPanel::showRecorderAlarm(bool stillRecording)
{
    statusfield.setForeground(stillRecording ? QColor(Qt::red) : QColor(Qt::black));
    ShowStatus(stillRecording ? RecordGuard::alarmText : "");
}
