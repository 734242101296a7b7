#pragma once

// A run on the virtual decks, headless: the edit engine's rig (a player with two reels, A and
// B, a recorder, a clock that keeps tape timing exact and shortens the set pauses), events
// performed with one-second prerolls, and an operator who mounts each reel asked for on the
// virtual player and confirms what is asked.

#include "assembly/AssemblyRun.h"
#include "assembly/DeckEventPerformer.h"
#include "tests/assembly/AssemblyTestSupport.h"
#include "tests/assembly/ExpectedTape.h"
#include "tests/engine/EngineRig.h"

#include <memory>
#include <string>
#include <vector>

namespace assemblytest {

inline decksim::Options twoReels(const std::function<void(decksim::Options&)>& change = [](auto&) {})
{
    return enginetest::options([&](decksim::Options& o) {
        o.playerReels = {"A", "B"};
        change(o);
    });
}

class AssemblyRig {
public:
    explicit AssemblyRig(const decksim::Options& options)
        : engine(options, enginetest::insertAll), performer(*engine.player, *engine.recorder, engine.clock, {1, 1, 0})
    {
        op.mountsWith([this](const std::string& reel) {
            engine.decks.mount(reel);
            return true;
        });
        op.confirms(true);
    }

    // A run of the list, made for the test to start.
    AssemblyRun& runOf(const EventList& list, const AssemblySetup& setup, AssemblyJournal* journal = nullptr)
    {
        run = std::make_unique<AssemblyRun>(list, setup, performer, engine.clock, op, journal, &edits);
        return *run;
    }

    // The last texts of the edits, for a failure's message.
    std::string lastTexts() const
    {
        const auto all = edits.statuses();
        std::string text;
        for (std::size_t i = all.size() > 6 ? all.size() - 6 : 0; i < all.size(); ++i)
            text += all[i] + "\n";
        return text;
    }

    enginetest::EngineRig engine;
    DeckEventPerformer performer;
    Operator op;
    // Each edit's steps and texts.
    enginetest::RecordingProgress edits;
    std::unique_ptr<AssemblyRun> run;
};

}  // namespace assemblytest
