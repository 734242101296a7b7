#pragma once

#include "tools/decksim/Block.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace decksim {

// The blocks a deck knows, by what they ask of it. Forward and reverse forms of one motion,
// and both settings of a switch, are one command.
enum class DeckCommand {
    DeviceType,     // 00 11
    Stop,           // 20 00
    Play,           // 20 01
    Record,         // 20 02
    Standby,        // 20 04, 20 05
    Eject,          // 20 0F
    FastForward,    // 20 10
    Rewind,         // 20 20
    Jog,            // 21 11, 21 21
    Var,            // 21 12, 21 22: variable-speed play
    Shuttle,        // 21 13, 21 23
    Preroll,        // 20 30
    Cue,            // 24 31: cue up with data
    Preview,        // 20 40
    Review,         // 20 41
    AutoEdit,       // 20 42
    FullEE,         // 20 60, 20 61
    EditOff,        // 20 64
    EditOn,         // 20 65
    InPreset,       // 44 14
    OutPreset,      // 44 15
    PrerollPreset,  // 44 31
    Preset,         // 41 30: the edit preset
    TimeMode,       // 41 36
    Recon,          // F3 02: a RECON set-up packet
    Status,         // 61 20: status sense
    TimeCode,       // 61 0C: current time sense
};

class DeckCommands {
public:
    // The command a well-formed block carries; nothing for a block no deck knows.
    static std::optional<DeckCommand> of(const Bytes& block);
    // "play", "edit-off", "time-code", ...
    static std::string_view name(DeckCommand command);
    static std::optional<DeckCommand> named(std::string_view name);
    // Every command's name, in the order above.
    static std::vector<std::string_view> names();
    // A deck switched to LOCAL still answers these; it refuses every other block.
    static bool answeredInLocal(DeckCommand command);
};

}  // namespace decksim
