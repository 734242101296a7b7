#include "tools/decksim/CommandLine.h"

#include "tools/decksim/TimeCode.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <map>

namespace decksim {

namespace {

// A command line being read. Start positions wait for the end, because they are labels of
// the time base, which may come later.
struct Parsing {
    CommandLine& c;
    std::string playerStart;
    std::string recorderStart;
};

using Setter = std::function<void(Parsing&, const std::string& name, const std::string& value)>;
using FlagSetter = std::function<void(CommandLine&)>;

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

TimeBase timeBase(const std::string& name, const std::string& value)
{
    const auto base = TimeBase::parse(value);
    if (!base) {
        throw UsageError("invalid value for " + name + ": " + quoted(value) + " (30, 29.97, 29.97DF or 25)");
    }
    return *base;
}

int timeCode(const std::string& name, const std::string& value, TimeBase base)
{
    const auto frames = TimeCode::parse(value, base);
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
    using S = const std::string&;
    static const std::map<std::string, Setter> table{
        {"--dir", [](Parsing& p, S, S v) { p.c.dir = v; }},
        {"--report", [](Parsing& p, S, S v) { p.c.report = v; }},
        {"--trace", [](Parsing& p, S, S v) { p.c.trace = v; }},
        {"--preroll", [](Parsing& p, S n, S v) { p.c.prerollSeconds = wholeNumber(n, v, 0, 59); }},
        {"--adjust", [](Parsing& p, S n, S v) { p.c.adjustFrames = wholeNumber(n, v, -999, 999); }},
        {"--reply-delay-ms", [](Parsing& p, S n, S v) { p.c.decks.replyDelayMs = wholeNumber(n, v, 0, 8); }},
        {"--edit-delay-frames", [](Parsing& p, S n, S v) { p.c.decks.editDelayFrames = wholeNumber(n, v, 0, 300); }},
        {"--lock-frames", [](Parsing& p, S n, S v) { p.c.decks.lockFrames = wholeNumber(n, v, 0, 300); }},
        {"--player-lock-frames", [](Parsing& p, S n, S v) { p.c.decks.playerLockFrames = wholeNumber(n, v, 0, 300); }},
        {"--recorder-lock-frames", [](Parsing& p, S n, S v) { p.c.decks.recorderLockFrames = wholeNumber(n, v, 0, 300); }},
        {"--seek-speed", [](Parsing& p, S n, S v) { p.c.decks.seekSpeed = speed(n, v); }},
        {"--timebase", [](Parsing& p, S n, S v) { p.c.decks.timeBase = timeBase(n, v); }},
        {"--adapter-latency-ms", [](Parsing& p, S n, S v) { p.c.decks.adapterLatencyMs = wholeNumber(n, v, 0, 1000); }},
        {"--nak-every", [](Parsing& p, S n, S v) { p.c.decks.nakEvery = wholeNumber(n, v, 0, 1000000); }},
        {"--garble-every", [](Parsing& p, S n, S v) { p.c.decks.garbleEvery = wholeNumber(n, v, 0, 1000000); }},
        {"--player-start", [](Parsing& p, S, S v) { p.playerStart = v; }},
        {"--recorder-start", [](Parsing& p, S, S v) { p.recorderStart = v; }},
        {"--mute", [](Parsing& p, S n, S v) { deckFlag(n, v, p.c.mutePlayer, p.c.muteRecorder); }},
        {"--no-cue", [](Parsing& p, S n, S v) { deckFlag(n, v, p.c.noCuePlayer, p.c.noCueRecorder); }},
    };
    return table;
}

const std::map<std::string, FlagSetter>& flagSetters()
{
    static const std::map<std::string, FlagSetter> table{
        {"--help", [](CommandLine& c) { c.help = true; }},
        {"-h", [](CommandLine& c) { c.help = true; }},
        {"--echo", [](CommandLine& c) { c.decks.echo = true; }},
        {"--no-varispeed", [](CommandLine& c) { c.decks.noVarispeed = true; }},
    };
    return table;
}

void takeStartPositions(const Parsing& parsing)
{
    Options& decks = parsing.c.decks;
    if (!parsing.playerStart.empty()) {
        decks.playerStartFrame = timeCode("--player-start", parsing.playerStart, decks.timeBase);
    }
    if (!parsing.recorderStart.empty()) {
        decks.recorderStartFrame = timeCode("--recorder-start", parsing.recorderStart, decks.timeBase);
    }
}

}  // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& arguments)
{
    CommandLine commandLine;
    Parsing parsing{commandLine, {}, {}};
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        const std::size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        if (const auto flag = flagSetters().find(name); flag != flagSetters().end()) {
            if (equals != std::string::npos) {
                throw UsageError("option " + name + " takes no value");
            }
            flag->second(commandLine);
            continue;
        }
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
        setter->second(parsing, name, value);
    }
    takeStartPositions(parsing);
    return commandLine;
}

std::string CommandLine::usage()
{
    return R"(Usage: kestrix-decksim [options]

Runs two virtual tape decks, a player and a recorder, that speak the RS-422 nine-pin deck
protocol on pseudo-terminals. Prints "player <path>" and "recorder <path>" (the two device
paths a controller opens), then "ready". SIGINT or SIGTERM writes the final report and ends
with status 0. Each path is a link to the deck's pseudo-terminal that stays while the deck
is unplugged and plugged back (see the commands below).

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
  --player-lock-frames N   the same for the player alone (default: --lock-frames)
  --recorder-lock-frames N the same for the recorder alone (default: --lock-frames)
  --seek-speed X           cueing speed as a multiple of play speed (default 50)
  --timebase B             the tape's time base: 30 (30 frames/s, the default), 29.97
                           (30000/1001 frames/s, non-drop labels), 29.97DF (drop-frame
                           labels, flagged in time code replies) or 25 (labels 00 to 24);
                           time data and the report's time codes are labels of that base
  --player-start TC        the player's tape position at start, HH:MM:SS:FF (default 00:00:00:00)
  --recorder-start TC      the recorder's tape position at start (default 00:00:00:00)
  --no-varispeed           the decks answer variable-speed play (21 12 / 21 22) with an
                           undefined-command NAK
  --mute player|recorder   that deck reads everything and never answers
  --no-cue player|recorder that deck never reports cue-up complete (it still moves)
  --help                   shows this text

Commands on standard input, one a line:
  unplug player|recorder   pulls that deck's line, as a USB adapter pulled out: the port
                           hangs up and its path goes away; answers "<deck> unplugged"
  plug player|recorder     plugs that deck back, at the same path; answers "<deck> plugged"

Line faults (all off by default):
  --adapter-latency-ms N   like a USB serial adapter's latency timer: each reply reaches the
                           controller in up to two pieces, the last N ms after the deck sent it
  --nak-every N            every Nth block a deck receives earns a checksum-error NAK
                           (11 12 04 27) and is not carried out
  --garble-every N         every Nth reply of a deck has one byte changed, so that its
                           checksum is wrong
  --echo                   each block the controller sends comes back to it (the same
                           bytes) before the reply, as from a two-wire converter
)";
}

std::optional<PlugCommand> PlugCommand::parse(const std::string& line)
{
    static const std::map<std::string, PlugCommand> commands{
        {"unplug player", {Role::Player, false}},
        {"unplug recorder", {Role::Recorder, false}},
        {"plug player", {Role::Player, true}},
        {"plug recorder", {Role::Recorder, true}},
    };
    const std::size_t first = line.find_first_not_of(" \t\r");
    const std::size_t last = line.find_last_not_of(" \t\r");
    const auto command = first == std::string::npos ? commands.end() : commands.find(line.substr(first, last - first + 1));
    if (command == commands.end()) {
        return std::nullopt;
    }
    return command->second;
}

}  // namespace decksim
