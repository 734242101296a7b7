#pragma once

#include "DeckTestSupport.h"
#include "deck/VCR.h"
#include "tools/decksim/VirtualDecks.h"
#include "ui/OperatorThread.h"
#include "ui/VCRPanel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>

// A player deck controller on a virtual deck, for the edit point and cueing tests.
class DeckOnVirtualDeck : public ::testing::Test {
protected:
    using Bytes = std::vector<std::uint8_t>;

    void SetUp() override
    {
        decks = std::make_unique<decksim::VirtualDecks>();
        vcr = std::make_unique<VCR>(decks->path(decksim::Role::Player), false, false);
    }

    void TearDown() override
    {
        ui::OperatorThread::instance().waitUntilIdle();
        vcr.reset();
        decks.reset();
    }

    VCRPanel& panel() { return vcr->panel(); }

    // Received blocks other than the polling thread's time code and status requests.
    std::vector<Bytes> commands() const
    {
        std::vector<Bytes> blocks;
        for (const Bytes& block : decktest::blocks(*decks, decksim::Role::Player)) {
            if (block != VCR::bsgettc && block != VCR::bsgetstatus)
                blocks.push_back(block);
        }
        return blocks;
    }

    // When the player deck received the block, in microseconds since the decks started.
    std::optional<std::int64_t> receivedAt(const Bytes& block) const
    {
        for (const auto& entry : decks->trace()) {
            if (entry.deck == decksim::Role::Player && entry.received && entry.bytes == block)
                return entry.micros;
        }
        return std::nullopt;
    }

    static bool waitFor(const std::function<bool()>& condition, int ms = 5000)
    {
        return decktest::waitFor(condition, ms);
    }

    void typeInPoint(const std::string& text) { panel().cuefield.type(text, true); }
    void typeOutPoint(const std::string& text) { panel().endfield.type(text, true); }

    std::unique_ptr<decksim::VirtualDecks> decks;
    std::unique_ptr<VCR> vcr;
};
