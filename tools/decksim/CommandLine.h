#pragma once

#include "tools/decksim/Options.h"
#include "tools/decksim/Role.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace decksim {

// A command line that kestrix-decksim cannot run with; what() says why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The options of kestrix-decksim.
struct CommandLine {
    Options decks;
    std::string dir;
    std::string report;
    std::string trace;
    int prerollSeconds = 3;
    int adjustFrames = 0;
    bool mutePlayer = false;
    bool muteRecorder = false;
    bool noCuePlayer = false;
    bool noCueRecorder = false;
    bool help = false;

    // The arguments after the program name; "--name value" and "--name=value" both work.
    static CommandLine parse(const std::vector<std::string>& arguments);
    static std::string usage();
};

// A line typed on kestrix-decksim's standard input: "unplug player", "plug recorder", ...
struct PlugCommand {
    Role role;
    bool plugged;

    // Nothing when the line is not such a command.
    static std::optional<PlugCommand> parse(const std::string& line);
};

}  // namespace decksim
