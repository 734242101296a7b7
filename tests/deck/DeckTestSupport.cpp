#include "tests/deck/DeckTestSupport.h"

#include "deck/ConsoleWriter.h"
#include "serial/backend/SerialBackend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace decktest {

bool waitFor(const std::function<bool()>& condition, int ms)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return condition();
        // As often as the widget tests look: a condition may scan a virtual deck's whole
        // traffic, and a tighter loop loads the machine the timing tests share.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::vector<Packet> blocks(const decksim::VirtualDecks& decks, decksim::Role role, bool received)
{
    std::vector<Packet> found;
    for (const decksim::TraceEntry& entry : decks.trace()) {
        if (entry.deck == role && entry.received == received)
            found.push_back(entry.bytes);
    }
    return found;
}

std::vector<Packet> waitForReceived(const decksim::VirtualDecks& decks, decksim::Role role, std::size_t count,
                                    int ms)
{
    waitFor([&] { return blocks(decks, role).size() >= count; }, ms);
    return blocks(decks, role);
}

FakeBackend::FakeBackend() : fake_(std::make_shared<FakeSerialBackend>())
{
    serial::SerialBackend::install(fake_);
}

FakeBackend::~FakeBackend()
{
    serial::SerialBackend::install(nullptr);
}

std::string consoleOf(const std::function<void()>& block)
{
    // Lines said before the block are not the block's.
    ConsoleWriter::standardOutput().flush(std::chrono::seconds(10));
    testing::internal::CaptureStdout();
    block();
    ConsoleWriter::standardOutput().flush(std::chrono::seconds(10));
    return testing::internal::GetCapturedStdout();
}

Packet withChecksum(Packet block)
{
    unsigned sum = 0;
    for (const auto byte : block)
        sum += byte;
    block.push_back(static_cast<std::uint8_t>(sum));
    return block;
}

}
