#include "ui/VCRPanel.h"

#include "deck/InvalidTimeCode.h"
#include "deck/VCR.h"

#include <array>

namespace {

struct Command {
    const char* command;
    void (*action)(VCRPanel& panel);
};

// Searched in this order; the first exact match runs.
const std::array<Command, 13> commands{{
    {"Play", [](VCRPanel& p) { p.vcr->play(); }},
    {"Pause", [](VCRPanel& p) { p.vcr->stopvcr(); }},
    {"Forward", [](VCRPanel& p) { p.vcr->forward(); }},
    {"Rewind", [](VCRPanel& p) { p.vcr->rewind(); }},
    {"EE", [](VCRPanel& p) { p.toggleee(); }},
    {"Eject", [](VCRPanel& p) { p.vcr->eject(); }},
    {"Standby", [](VCRPanel& p) { p.vcr->sbyonoff(); }},
    {"Jogf", [](VCRPanel& p) { p.vcr->jogf(); }},
    {"Jogr", [](VCRPanel& p) { p.vcr->jogr(); }},
    {"SetIn", [](VCRPanel& p) { p.vcr->setcue(); }},
    {"SetOut", [](VCRPanel& p) { p.vcr->setreview(); }},
    {"Cueplay",
     [](VCRPanel& p) {
         p.vcr->cueplay(0);
         p.vcr->status();
     }},
    {"Review", [](VCRPanel& p) { p.vcr->review(); }},
}};

// The shuttle bar: its middle, and the dead band around it that holds a still picture.
constexpr int shuttleMiddle = 48;
constexpr int lowestForward = 54;
constexpr int highestReverse = 42;

constexpr int markHeight = 2;

}

VCRPanel& VCRPanel::attachTo(VCR& vcr)
{
    auto panel = std::make_unique<VCRPanel>(&vcr, vcr.isRecorder());
    VCRPanel& attached = *panel;
    vcr.attachView(std::move(panel));
    return attached;
}

VCRPanel& VCRPanel::of(VCR& vcr)
{
    return dynamic_cast<VCRPanel&>(vcr.view());
}

VCRPanel::VCRPanel(VCR* vcr_, bool type_)
    : vcr(vcr_), type(type_), vsb(shuttleMiddle, 20, 0, 115), vcrlabel("VCR Controls"), bfwd("Fwd >>"),
      brew("<< Rew"), bplay("Play >"), bpause("Pause ||"), bstandby("Stdby"), beject("Eject"), bee("EE"),
      bsetcue("Set In"), bsetreview("Set Out"), bcueplay("Cue/Play"), bjogf("Jog >"), bjogr("< Jog"),
      breview("Review"), tcfield(TCString, 11), cuefield(CueString, 11), endfield(EndString, 11),
      statuslabel("Status/Results"), statusfield("", 40), recordtally("REC")
{
    setFont(ui::Font::helvetica(ui::Font::applicationHeight));
    setBackground(backgroundcol);
    setForeground(Qt::black);

    const QMargins insets = this->insets();
    const int x0 = insets.left() + 5;
    const int x1 = x0 + dx;
    const int x2 = x0 + 2 * dx;
    const int x3 = x0 + 3 * dx;
    const int y0 = insets.top();

    for (ui::Widget* widget : std::initializer_list<ui::Widget*>{
             &vcrlabel, &brew, &bfwd, &bplay, &bpause, &bsetreview, &bsetcue, &bcueplay, &bjogr, &bjogf, &breview,
             &tcfield, &cuefield, &endfield, &statuslabel, &statusfield, &bstandby, &beject})
        add(*widget);
    if (type) {
        add(bee);
        add(recordtally);
    } else {
        bee.setVisible(false);
        recordtally.setVisible(false);
    }
    showRecordTally(false);
    add(vsb);

    tcfield.setEditable(false);
    tcfield.setFont(ui::Font::helvetica(TCfontheight));
    tcfield.setForeground(tccolor);
    tcfield.setBackground(Qt::black);
    cuefield.setFont(ui::Font::helvetica(TCfontheight));
    endfield.setFont(ui::Font::helvetica(TCfontheight));
    statusfield.setEditable(false);
    cuefield.onEnter([this] { pointEntered(); });
    endfield.onEnter([this] { pointEntered(); });

    vcrlabel.setBounds(x0, y0, 200, dy);
    recordtally.setBounds(x3, y0, dx, dy);
    tcfield.setBounds(x1, y0 + 24, 2 * dx, dy);
    bstandby.setBounds(x1, y0 + 52, dx, dy);
    beject.setBounds(x2, y0 + 52, dx, dy);
    bee.setBounds(x3, y0 + 52, dx, dy);
    bplay.setBounds(x0, y0 + 80, dx, dy);
    bpause.setBounds(x1, y0 + 80, dx, dy);
    brew.setBounds(x2, y0 + 80, dx, dy);
    bfwd.setBounds(x3, y0 + 80, dx, dy);
    bsetcue.setBounds(x0, y0 + 110, dx, dy);
    bcueplay.setBounds(x1, y0 + 110, dx, dy);
    bsetreview.setBounds(x2, y0 + 110, dx, dy);
    breview.setBounds(x3, y0 + 110, dx, dy);
    cuefield.setBounds(x0, y0 + 138, 2 * dx, dy);
    endfield.setBounds(x2, y0 + 138, 2 * dx, dy);
    bjogr.setBounds(x0, y0 + 166, 2 * dx, dy);
    bjogf.setBounds(x2, y0 + 166, 2 * dx, dy);
    vsb.setBounds(x0, y0 + 194, width, 25);
    statuslabel.setBounds(x0, y0 + 224, 100, dy);
    const int statusY = y0 + 248;
    statusfield.setBounds(x0, statusY, width, dy);

    vsb.onValueChanged([this](int value) { VSB(value); });

    const std::array<std::pair<ui::Button*, const char*>, 13> buttons{{
        {&bplay, "Play"},
        {&bpause, "Pause"},
        {&bfwd, "Forward"},
        {&brew, "Rewind"},
        {&bee, "EE"},
        {&beject, "Eject"},
        {&bstandby, "Standby"},
        {&bjogf, "Jogf"},
        {&bjogr, "Jogr"},
        {&bsetcue, "SetIn"},
        {&bsetreview, "SetOut"},
        {&bcueplay, "Cueplay"},
        {&breview, "Review"},
    }};
    for (const auto& [button, command] : buttons) {
        button->setCommand(command);
        // Stopping a deck during an edit stops the edit, as ALL STOP does.
        button->setListener([this](const std::string& pressed) { listener(pressed); },
                            button == &bpause ? ui::Button::Press::AbortsSequence : ui::Button::Press::Queued);
    }

    // The panel is visible from the start; it shows once the main window takes it in (shown
    // before that, it would open as a window of its own).
    const QRect placed = bounds();
    setBounds(placed.x(), placed.y(), width, statusY + dy + 8);
}

void VCRPanel::listener(const std::string& command)
{
    ShowStatus(command);
    try {
        for (const Command& entry : commands) {
            if (command == entry.command) {
                entry.action(*this);
                return;
            }
        }
    } catch (const InvalidTimeCode&) {
        // Setting or cueing to a point the operator typed wrongly.
        ShowStatus(InvalidTimeCode::statusText);
    }
}

void VCRPanel::VSB(int value)
{
    vsbval = value;
    if (value >= lowestForward)
        vcr->shutfwd((value - shuttleMiddle) * 2);
    else if (value <= highestReverse)
        vcr->shutrev((shuttleMiddle - value) * 2);
    else
        vcr->pause();
}

void VCRPanel::pointEntered()
{
    try {
        vcr->setdirectin();
        vcr->reconcile();
    } catch (const InvalidTimeCode&) {
        ShowStatus(InvalidTimeCode::statusText);
    }
}

void VCRPanel::bar(const ui::Widget& above, const QColor& colour)
{
    const QRect area = above.bounds();
    drawBar(QRect(area.x(), area.y() - markHeight, area.width(), markHeight), colour);
}

void VCRPanel::fullBar(const ui::Widget& row, const QColor& colour)
{
    drawBar(QRect(0, row.bounds().y() - markHeight, width + 5, markHeight), colour);
}

void VCRPanel::hilight(const ui::Widget& widget)
{
    bar(widget, Qt::red);
}

void VCRPanel::clearbuttons()
{
    const QRect standby = bstandby.bounds();
    drawBar(QRect(standby.x(), standby.y() - markHeight, 2 * standby.width(), markHeight), backgroundcol);
    fullBar(bplay, backgroundcol);
    fullBar(bjogr, backgroundcol);
    fullBar(vsb, backgroundcol);
}

void VCRPanel::showTransport(const TransportLamps& lamps)
{
    clearbuttons();
    const std::pair<bool, const ui::Widget*> marks[] = {
        {lamps.play, &bplay},       {lamps.forward, &bfwd},    {lamps.rewind, &brew},
        {lamps.stop, &bpause},      {lamps.standby, &bstandby}, {lamps.shuttle, &vsb},
        {lamps.jogForward, &bjogf}, {lamps.jogReverse, &bjogr},
    };
    for (const auto& [lit, widget] : marks) {
        if (lit)
            hilight(*widget);
    }
}

std::string VCRPanel::pointText(Point point) const
{
    return (point == Point::In ? cuefield : endfield).text();
}

void VCRPanel::showPoint(Point point, const std::string& tc)
{
    settcfield(tc, point == Point::In ? cuefield : endfield);
}

void VCRPanel::showOutPointRefused(bool refused)
{
    endfield.setBackground(refused ? QColor(Qt::gray) : backgroundcol);
}

void VCRPanel::hilightinout(bool in, bool out)
{
    fullBar(cuefield, backgroundcol);
    if (in)
        hilight(cuefield);
    if (out)
        hilight(endfield);
}

void VCRPanel::toggleee()
{
    ee = !ee;
    vcr->toggleee(ee);
    bar(bee, ee ? QColor(Qt::red) : backgroundcol);
}

void VCRPanel::ShowTC(const std::string& tc)
{
    tcfield.setText(tc);
}

void VCRPanel::settcfield(const std::string& tc, ui::TextField& field)
{
    std::string shown = tc;
    // A LANC deck cues to even frames only: show the frame it will really reach.
    constexpr std::size_t framesUnits = 10;
    if (vcr->isLanc() && shown.size() > framesUnits)
        shown[framesUnits] = static_cast<char>(shown[framesUnits] & ~1);
    field.setText(shown);
}

void VCRPanel::ShowStatus(const std::string& text)
{
    std::lock_guard lock(statusMutex_);
    if (!alarm_.empty())
        return;
    statusfield.setText(text);
    messageHeldUntil_ = std::chrono::steady_clock::now() + messageHold;
}

void VCRPanel::ShowPolledStatus(const std::string& text)
{
    std::lock_guard lock(statusMutex_);
    if (alarm_.empty() && std::chrono::steady_clock::now() >= messageHeldUntil_)
        statusfield.setText(text);
}

void VCRPanel::showAlarm(const std::string& text)
{
    std::lock_guard lock(statusMutex_);
    alarm_ = text;
    statusfield.setForeground(text.empty() ? QColor(Qt::black) : QColor(Qt::red));
    statusfield.setText(text);
}

void VCRPanel::showRecordTally(bool recording)
{
    // Red while the tape records; otherwise it blends into the panel.
    recordtally.setBackground(recording ? QColor(Qt::red) : backgroundcol);
    recordtally.setForeground(recording ? QColor(Qt::white) : backgroundcol);
}

bool VCRPanel::recordTallyOn() const
{
    return recordtally.background() == QColor(Qt::red);
}

void VCRPanel::ShowPlay(bool)
{
}

void VCRPanel::showoutpointerror()
{
    ShowStatus("OUTPOINT ERROR");
}

void VCRPanel::EnableStop()
{
}

void VCRPanel::lockForCue()
{
    for (ui::Button* button : {&bcueplay, &breview}) {
        button->setEnabled(false);
        button->setBackground(Qt::darkGray);
    }
    pointLock_.hold(PointFieldLock::Holder::Cue);
}

void VCRPanel::unlockAfterCue()
{
    for (ui::Button* button : {&bcueplay, &breview}) {
        button->setEnabled(true);
        button->setBackground(Qt::lightGray);
    }
    pointLock_.release(PointFieldLock::Holder::Cue);
}

void VCRPanel::lockForEdit(bool locked)
{
    // A cue ending during an edit must not open the points the edit is using.
    if (locked)
        pointLock_.hold(PointFieldLock::Holder::Edit);
    else
        pointLock_.release(PointFieldLock::Holder::Edit);
}
