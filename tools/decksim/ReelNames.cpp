#include "tools/decksim/ReelNames.h"

#include <algorithm>
#include <stdexcept>

namespace decksim {

bool ReelNames::valid(std::string_view name)
{
    return !name.empty() && name.size() <= longest
        && std::all_of(name.begin(), name.end(), [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

std::vector<std::string> ReelNames::of(const std::vector<std::string>& named)
{
    if (named.empty()) {
        return {std::string(onlyReel)};
    }
    if (named.size() > most) {
        throw std::invalid_argument("more than " + std::to_string(most) + " reels");
    }
    for (auto name = named.begin(); name != named.end(); ++name) {
        if (!valid(*name)) {
            throw std::invalid_argument("invalid reel name \"" + *name + "\" (1 to 8 upper-case letters and digits)");
        }
        if (std::find(named.begin(), name, *name) != name) {
            throw std::invalid_argument("reel \"" + *name + "\" is named twice");
        }
    }
    return named;
}

}  // namespace decksim
