#pragma once

#include "deck/TimeBase.h"
#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/Panel.h"
#include "ui/TextField.h"

#include <QColor>

#include <atomic>
#include <cstdint>
#include <string>

class EVCR;
class VCR;
class Settings;

// The edit panel between the two deck panels: edit mode, go-to buttons, preview, the auto
// edit, end edit, all stop, settings, and the edit log.
class EVCRPanel : public ui::Panel {
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
    void dosettings();
    void logedit();
    void ShowStatus(const std::string& text);

    // The player's edit adjust in milliseconds: at 30 fps 33 ms per frame plus a third of a
    // millisecond per frame, truncated toward zero; on other bases the frames' real time.
    static int adjustms(int frames, TimeBase base = TimeBase());
    // An edit length of whole seconds and frames in milliseconds: at 30 fps 33.3333 ms per
    // frame, truncated toward zero; on other bases the frames' real time.
    static int editlengthms(int seconds, int frames, TimeBase base = TimeBase());

    int dx = 0;
    EVCR* svcr = nullptr;
    VCR* pvcr = nullptr;
    VCR* rvcr = nullptr;
    std::string logfilename = "edl.txt";
    // The settings dialog last opened while it is open; a dialog releases itself when closed.
    Settings* settings = nullptr;

    ui::Label modelabel, golabel, cueplaylabel, cuereclabel, statuslabel;
    ui::TextField statusfield;
    ui::Button bassemble, bvideo, baudio1, baudio2, bsettings, bgoplayin, bgoplayout, bgorecin, bgorecout,
        bpreview, bautostart, bautoend, ballstop, bsplit, btrimplus, btrimminus, blast, brvwjump;

private:
    void listener(const std::string& command);
    void wire();
    void place();
    // The auto edit and preview steps; false when the sequence was aborted.
    bool runautoedit();
    bool runpreview();
    // The in-point checks shared by the auto edit and the preview; false after a message.
    bool inpointsok();
    // Waits inside a sequence; false when the sequence was aborted.
    static bool wait(int ms);
    bool waitcuedup(VCR* vcr, int waits, int ms);
    // Waits until the deck's cue thread has parked it; false when the sequence was aborted.
    bool waitcueended(VCR* vcr);
    // Rolls both decks in the order their prerolls need and puts the recorder into edit.
    bool roll();
};
