#include "app/CommandLine.h"

#include "app/SerialPortList.h"

#include <string>
#include <string_view>

namespace {

constexpr const char* helpText = R"(Usage: kestrix [--help | --version | --list-ports] [--list FILE]
       kestrix --assemble FILE [--from N] [--b-mode] [--reel NAME]

Kestrix drives a player and a recorder tape deck over RS-422 (nine-pin protocol) and
copies a marked stretch of the player's tape onto the recorder's tape frame-accurately.

Options:
  --help        print this text and exit
  --version     print the version and exit
  --list-ports  print the serial ports present, with their /dev/serial/by-id names, and exit
  --list FILE   the event list to start with and keep (default: kestrix.edl)
  --assemble FILE
                start as usual with FILE as the event list, record it on the recorder event after
                event, each as an auto edit checked by the recorder, then close the program.
                Events the journal beside the list (FILE.journal) has on tape from an
                earlier run are not recorded again: a run cut short is resumed. Dissolves,
                wipes and keys refuse the run ("NEEDS A SWITCHER"); so do events on BL or AX
                (recorded from the recorder's own input), since no one can confirm that
                their source is routed. The run stops at the first event not recorded
                exactly, and at a reel change (no one can mount the reel).
                One console line per event with its result, then "ASSEMBLED n OF m EVENTS".
  --from N      with --assemble: record from event number N on, whatever the journal says
  --b-mode      with --assemble: the reel on the player first, then each other reel, each
                reel's events in record order (A-mode, list order, without it)
  --reel NAME   with --assemble: the reel on the player at the start (without it, the reel
                of the first event to be performed)
Any other argument is ignored.

Files, in the folder Kestrix is started from:
  KESTRIX_Settings.txt  the settings; must exist before the first start (never created)
  edl.txt               the edit log; each performed edit is appended when it exists
                        (never created)
  kestrix.edl           the event list (CMX 3600), or the FILE of --list: read at start-up
                        when it exists, created at its first event, and rewritten whole
                        after every change of the list; each edit the recorder confirms
                        becomes its next event

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
  Ctrl+L           open the event list window
  Ctrl+R           recall: the last edit's points and mode back in the panels
  Ctrl+M           match frame: the player cued to the source of the recorder's frame
While a point field has the focus, keys type into it and Enter enters the point.

Keyboard (event list window; choosing an event loads it, ready for DO EDIT or PREVIEW):
  Up / Down        choose an event
  Q / W            trim the record in one frame earlier / later (with Shift: ten)
  E / R            trim the record out
  A / S            trim the source in
  D / F            trim the source out
  X                ripple on / off
  Delete, Insert   delete the event; insert the marked points as an event, not recorded
  N                renumber the events
  Ctrl+Z, Ctrl+Y   undo, redo (also Ctrl+Shift+Z)
  Ctrl+R, Ctrl+M, Ctrl+Return, Ctrl+P, Esc   as in the main window
  F5 / F6          assemble the list: every event / from the chosen event on
  B                B-mode (grouped by reel) on / off; off: A-mode (list order)
  F7               resume the run left unfinished, from the first event not recorded
  F3 / F4          yes / no to the run's question (MOUNT REEL <name> ON THE PLAYER, a source
                   routed); no stops the run
  F8 / F9 / F10    after a run stopped at an event: retry it / skip it / stop the run
While a run goes the list takes no change; Esc (ALL STOP) stops it at its event.

Exit statuses:
  0  the main window was closed (or SIGTERM, SIGINT, SIGHUP or SIGQUIT closed it), a
     deck's serial port could not be opened, or an option above printed its text; with
     --assemble, every event of the run is on tape, recorded and confirmed
  1  the settings file is missing, unreadable or has a missing or malformed setting, or
     there is no serial backend for this system
  2  the command line cannot be used (--list or --assemble without FILE, --from without a
     number, --from, --b-mode or --reel without --assemble), or the event list file exists
     but cannot be read as a list (or counts drop frame on a TimeBase without it)
  3  with --assemble: the run stopped or did not start (the console says at which event
     and why), or the program was closed before it ended
)";

bool isNumber(std::string_view text)
{
    return !text.empty() && text.size() <= 6 && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// What is wrong with the assemble options; empty when nothing is.
std::string assembleUsageError(int argc, const char* const argv[])
{
    bool assemble = false;
    bool option = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool last = i + 1 == argc;
        if (argument == "--assemble") {
            if (last || std::string_view(argv[i + 1]).rfind("--", 0) == 0)
                return "--assemble needs the list file";
            assemble = true;
            ++i;
        } else if (argument == "--from") {
            if (last || !isNumber(argv[i + 1]))
                return "--from needs an event number";
            option = true;
            ++i;
        } else if (argument == "--reel") {
            if (last || std::string_view(argv[i + 1]).empty())
                return "--reel needs a reel name";
            option = true;
            ++i;
        } else if (argument == "--b-mode") {
            option = true;
        }
    }
    if (option && !assemble)
        return "--from, --b-mode and --reel go with --assemble";
    return "";
}

}

const char* CommandLine::version()
{
    return KESTRIX_VERSION;
}

const char* CommandLine::help()
{
    return helpText;
}

std::optional<AssembleArguments> CommandLine::assembly(int argc, const char* const argv[])
{
    bool assemble = false;
    AssembleArguments arguments;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        const bool valued = i + 1 < argc;
        if (argument == "--assemble" && valued) {
            arguments.file = argv[++i];
            assemble = true;
        } else if (argument == "--from" && valued && isNumber(argv[i + 1])) {
            arguments.from = std::stoi(argv[++i]);
        } else if (argument == "--reel" && valued) {
            arguments.reel = argv[++i];
        } else if (argument == "--b-mode") {
            arguments.byReel = true;
        }
    }
    if (!assemble)
        return std::nullopt;
    return arguments;
}

std::optional<int> CommandLine::run(int argc, const char* const argv[], std::ostream& out)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--list") {
            if (i + 1 >= argc) {
                out << "kestrix: --list needs the event list's FILE\n";
                return usageStatus;
            }
            ++i;
            continue;
        }
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
    if (const std::string error = assembleUsageError(argc, argv); !error.empty()) {
        out << "kestrix: " << error << "\nUsage: kestrix --assemble FILE [--from N] [--b-mode] [--reel NAME]\n";
        return usageStatus;
    }
    return std::nullopt;
}

std::string CommandLine::listFile(int argc, const char* const argv[])
{
    std::string listed = defaultList;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--assemble")
            return argv[i + 1];
        if (argument == "--list")
            listed = argv[++i];
    }
    return listed;
}
