#pragma once

#include "ui/Button.h"
#include "ui/Label.h"
#include "ui/Panel.h"
#include "ui/TextField.h"

#include <QColor>

#include <atomic>
#include <cstdint>
#include <memory>
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

    int dx = 0;
    EVCR* svcr;
    VCR* pvcr;
    VCR* rvcr;
    std::string logfilename = "edl.txt";
    std::unique_ptr<Settings> settings;

    ui::Label modelabel, golabel, cueplaylabel, cuereclabel, statuslabel;
    ui::TextField statusfield;
    ui::Button bassemble, bvideo, baudio1, baudio2, bsettings, bgoplayin, bgoplayout, bgorecin, bgorecout,
        bpreview, bautostart, bautoend, ballstop, bsplit, btrimplus, btrimminus, blast, brvwjump;

private:
    void listener(const std::string& command);
};
