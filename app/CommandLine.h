#pragma once

#include <optional>
#include <ostream>

#include <string>

// The few arguments an operator or a package script uses: --version, --help and
// --list-ports print and end the program; --list FILE names the event list; any other
// argument is ignored. They are looked at before anything else of start-up, so they work
// without a settings file or a display.
class CommandLine {
public:
    // The event list without --list, in the folder Kestrix is started from.
    static constexpr const char* defaultList = "kestrix.edl";
    // The exit status of an event list that cannot be read, and of --list without its file.
    static constexpr int listUnreadable = 2;

    // The exit status when an argument asks to print and end, or is wrong; nothing when
    // start-up goes on.
    static std::optional<int> run(int argc, const char* const argv[], std::ostream& out);
    // The event list's file: the one --list names, or defaultList.
    static std::string listFile(int argc, const char* const argv[]);

    static const char* version();
    static const char* help();
};
