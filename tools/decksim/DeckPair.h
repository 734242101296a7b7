#pragma once

#include "tools/decksim/Clock.h"
#include "tools/decksim/Deck.h"
#include "tools/decksim/Options.h"
#include "tools/decksim/RecorderTape.h"
#include "tools/decksim/Role.h"

#include <optional>
#include <string>
#include <vector>

namespace decksim {

// The player and the recorder on one clock, wired together: the recorder records what the
// player outputs. Both decks' events are run in time order, so that each recorder frame
// gets exactly the player frame that was playing when the recorder reached it.
// Not thread-safe; VirtualDecks guards it.
class DeckPair {
public:
    // Throws std::invalid_argument when the options name the player's reels wrongly.
    DeckPair(const Options& options, const Clock& clock);

    std::int64_t now() const { return clock_.nowMicros(); }
    // Runs both decks and the signal path up to time (never backwards); returns the moment
    // the pair now stands at.
    std::int64_t advanceTo(std::int64_t time);
    // advanceTo(now()) and returns that moment.
    std::int64_t advanceToNow();

    Deck& deck(Role role) { return role == Role::Player ? player_ : recorder_; }
    const Deck& deck(Role role) const { return role == Role::Player ? player_ : recorder_; }
    const RecorderTape& recorderTape() const { return tape_; }
    // The player's reels, by the index the deck and the tape know them by.
    const std::vector<std::string>& reelNames() const { return reelNames_; }
    std::optional<int> reelIndex(const std::string& name) const;
    std::int64_t nextEventTime() const;

private:
    // Records the recorder frames that begin within [from, to), during which neither deck
    // changes its motion.
    void recordSpan(std::int64_t from, std::int64_t to);

    const Clock& clock_;
    std::int64_t time_;
    std::vector<std::string> reelNames_;
    Deck player_;
    Deck recorder_;
    RecorderTape tape_;
};

}  // namespace decksim
