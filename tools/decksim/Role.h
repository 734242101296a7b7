#pragma once

namespace decksim {

// Which of the two virtual decks a thing belongs to.
enum class Role { Player, Recorder };

inline const char* roleName(Role role) { return role == Role::Player ? "player" : "recorder"; }

}  // namespace decksim
