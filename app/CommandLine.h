#pragma once

#include <optional>
#include <ostream>
#include <string>

// What `--assemble FILE [--from N] [--b-mode] [--reel NAME]` asks for.
struct AssembleArguments {
    std::string file;
    // The number of the event the run starts at; none: every event the journal beside the list
    // does not have on tape.
    std::optional<int> from;
    bool byReel = false;
    // The reel on the player; empty: the reel of the first event to be performed.
    std::string reel;
};

// The few arguments an operator or a package script uses: --version, --help and
// --list-ports print and end the program; --list FILE names the event list; --assemble FILE
// and its options start the program to assemble FILE, which is then the session's event list;
// any other argument is ignored. They are looked at before anything else of start-up, so the
// printing ones work without a settings file or a display.
class CommandLine {
public:
    // The event list without --list or --assemble, in the folder Kestrix is started from.
    static constexpr const char* defaultList = "kestrix.edl";
    // A command line that cannot be used (--list or --assemble without its file, --from
    // without an event number, an assemble option without --assemble), and an event list
    // that cannot be read.
    static constexpr int usageStatus = 2;

    // The exit status when an argument asks to print and end, or when the command line cannot
    // be used (said on out); nothing when start-up goes on.
    static std::optional<int> run(int argc, const char* const argv[], std::ostream& out);
    // The list to assemble, when --assemble asks for one.
    static std::optional<AssembleArguments> assembly(int argc, const char* const argv[]);
    // The event list's file: the one --assemble or else --list names, or defaultList.
    static std::string listFile(int argc, const char* const argv[]);

    static const char* version();
    static const char* help();
};
