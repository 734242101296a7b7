#include "tools/decksim/CommandLine.h"

#include "tools/decksim/TimeCode.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <map>

namespace decksim {

namespace {

using Setter = std::function<void(CommandLine&, const std::string& name, const std::string& value)>;

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

int wholeNumber(const std::string& name, const std::string& value, int lowest, int highest)
{
    int number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (value.empty() || error != std::errc() || end != value.data() + value.size() || number < lowest || number > highest) {
        throw UsageError("invalid value for " + name + ": " + quoted(value) + " (a whole number from "
                         + std::to_string(lowest) + " to " + std::to_string(highest) + ")");
    }
    return number;
}

double speed(const std::string& name, const std::string& value)
{
    std::size_t used = 0;
    double number = 0.0;
    try {
        number = std::stod(value, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (value.empty() || used != value.size() || !std::isfinite(number) || number <= 0.0 || number > 1000.0) {
        throw UsageError("invalid value for " + name + ": " + quoted(value) + " (a speed above 0, at most 1000)");
    }
    return number;
}

int timeCode(const std::string& name, const std::string& value)
{
    const auto frames = TimeCode::parse(value);
    if (!frames) {
        throw UsageError("invalid time code for " + name + ": " + quoted(value)
                         + " (HH:MM:SS:FF from 00:00:00:00 to 02:00:00:00)");
    }
    return *frames;
}

// Sets the player's or the recorder's flag, as the value names the deck.
void deckFlag(const std::string& name, const std::string& value, bool& player, bool& recorder)
{
    if (value == "player") {
        player = true;
    } else if (value == "recorder") {
        recorder = true;
    } else {
        throw UsageError("invalid deck for " + name + ": " + quoted(value) + " (player or recorder)");
    }
}

const std::map<std::string, Setter>& setters()
{
    static const std::map<std::string, Setter> table{
        {"--dir", [](CommandLine& c, const std::string&, const std::string& v) { c.dir = v; }},
        {"--report", [](CommandLine& c, const std::string&, const std::string& v) { c.report = v; }},
        {"--trace", [](CommandLine& c, const std::string&, const std::string& v) { c.trace = v; }},
        {"--preroll", [](CommandLine& c, const std::string& n, const std::string& v) { c.prerollSeconds = wholeNumber(n, v, 0, 59); }},
        {"--adjust", [](CommandLine& c, const std::string& n, const std::string& v) { c.adjustFrames = wholeNumber(n, v, -999, 999); }},
        {"--reply-delay-ms", [](CommandLine& c, const std::string& n, const std::string& v) { c.decks.replyDelayMs = wholeNumber(n, v, 0, 8); }},
        {"--edit-delay-frames", [](CommandLine& c, const std::string& n, const std::string& v) { c.decks.editDelayFrames = wholeNumber(n, v, 0, 300); }},
        {"--lock-frames", [](CommandLine& c, const std::string& n, const std::string& v) { c.decks.lockFrames = wholeNumber(n, v, 0, 300); }},
        {"--seek-speed", [](CommandLine& c, const std::string& n, const std::string& v) { c.decks.seekSpeed = speed(n, v); }},
        {"--player-start", [](CommandLine& c, const std::string& n, const std::string& v) { c.decks.playerStartFrame = timeCode(n, v); }},
        {"--recorder-start", [](CommandLine& c, const std::string& n, const std::string& v) { c.decks.recorderStartFrame = timeCode(n, v); }},
        {"--mute", [](CommandLine& c, const std::string& n, const std::string& v) { deckFlag(n, v, c.mutePlayer, c.muteRecorder); }},
        {"--no-cue", [](CommandLine& c, const std::string& n, const std::string& v) { deckFlag(n, v, c.noCuePlayer, c.noCueRecorder); }},
    };
    return table;
}

}  // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& arguments)
{
    CommandLine commandLine;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (argument == "--help" || argument == "-h") {
            commandLine.help = true;
            continue;
        }
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const auto setter = setters().find(name);
        if (setter == setters().end()) {
            throw UsageError(argument.rfind("-", 0) == 0 ? "unknown option: " + name : "unexpected argument: " + argument);
        }
        std::string value;
        if (equals != std::string::npos) {
            value = argument.substr(equals + 1);
        } else if (index + 1 < arguments.size()) {
            value = arguments[++index];
        } else {
            throw UsageError("missing value for " + name);
        }
        setter->second(commandLine, name, value);
    }
    return commandLine;
}

std::string CommandLine::usage()
{
    return R"(Usage: kestrix-decksim [options]

Runs two virtual tape decks, a player and a recorder, that speak the RS-422 nine-pin deck
protocol on pseudo-terminals. Prints "player <path>" and "recorder <path>" (the two device
paths a controller opens), then "ready". SIGINT or SIGTERM writes the final report and ends
with status 0.

Files:
  --dir DIR                writes DIR/KESTRIX_Settings.txt naming the two decks (when the
                           file exists, only its PlayVCRCOMPort and RecVCRCOMPort lines are
                           rewritten) and creates an empty DIR/edl.txt when it is missing
  --preroll S              preroll in seconds for a new settings file (default 3)
  --adjust F               edit adjust in frames for a new settings file (default 0)
  --report FILE            the recorder's tape, rewritten after every change and at exit:
                           segment channels=V,A1,A2 rec=HH:MM:SS:FF-HH:MM:SS:FF src=HH:MM:SS:FF-HH:MM:SS:FF
  --trace FILE             one line per block received or sent:
                           <microseconds> <player|recorder> <rx|tx> <bytes in hex>

Deck behaviour:
  --reply-delay-ms N       time from a block to its reply, 0 to 8 (default 2)
  --edit-delay-frames N    frames between Edit on/off and record starting/ending (default 0)
  --lock-frames N          frames between Play and moving at play speed (default 0)
  --seek-speed X           cueing speed as a multiple of play speed (default 50)
  --player-start TC        the player's tape position at start, HH:MM:SS:FF (default 00:00:00:00)
  --recorder-start TC      the recorder's tape position at start (default 00:00:00:00)
  --mute player|recorder   that deck reads everything and never answers
  --no-cue player|recorder that deck never reports cue-up complete (it still moves)
  --help                   shows this text
)";
}

}  // namespace decksim
