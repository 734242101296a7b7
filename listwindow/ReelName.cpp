#include "listwindow/ReelName.h"

#include "assembly/EventEdits.h"

#include <algorithm>

std::string ReelName::refusal(const std::string& name)
{
    const auto allowed = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); };
    if (name.empty() || name.size() > longest || !std::all_of(name.begin(), name.end(), allowed))
        return "REEL NAME: 1 TO 8 UPPER-CASE LETTERS AND DIGITS";
    if (EventEdits::isPlayerlessReel(name))
        return "REEL NAME: " + name + " NAMES A SOURCE THAT IS NO TAPE";
    return {};
}
