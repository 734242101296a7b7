#pragma once

#include "tools/decksim/DeckCommand.h"
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

// A line typed on kestrix-decksim's standard input: "unplug player", "refuse recorder
// edit-off 20", "mount B", ...
struct InputCommand {
    enum class Kind { Unplug, Plug, PowerCycle, Local, Remote, Refuse, Allow, Mount };

    Kind kind = Kind::Unplug;
    std::vector<Role> decks = {};              // the decks it acts on (the player for mount)
    DeckCommand command = DeckCommand::Play;   // refuse and allow
    std::optional<int> times = std::nullopt;   // refuse: only the next times, or always
    std::string reel = "";                     // mount

    // Throws UsageError saying what is wrong with the line.
    static InputCommand parse(const std::string& line);
};

}  // namespace decksim
