#include "app/CommandLine.h"

#include "app/SerialPortList.h"

#include <string_view>

namespace {

constexpr const char* helpText = R"(Usage: kestrix [--help | --version | --list-ports]

Kestrix drives a player and a recorder tape deck over RS-422 (nine-pin protocol) and
copies a marked stretch of the player's tape onto the recorder's tape frame-accurately.

Options:
  --help        print this text and exit
  --version     print the version and exit
  --list-ports  print the serial ports present, with their /dev/serial/by-id names, and exit
Any other argument is ignored.

Files, in the folder Kestrix is started from (neither is ever created by Kestrix):
  KESTRIX_Settings.txt  the settings; must exist before the first start
  edl.txt               the edit log; each performed edit is appended when it exists

Settings keys (key=value lines):
  PlayVCRType, RecVCRType          RS422, LANC or RECON
  PlayVCRCOMPort, RecVCRCOMPort    a device path (best a /dev/serial/by-id/... name) or COMn
  PlayVCRPreroll, RecVCRPreroll    preroll in seconds
  PlayVCRCompression, RecVCRCompression, PlayVCRVideoMode, RecVCRVideoMode,
  PlayVCRVideoType, RecVCRVideoType
                                   RECON decks only: 4..10, PAL or NTSC, COMP or SVID
  EditAdjust                       the player's edit adjust in frames
  StopOnExit                       YES stops both decks when the window closes
  LogEdits                         YES appends each edit to edl.txt
  TimeBase                         optional: 30, 29.97, 29.97DF or 25 (default 30)

Keyboard (main window; a deck key acts on the selected deck):
  F1 / F2          select the player / the recorder
  Space            play; stop when the deck plays or an edit runs (it aborts the edit)
  J / L            shuttle reverse / forward (again: faster)
  K                stop
  Left / Right     jog one frame back / forward
  I / O            Set In / Set Out
  C                Cue/Play
  Ctrl+Return      DO EDIT
  Ctrl+P           PREVIEW
  Esc              ALL STOP (aborts an edit in progress); also leaves a point field
While a point field has the focus, keys type into it and Enter enters the point.

Exit statuses:
  0  the main window was closed (or SIGTERM, SIGINT, SIGHUP or SIGQUIT closed it), a
     deck's serial port could not be opened, or an option above printed its text
  1  the settings file is missing, unreadable or has a missing or malformed setting, or
     there is no serial backend for this system
)";

}

const char* CommandLine::version()
{
    return KESTRIX_VERSION;
}

const char* CommandLine::help()
{
    return helpText;
}

std::optional<int> CommandLine::run(int argc, const char* const argv[], std::ostream& out)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--version") {
            out << "kestrix " << version() << '\n';
            return 0;
        }
        if (argument == "--help") {
            out << help();
            return 0;
        }
        if (argument == "--list-ports") {
            out << SerialPortList().report();
            return 0;
        }
    }
    return std::nullopt;
}
