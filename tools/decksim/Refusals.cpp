#include "tools/decksim/Refusals.h"

namespace decksim {

void Refusals::refuse(DeckCommand command, std::optional<int> times)
{
    if (times && *times <= 0) {
        allow(command);
        return;
    }
    left_[command] = times;
}

void Refusals::allow(DeckCommand command) { left_.erase(command); }

bool Refusals::refuses(DeckCommand command)
{
    const auto refusal = left_.find(command);
    if (refusal == left_.end()) {
        return false;
    }
    if (refusal->second && --*refusal->second == 0) {
        left_.erase(refusal);
    }
    return true;
}

}  // namespace decksim
