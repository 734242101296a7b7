#include "tools/decksim/CommandLine.h"

#include "tools/decksim/ReelNames.h"
#include "tools/decksim/TimeCode.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <sstream>
#include <stdexcept>

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
    const auto role = roleNamed(value);
    if (!role) {
        throw UsageError("invalid deck for " + name + ": " + quoted(value) + " (player or recorder)");
    }
    (*role == Role::Player ? player : recorder) = true;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1) {
        parts.push_back(text.substr(start, end - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::string commandNameList()
{
    std::string list;
    for (const std::string_view name : DeckCommands::names()) {
        list += (list.empty() ? "" : ", ") + std::string(name);
    }
    return list;
}

DeckCommand deckCommand(const std::string& name, const std::string& value)
{
    const auto command = DeckCommands::named(value);
    if (!command) {
        throw UsageError("invalid command for " + name + ": " + quoted(value) + " (" + commandNameList() + ")");
    }
    return *command;
}

constexpr int mostRefusals = 1'000'000;

// [player:|recorder:]COMMAND[:N]
Refusal refusal(const std::string& name, const std::string& value)
{
    const std::vector<std::string> parts = split(value, ':');
    std::size_t at = 0;
    Refusal refusal{std::nullopt, DeckCommand::Play, std::nullopt};
    if (parts.size() > 1 && roleNamed(parts[0])) {
        refusal.deck = roleNamed(parts[at++]);
    }
    refusal.command = deckCommand(name, parts[at++]);
    if (at < parts.size()) {
        refusal.times = wholeNumber(name, parts[at++], 1, mostRefusals);
    }
    if (at != parts.size()) {
        throw UsageError("invalid value for " + name + ": " + quoted(value) + " ([player:|recorder:]COMMAND[:N])");
    }
    return refusal;
}

std::vector<std::string> reels(const std::string& name, const std::string& value)
{
    try {
        return ReelNames::of(split(value, ','));
    } catch (const std::invalid_argument& error) {
        throw UsageError("invalid value for " + name + ": " + quoted(value) + ": " + error.what());
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
        {"--refuse", [](Parsing& p, S n, S v) { p.c.decks.refusals.push_back(refusal(n, v)); }},
        {"--local", [](Parsing& p, S n, S v) { deckFlag(n, v, p.c.decks.playerLocal, p.c.decks.recorderLocal); }},
        {"--no-tape", [](Parsing& p, S n, S v) { deckFlag(n, v, p.c.decks.playerNoTape, p.c.decks.recorderNoTape); }},
        {"--sample-delay-ms", [](Parsing& p, S n, S v) { p.c.decks.sampleDelayMs = wholeNumber(n, v, 0, 9); }},
        {"--seed", [](Parsing& p, S n, S v) { p.c.decks.seed = static_cast<std::uint64_t>(wholeNumber(n, v, 0, std::numeric_limits<int>::max())); }},
        {"--late-every", [](Parsing& p, S n, S v) { p.c.decks.lateEvery = wholeNumber(n, v, 0, 1000000); }},
        {"--late-ms", [](Parsing& p, S n, S v) { p.c.decks.lateMs = wholeNumber(n, v, 0, 10000); }},
        {"--df-flag-dropout-every", [](Parsing& p, S n, S v) { p.c.decks.dfFlagDropoutEvery = wholeNumber(n, v, 0, 1000000); }},
        {"--player-reels", [](Parsing& p, S n, S v) { p.c.decks.playerReels = reels(n, v); }},
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
        {"--rec-inhibit", [](CommandLine& c) { c.decks.recordInhibit = true; }},
        {"--lock-ramp", [](CommandLine& c) { c.decks.lockRamp = true; }},
        {"--flag-bits", [](CommandLine& c) { c.decks.flagBits = true; }},
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

// Late replies need both how often and how late.
void checkLateReplies(const Options& decks)
{
    if ((decks.lateEvery > 0) != (decks.lateMs > 0)) {
        throw UsageError("--late-every and --late-ms go together, each above 0");
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
    checkLateReplies(commandLine.decks);
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
  --report FILE            the recorder's tape, rewritten after every change and at exit,
                           one line per run of frames that carry the same channels from
                           frames of one player's reel that follow each other:
                           segment channels=V,A1,A2 rec=HH:MM:SS:FF-HH:MM:SS:FF src=HH:MM:SS:FF-HH:MM:SS:FF reel=NAME rec-frames=F-L src-frames=F-L
                           (first and last frame, both included, as labels and as frame
                           numbers from 00:00:00:00). Each channel of each recorded frame is
                           in exactly one line, so overlapping inserts read back per frame.
  --trace FILE             one line per block received or sent:
                           <microseconds> <player|recorder> <rx|tx> <bytes in hex>

Deck behaviour:
  --reply-delay-ms N       time from a block to its reply, 0 to 8 (default 2)
  --edit-delay-frames N    frames between Edit on/off and record starting/ending (default 0)
  --lock-frames N          frames between Play and moving at play speed (default 0)
  --player-lock-frames N   the same for the player alone (default: --lock-frames)
  --recorder-lock-frames N the same for the recorder alone (default: --lock-frames)
  --lock-ramp              after Play the tape speeds up over the lock frames, one step a
                           frame, instead of standing still until they end (servo lock
                           2.7 is set at their end, as without the ramp)
  --seek-speed X           cueing speed as a multiple of play speed (default 50)
  --timebase B             the tape's time base: 30 (30 frames/s, the default), 29.97
                           (30000/1001 frames/s, non-drop labels), 29.97DF (drop-frame
                           labels, flagged in time code replies) or 25 (labels 00 to 24);
                           time data and the report's time codes are labels of that base
  --player-start TC        the player's tape position at start, HH:MM:SS:FF (default 00:00:00:00)
  --recorder-start TC      the recorder's tape position at start (default 00:00:00:00)
  --player-reels A,B,...   the player holds these reels (1 to 8 upper-case letters and
                           digits each), each its own tape with its own content and its own
                           position (each starts at --player-start); the first is mounted at
                           start. Without it the player has the one reel 001. The report
                           names the reel of each segment.
  --no-varispeed           the decks answer variable-speed play (21 12 / 21 22) with an
                           undefined-command NAK
  --mute player|recorder   that deck reads everything and never answers
  --no-cue player|recorder that deck never reports cue-up complete (it still moves)
  --help                   shows this text

Decks that do not obey (all off by default). A refused block is answered with the NAK a deck
gives a block it will not carry out, undefined command (11 12 01 24), and left undone:
  --refuse [DECK:]COMMAND[:N]
                           that deck (player or recorder; without it both decks, each
                           counting its own) refuses COMMAND, always or only the first N
                           times; repeatable. COMMAND is one of: device-type, stop, play,
                           record, standby, eject, fast-forward, rewind, jog, var (variable-
                           speed play), shuttle, preroll, cue (cue up with data), preview,
                           review, auto-edit, full-ee, edit-off, edit-on, in-preset,
                           out-preset, preroll-preset, preset (the edit preset 41 30),
                           time-mode, recon, status (status sense), time-code (current time
                           sense). Example: --refuse recorder:edit-off:20
  --rec-inhibit            the recorder's tape is write-protected: record inhibit 8.0 is
                           set; record, edit on and auto edit are acknowledged and move the
                           tape as usual (record plays), but nothing is recorded and record
                           1.1 and edit 4.4 stay clear
  --local player|recorder  that deck is switched to LOCAL: local 0.0 is set; it answers
                           status sense, current time sense and device type, and refuses
                           every other block (motion, record, edit, presets, set-up)
  --no-tape player|recorder
                           no cassette in that deck: cassette out 0.5 is set; every block
                           is answered as usual (commands acknowledged, presets stored) but
                           nothing moves or records; time code reads 00:00:00:00

Timing that is not ideal (all off by default):
  --sample-delay-ms N      a deck reads its tape for a status or time code reply 0 to N ms
                           (N from 0 to 9) after the request is complete, a pseudo-random
                           moment; the reply leaves no sooner than that moment
  --seed S                 seed of those moments (default 1): the same seed, the same run
  --late-every N           every Nth reply of a deck leaves --late-ms late (the replies
  --late-ms M                keep their order; M above about 40 is past a controller's
                           deadline); the two go together
  --df-flag-dropout-every N
                           on a drop-frame time base, every Nth time code reply of a deck
                           lacks the drop-frame flag (bit 6 of the frames byte)
  --flag-bits              time code replies carry the flag bits a deck may set, which a
                           controller must mask: bit 7 of the frames (colour frame),
                           seconds and minutes bytes, bits 6 and 7 of the hours byte

Commands on standard input, one a line (DECK is player or recorder):
  unplug DECK              pulls that deck's line, as a USB adapter pulled out: the port
                           hangs up and its path goes away; the deck goes on with what it
                           was doing (playing, recording). Answers "<deck> unplugged"
  plug DECK                plugs that deck back, at the same path, its state as it was;
                           answers "<deck> plugged"
  power-cycle DECK         switches that deck off and on, plugged or not: it comes back
                           stopped, with no edit preset, no in or out point and the default
                           preroll (5 s), its tape where it was; answers "<deck> power-cycled"
  local DECK, remote DECK  switches that deck to LOCAL or back to REMOTE (see --local);
                           answers "<deck> local" or "<deck> remote"
  refuse [DECK] COMMAND [N]
                           as --refuse, from now on; answers "<deck> refuses COMMAND" and
                           the count when there is one, a line for each deck
  allow [DECK] COMMAND     ends a refusal; answers "<deck> allows COMMAND"
  mount REEL               puts that reel in the player: the player stops, the reel goes in
                           where it was taken out; answers "player mounted REEL"

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

namespace {

std::vector<std::string> wordsOf(const std::string& line)
{
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

const std::vector<Role> bothDecks{Role::Player, Role::Recorder};

// refuse [player|recorder] COMMAND [N], allow [player|recorder] COMMAND
InputCommand refusalCommand(InputCommand::Kind kind, const std::vector<std::string>& words, const std::string& line)
{
    const bool refusing = kind == InputCommand::Kind::Refuse;
    const std::string form = refusing ? "refuse [player|recorder] COMMAND [N]" : "allow [player|recorder] COMMAND";
    std::size_t at = 1;
    InputCommand command{kind, bothDecks};
    if (at < words.size() && roleNamed(words[at])) {
        command.decks = {*roleNamed(words[at++])};
    }
    if (at >= words.size()) {
        throw UsageError("missing command in " + quoted(line) + " (" + form + ")");
    }
    command.command = deckCommand(words[0], words[at++]);
    if (refusing && at < words.size()) {
        command.times = wholeNumber(words[0], words[at++], 1, mostRefusals);
    }
    if (at != words.size()) {
        throw UsageError("too many words in " + quoted(line) + " (" + form + ")");
    }
    return command;
}

}  // namespace

InputCommand InputCommand::parse(const std::string& line)
{
    static const std::map<std::string, Kind> deckVerbs{
        {"unplug", Kind::Unplug}, {"plug", Kind::Plug}, {"power-cycle", Kind::PowerCycle},
        {"local", Kind::Local},   {"remote", Kind::Remote},
    };
    const std::vector<std::string> words = wordsOf(line);
    if (words.empty()) {
        throw UsageError("empty command");
    }
    if (const auto verb = deckVerbs.find(words[0]); verb != deckVerbs.end()) {
        if (words.size() != 2 || !roleNamed(words[1])) {
            throw UsageError(words[0] + " takes player or recorder: " + quoted(line));
        }
        return {verb->second, {*roleNamed(words[1])}};
    }
    if (words[0] == "refuse") {
        return refusalCommand(Kind::Refuse, words, line);
    }
    if (words[0] == "allow") {
        return refusalCommand(Kind::Allow, words, line);
    }
    if (words[0] == "mount") {
        if (words.size() != 2 || !ReelNames::valid(words[1])) {
            throw UsageError("mount takes a reel name: " + quoted(line));
        }
        return {Kind::Mount, {Role::Player}, DeckCommand::Play, std::nullopt, words[1]};
    }
    throw UsageError("unknown command: " + quoted(line) + " (unplug, plug, power-cycle, local, remote, refuse, allow or mount)");
}

}  // namespace decksim
