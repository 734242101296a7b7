#include "tools/decksim/DeckCommand.h"

#include <cstdint>

namespace decksim {

namespace {

struct Known {
    std::uint8_t cmd1;
    std::uint8_t cmd2;
    DeckCommand command;
};

// CMD-1 carries the data count, so a block with the right command bytes but the wrong
// length is no known command.
constexpr Known knownBlocks[] = {
    {0x00, 0x11, DeckCommand::DeviceType}, {0x20, 0x00, DeckCommand::Stop},
    {0x20, 0x01, DeckCommand::Play},       {0x20, 0x02, DeckCommand::Record},
    {0x20, 0x04, DeckCommand::Standby},    {0x20, 0x05, DeckCommand::Standby},
    {0x20, 0x0F, DeckCommand::Eject},      {0x20, 0x10, DeckCommand::FastForward},
    {0x20, 0x20, DeckCommand::Rewind},     {0x21, 0x11, DeckCommand::Jog},
    {0x21, 0x21, DeckCommand::Jog},        {0x21, 0x12, DeckCommand::Var},
    {0x21, 0x22, DeckCommand::Var},        {0x21, 0x13, DeckCommand::Shuttle},
    {0x21, 0x23, DeckCommand::Shuttle},    {0x20, 0x30, DeckCommand::Preroll},
    {0x24, 0x31, DeckCommand::Cue},        {0x20, 0x40, DeckCommand::Preview},
    {0x20, 0x41, DeckCommand::Review},     {0x20, 0x42, DeckCommand::AutoEdit},
    {0x20, 0x60, DeckCommand::FullEE},     {0x20, 0x61, DeckCommand::FullEE},
    {0x20, 0x64, DeckCommand::EditOff},    {0x20, 0x65, DeckCommand::EditOn},
    {0x44, 0x14, DeckCommand::InPreset},   {0x44, 0x15, DeckCommand::OutPreset},
    {0x44, 0x31, DeckCommand::PrerollPreset}, {0x41, 0x30, DeckCommand::Preset},
    {0x41, 0x36, DeckCommand::TimeMode},   {0xF3, 0x02, DeckCommand::Recon},
    {0x61, 0x20, DeckCommand::Status},     {0x61, 0x0C, DeckCommand::TimeCode},
};

// Indexed by the enumeration's order.
constexpr std::string_view commandNames[] = {
    "device-type", "stop", "play", "record", "standby", "eject", "fast-forward", "rewind", "jog", "var", "shuttle",
    "preroll", "cue", "preview", "review", "auto-edit", "full-ee", "edit-off", "edit-on", "in-preset", "out-preset",
    "preroll-preset", "preset", "time-mode", "recon", "status", "time-code",
};

static_assert(std::size(commandNames) == static_cast<std::size_t>(DeckCommand::TimeCode) + 1);

}  // namespace

std::optional<DeckCommand> DeckCommands::of(const Bytes& block)
{
    if (block.size() < 2) {
        return std::nullopt;
    }
    for (const Known& known : knownBlocks) {
        if (block[0] == known.cmd1 && block[1] == known.cmd2) {
            return known.command;
        }
    }
    return std::nullopt;
}

std::string_view DeckCommands::name(DeckCommand command) { return commandNames[static_cast<std::size_t>(command)]; }

std::optional<DeckCommand> DeckCommands::named(std::string_view name)
{
    for (std::size_t index = 0; index < std::size(commandNames); ++index) {
        if (commandNames[index] == name) {
            return static_cast<DeckCommand>(index);
        }
    }
    return std::nullopt;
}

std::vector<std::string_view> DeckCommands::names() { return {std::begin(commandNames), std::end(commandNames)}; }

bool DeckCommands::answeredInLocal(DeckCommand command)
{
    return command == DeckCommand::Status || command == DeckCommand::TimeCode || command == DeckCommand::DeviceType;
}

}  // namespace decksim
