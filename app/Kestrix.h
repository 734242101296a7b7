#pragma once

#include "app/CommandLine.h"
#include "app/Properties.h"
#include "deck/TimeBase.h"
#include "eventlist/EventList.h"
#include "ui/EVCR.h"

#include <optional>
#include <string>

class VCR;
class ListKeeper;
class ListWindow;
class MainGUI;
class Utils;

// The program's entry point and the holder of the process-wide state: the settings, the
// two deck controllers, the edit controller and the main window. Index 1 is the player
// deck, index 2 the recorder deck.
class Kestrix {
public:
    static inline std::string name = "KESTRIX";
    static inline std::string prodtitle;

    static inline std::string vcrtype1, vcrtype2;
    static inline std::string comport1 = "COM1", comport2 = "COM2";
    static inline bool lanc1 = false, lanc2 = false;
    static inline bool recon1 = false, recon2 = false;
    static inline int compression1 = 4, compression2 = 4;
    static inline std::string Compression1 = "4", Compression2 = "4";
    static inline int videomode1 = 2, videomode2 = 2;
    static inline std::string VideoMode1 = "NTSC", VideoMode2 = "NTSC";
    static inline int videotype1 = 0, videotype2 = 0;
    static inline std::string VideoType1 = "COMP", VideoType2 = "COMP";
    static inline int pvcrpreroll = 0, rvcrpreroll = 0;
    static inline int pvcradjust = 0, rvcradjust = 0;
    static inline bool stoponexit = true;
    static inline std::string stopexit = "YES";
    static inline bool log = false;
    static inline std::string dolog = "YES";
    // The decks' time base; the file need not name one. Only a file that names it gets it
    // back on saving.
    static inline TimeBase timebase;
    static inline bool timebaseinfile = false;
    static inline int width = 320;
    static inline int fontheight = 13;
    // The settings as loaded from the file.
    static inline Properties props;

    // Owned for the life of the process; never destroyed before it ends.
    static inline VCR* pvcr = nullptr;
    static inline VCR* rvcr = nullptr;
    static inline EVCR* evcr = nullptr;
    static inline ListKeeper* list = nullptr;
    static inline ListWindow* listwindow = nullptr;
    static inline MainGUI* gui = nullptr;
    static inline Utils* utils = nullptr;
    // The event list's file (--list FILE, or kestrix.edl in the working directory).
    static inline std::string listpath = "kestrix.edl";

    // The name of the settings file, looked up in the working directory.
    static constexpr const char* settingsFileName = "KESTRIX_Settings.txt";

    // Start-up: title lines, then the settings, the decks and the main window; with an
    // assembly asked for, the list is assembled once the program is ready and the program
    // closes when the run ends.
    static void init(const std::optional<AssembleArguments>& assemble = std::nullopt);
    // Reads the settings file and prints the summary. A missing file, an unreadable one or
    // a missing or malformed setting ends the process with status 1, before any deck is
    // touched.
    static void GetProps();
    // Reads the event list's file when it exists (an empty list when not) and prints its
    // warnings. A file that exists and cannot be read as a list ends the process with status 2,
    // before any deck is touched.
    static EventList OpenList();
    // Rewrites the settings file from the settings fields. A missing file is not created;
    // a failed save leaves the old file as it was. Either is reported on the console.
    static void SaveProps();
    // What the edit controller takes from the settings as they stand.
    static EditSettings editSettings();

    static const std::string& getname() { return name; }
    static bool getlog() { return log; }
    static int getwidth() { return width; }
    static int getfontheight() { return fontheight; }
    static bool getrecon1() { return recon1; }
    static bool getrecon2() { return recon2; }
    static int getcompression1() { return compression1; }
    static int getcompression2() { return compression2; }
    static int getvideomode1() { return videomode1; }
    static int getvideomode2() { return videomode2; }
    static int getvideotype1() { return videotype1; }
    static int getvideotype2() { return videotype2; }
    static bool getnet() { return false; }
    static bool getdebug() { return false; }
};
