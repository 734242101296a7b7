#pragma once

#include "tools/decksim/DeckCommand.h"
#include "tools/decksim/Role.h"

#include <map>
#include <optional>

namespace decksim {

// A command a deck refuses: always, or only the first times it comes. Without a deck, both
// decks refuse it, each counting its own.
struct Refusal {
    std::optional<Role> deck;
    DeckCommand command;
    std::optional<int> times;
};

// The commands one deck refuses, and how many refusals each has left.
class Refusals {
public:
    // From now on the command is refused, the next times times or, with nothing, always.
    void refuse(DeckCommand command, std::optional<int> times);
    // The command is carried out again.
    void allow(DeckCommand command);
    // Counts one arrival of the command; true when this one is refused.
    bool refuses(DeckCommand command);

private:
    // Refusals left; nothing for a command refused always.
    std::map<DeckCommand, std::optional<int>> left_;
};

}  // namespace decksim
