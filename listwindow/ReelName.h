#pragma once

#include <string>

// The name of the reel on the player, as the list's events carry it: 1 to 8 upper-case letters
// and digits, and none of the names a list gives sources that are no tape (BL, AX, BARS).
class ReelName {
public:
    static constexpr std::size_t longest = 8;

    // Why the name is refused, as the operator is told; empty when it is a reel name.
    static std::string refusal(const std::string& name);
};
