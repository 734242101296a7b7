#include "ui/EVCRPanel.h"

#include "app/Kestrix.h"
#include "app/MainGUI.h"
#include "app/Settings.h"
#include "deck/InvalidTimeCode.h"
#include "deck/VCR.h"
#include "ui/EVCR.h"
#include "ui/EditLog.h"
#include "ui/OperatorThread.h"
#include "ui/VCRPanel.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace {

constexpr const char* selectModeText = "Please Select Edit Mode Above";
constexpr const char* selectModeError = "ERROR: Please Select Edit Mode Above";
constexpr const char* abortedText = "EDIT ABORTED";
constexpr int assemble = 0x20;
constexpr int insert = 0x40;
constexpr int video = 0x10;
constexpr int audio1 = 0x01;
constexpr int audio2 = 0x02;

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
      brvwjump("RVW/JMP")
{
    svcr = owner;
    pvcr = Kestrix::pvcr;
    rvcr = Kestrix::rvcr;
    setFont(ui::Font::helvetica(Kestrix::fontheight, true));
    setBackground(backgroundcol);
    setForeground(Qt::black);
    wire();
    for (ui::Widget* widget : std::initializer_list<ui::Widget*>{
             &modelabel, &cueplaylabel, &cuereclabel, &statuslabel, &statusfield, &golabel, &bsettings, &bassemble,
             &bvideo, &baudio1, &baudio2, &bsplit, &btrimplus, &btrimminus, &blast, &bgoplayin, &bgoplayout,
             &bgorecin, &bgorecout, &bpreview, &bautostart, &bautoend, &brvwjump, &ballstop})
        add(*widget);
    dx = width / 6;
    place();
    ShowStatus(selectModeText);
    setBounds(0, 0, width, insets().top() + 280);
}

EVCRPanel::~EVCRPanel() = default;

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
        const bool stops = button == &ballstop || button == &bautoend;
        button->setListener([this](const std::string& pressed) { listener(pressed); },
                            stops ? ui::Button::Press::AbortsSequence : ui::Button::Press::Queued);
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
    ShowStatus(command);
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

int EVCRPanel::adjustms(int frames, TimeBase base)
{
    // At 30 fps edits keep the timing they have always had.
    if (base.kind() == TimeBase::Kind::Fps30)
        return frames * 33 + static_cast<int>(frames * 0.33333);
    return static_cast<int>(base.millisOf(frames));
}

int EVCRPanel::editlengthms(int seconds, int frames, TimeBase base)
{
    if (base.kind() == TimeBase::Kind::Fps30)
        return seconds * 1000 + static_cast<int>(frames * 33.3333);
    return static_cast<int>(base.millisOf(std::int64_t{seconds} * base.labelsPerSecond() + frames));
}

bool EVCRPanel::wait(int ms)
{
    // A wait computed as negative (no preroll and a negative adjust) is no wait.
    return ui::OperatorThread::instance().pause(std::max(0, ms));
}

bool EVCRPanel::waitcuedup(VCR* vcr, int waits, int ms)
{
    // Cued means parked: the cue thread's still command must not land on a preroll.
    for (int done = 0; (!vcr->cuedup || vcr->cueInProgress()) && done < waits; ++done) {
        if (!wait(ms))
            return false;
    }
    return true;
}

bool EVCRPanel::waitcueended(VCR* vcr)
{
    constexpr int stepMs = 100;
    while (vcr->cueInProgress()) {
        if (!wait(stepMs))
            return false;
    }
    return true;
}

bool EVCRPanel::inpointsok()
{
    if (pvcr->calcframes(pvcr->panel().cuefield.text()) < Kestrix::pvcrpreroll * pvcr->timeBase().labelsPerSecond()) {
        ShowStatus("ERROR: Play InPoint Too Low");
        return false;
    }
    if (rvcr->calcframes(rvcr->panel().cuefield.text()) < Kestrix::rvcrpreroll * rvcr->timeBase().labelsPerSecond()) {
        ShowStatus("ERROR: Record InPoint Too Low");
        return false;
    }
    return true;
}

void EVCRPanel::autoedit()
{
    ui::OperatorThread::Sequence sequence;
    if (!runautoedit())
        ShowStatus(abortedText);
}

bool EVCRPanel::runautoedit()
{
    if (!inpointsok())
        return true;
    rvcr->CalcDuration();
    if (emode == 0) {
        ShowStatus(selectModeError);
        return true;
    }
    // Cue both decks to their in points; one deck cued up is enough to go on.
    pvcr->cue(0);
    if (!waitcuedup(pvcr, 200, 200))
        return false;
    rvcr->cue(0);
    if (!waitcuedup(rvcr, 200, 200))
        return false;
    if (!pvcr->cuedup && !rvcr->cuedup) {
        ShowStatus("CUEING FAILED - NO EDIT");
        return true;
    }
    // A deck that never reported cue-up is still parked by its cue thread when that gives up;
    // the preroll goes after it.
    if (!waitcueended(pvcr) || !waitcueended(rvcr))
        return false;
    rvcr->dopreroll();
    pvcr->dopreroll();
    if (!wait(1000) || !wait(5000))
        return false;
    if (!waitcuedup(pvcr, 10, 1000) || !waitcuedup(rvcr, 10, 1000))
        return false;
    if (!pvcr->cuedup && !rvcr->cuedup) {
        ShowStatus("PREROLL FAILED - NO EDIT");
        return true;
    }
    if (!roll())
        return false;
    if (!wait(editlengthms(rvcr->durationsec, rvcr->durationfr, rvcr->timeBase())))
        return false;
    if (emode == assemble && !wait(2000))
        return false;
    rvcr->CommandB0(VCR::bseditoff);
    rvcr->CommandB0(VCR::bsstop);
    pvcr->CommandB0(VCR::bsstop);
    if (!wait(2000))
        return false;
    rvcr->cue(1);
    if (Kestrix::log) {
        logedit();
        if (ui::OperatorThread::instance().aborted())
            return false;
    }
    ShowStatus("Edit Completed");
    return true;
}

bool EVCRPanel::roll()
{
    const int adjust = adjustms(pvcr->adjust, pvcr->timeBase());
    const int pvcrpreroll = Kestrix::pvcrpreroll;
    const int rvcrpreroll = Kestrix::rvcrpreroll;
    if (pvcrpreroll == rvcrpreroll) {
        rvcr->CommandB0(VCR::bsplay);
        pvcr->CommandB0(VCR::bsplay);
        if (!wait(rvcrpreroll * 1000 + adjust))
            return false;
    } else if (rvcrpreroll > pvcrpreroll) {
        rvcr->CommandB0(VCR::bsplay);
        if (!wait(rvcrpreroll * 1000 + adjust))
            return false;
        pvcr->CommandB0(VCR::bsplay);
    } else {
        pvcr->CommandB0(VCR::bsplay);
        if (!wait(pvcrpreroll * 1000 + adjust))
            return false;
        rvcr->CommandB0(VCR::bsplay);
    }
    // An abort that came during the last play exchange must still keep the recorder out of
    // record.
    if (ui::OperatorThread::instance().aborted())
        return false;
    rvcr->CommandB0(VCR::bsediton);
    return true;
}

void EVCRPanel::preview()
{
    ui::OperatorThread::Sequence sequence;
    if (!runpreview())
        ShowStatus(abortedText);
}

bool EVCRPanel::runpreview()
{
    rvcr->setpreroll();
    pvcr->setpreroll();
    if (!inpointsok())
        return true;
    if (emode == 0) {
        ShowStatus(selectModeError);
        return true;
    }
    auto& operatorThread = ui::OperatorThread::instance();
    pvcr->setdirectin();
    if (operatorThread.aborted())
        return false;
    rvcr->setdirectin();
    if (operatorThread.aborted())
        return false;
    pvcr->preview();
    rvcr->preview();
    return true;
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
    if (Kestrix::gui)
        Kestrix::gui->hide();
    settings = new Settings([this](Settings* closed) {
        if (settings == closed)
            settings = nullptr;
    });
}

void EVCRPanel::logedit()
{
    const std::uint8_t mode = emode;
    const std::string playIn = pvcr->panel().cuefield.text();
    const std::string playOut = pvcr->panel().endfield.text();
    const std::string recIn = rvcr->panel().cuefield.text();
    const std::string recOut = rvcr->panel().endfield.text();
    if (!EditLog::exists(logfilename)) {
        ShowStatus("No edit log can be saved!");
        wait(5000);
        return;
    }
    const int number = ++editnum;
    // A failed write is not reported; the number stays used.
    EditLog::append(logfilename, EditLog::line(number, mode, playIn, playOut, recIn, recOut));
}

void EVCRPanel::ShowStatus(const std::string& text)
{
    statusfield.setText(text);
}
