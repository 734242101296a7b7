#pragma once

#include "deck/TimeBase.h"
#include "engine/EditProgress.h"
#include "engine/EditRequest.h"
#include "eventlist/Event.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/Panel.h"
#include "ui/TextField.h"

#include <QColor>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class EVCR;
class EditListLink;
struct ConfirmedEdit;
class VCR;

// The edit panel between the two deck panels: edit mode, go-to buttons, preview, the auto
// edit, end edit, all stop, settings, and the edit log. It drives the edit engine and shows
// what the engine reports.
class EVCRPanel : public ui::Panel, public EditProgress {
public:
    static constexpr int width = 280;
    static constexpr int dy = 24;
    static inline const QColor backgroundcol{40, 150, 230};
    static inline const QColor markcol{255, 0, 0};
    static inline std::atomic<std::uint8_t> emode{0};
    static inline std::atomic<int> editnum{0};

    explicit EVCRPanel(EVCR* owner);
    ~EVCRPanel();

    void toggleasm();
    void togglevid();
    void togglea1();
    void togglea2();
    void hilightemode();
    void hilight(const ui::Widget& button);
    void cleareditmode();
    void autoedit();
    void preview();
    void allstop();
    void rvwjump();
    void autoend();
    // Opens the settings dialog through what onSettings installed.
    void dosettings();
    // The program's settings dialog lives above the panels: it installs its opener here,
    // once, on the GUI thread before any press.
    void onSettings(std::function<void()> open);
    // Appends the edit's line to the edit log: the frames the recorder really recorded.
    void logedit(const EditRequest& request, const EditOutcome& outcome);
    void ShowStatus(const std::string& text);

    // The event list this panel tells of every edit the recorder confirmed, and asks whether
    // a loaded event can be performed; set once at start-up, before any press.
    void setListLink(EditListLink* link);
    // Loads a list's event into the panels (operator thread): its points go to both deck
    // panels as if typed and entered, its mode to this panel. While the panels still hold
    // what was loaded, DO EDIT performs the event itself, both edits of a split included.
    void loadEvent(const Event& event, TimeBase listBase);
    // Brings back the points and mode DO EDIT last used (and the event it performed, if it
    // performed one); operator thread.
    void recall();
    // The edit as the panels stand now: the points, the mode, the prerolls, the adjust.
    EditRequest requestNow() const;

    // What the edit engine reports.
    void step(EditStep step) override;
    void countdown(EditStep current, const std::string& left) override;
    void status(const std::string& text) override;
    // Asks in a dialog beside the window; an abort (ALL STOP) answers no.
    bool confirm(const std::string& question) override;
    // The recorder records on after its edit until its record guard has stopped it.
    void showRecorderAlarm(bool stillRecording);
    // The edit's length (the recorder's duration) while both its points are valid; an empty
    // text clears it.
    void showLength(const std::string& length);

    int dx = 0;
    EVCR* svcr = nullptr;
    VCR* pvcr = nullptr;
    VCR* rvcr = nullptr;
    std::string logfilename = "edl.txt";

    ui::Label modelabel, golabel, cueplaylabel, cuereclabel, statuslabel;
    ui::TextField statusfield;
    ui::Button bassemble, bvideo, baudio1, baudio2, bsettings, bgoplayin, bgoplayout, bgorecin, bgorecout,
        bpreview, bautostart, bautoend, ballstop, bsplit, btrimplus, btrimminus, blast, brvwjump;
    ui::Label lengthlabel;

private:
    std::function<void()> settingsOpener_;
    // An event loaded into the panels, and the panels' points and mode it left there.
    struct Loaded {
        Event event;
        TimeBase listBase;
        EditRequest panels;
    };
    // What DO EDIT last used.
    struct LastEdit {
        EditRequest panels;
        std::optional<Loaded> loaded;
    };

    void listener(const std::string& command);
    void wire();
    void place();
    void showAborted();
    // Puts points into both deck panels and sends them to the decks, and the mode into this
    // panel; a mode of 0 leaves the mode as it is. Throws InvalidTimeCode.
    void showEdit(const EditRequest& edit);
    // The edit of the panels' own points: performed, logged, and told to the list.
    void performPanels(const EditRequest& request);
    // The loaded event's edits performed one after the other, each logged.
    void performEvent(const Loaded& loaded);
    void tellList(const ConfirmedEdit& edit);

    // "EDIT ABORTED" is showing and stays through the stop that caused it; on the operator
    // thread only.
    bool abortShown_ = false;
    // On the operator thread only.
    std::optional<Loaded> loaded_;
    std::optional<LastEdit> last_;
    std::atomic<EditListLink*> list_{nullptr};
};
