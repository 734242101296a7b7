#pragma once

#include <optional>
#include <string_view>

namespace decksim {

// Which of the two virtual decks a thing belongs to.
enum class Role { Player, Recorder };

inline const char* roleName(Role role) { return role == Role::Player ? "player" : "recorder"; }

// The deck "player" or "recorder" names; nothing for any other text.
inline std::optional<Role> roleNamed(std::string_view name)
{
    if (name == "player") {
        return Role::Player;
    }
    if (name == "recorder") {
        return Role::Recorder;
    }
    return std::nullopt;
}

}  // namespace decksim
