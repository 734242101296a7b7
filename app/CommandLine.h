#pragma once

#include <optional>
#include <ostream>

// The few arguments an operator or a package script uses: --version, --help and
// --list-ports print and end the program; any other argument is ignored. They are looked at
// before anything else of start-up, so they work without a settings file or a display.
class CommandLine {
public:
    // The exit status when an argument asks to print and end, nothing when start-up goes on.
    static std::optional<int> run(int argc, const char* const argv[], std::ostream& out);

    static const char* version();
    static const char* help();
};
