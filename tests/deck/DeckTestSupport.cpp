#include "tests/deck/DeckTestSupport.h"

#include "app/Kestrix.h"
#include "serial/backend/SerialBackend.h"

#include <QTest>
#include <gtest/gtest.h>

namespace decktest {

bool waitFor(const std::function<bool()>& condition, int ms)
{
    return QTest::qWaitFor(condition, ms);
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

void resetDeckSettings()
{
    Kestrix::recon1 = Kestrix::recon2 = false;
    Kestrix::compression1 = Kestrix::compression2 = 4;
    Kestrix::videomode1 = Kestrix::videomode2 = 2;
    Kestrix::videotype1 = Kestrix::videotype2 = 0;
    Kestrix::evcr = nullptr;
}

std::string consoleOf(const std::function<void()>& block)
{
    testing::internal::CaptureStdout();
    block();
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
