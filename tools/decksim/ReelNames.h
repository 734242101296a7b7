#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace decksim {

// The names of the player's reels: 1 to 8 upper-case letters and digits each, as an edit
// decision list writes them.
class ReelNames {
public:
    // The name of the player's only reel when none are named.
    static constexpr std::string_view onlyReel = "001";
    static constexpr std::size_t longest = 8;
    static constexpr std::size_t most = 999;

    static bool valid(std::string_view name);
    // The player's reels as named, or the one reel "001" when none are; the first is mounted
    // at start. Throws std::invalid_argument for an invalid or repeated name.
    static std::vector<std::string> of(const std::vector<std::string>& named);
};

}  // namespace decksim
