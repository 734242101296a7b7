#pragma once

#include "DeckTestSupport.h"
#include "FakeDeckView.h"
#include "deck/VCR.h"
#include "tools/decksim/VirtualDecks.h"

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
        view_ = &FakeDeckView::attachTo(*vcr);
    }

    void TearDown() override
    {
        vcr.reset();
        decks.reset();
    }

    FakeDeckView& view() { return *view_; }

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

    // The operator types a point and presses Enter: the deck takes both points.
    void typeInPoint(const std::string& text)
    {
        view().typePoint(DeckView::Point::In, text);
        vcr->setdirectin();
    }
    void typeOutPoint(const std::string& text)
    {
        view().typePoint(DeckView::Point::Out, text);
        vcr->setdirectin();
    }

    std::unique_ptr<decksim::VirtualDecks> decks;
    std::unique_ptr<VCR> vcr;

private:
    FakeDeckView* view_ = nullptr;
};
