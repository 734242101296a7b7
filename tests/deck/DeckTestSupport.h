#pragma once

#include "deck/VCR.h"
#include "tests/serial/FakeSerialBackend.h"
#include "tools/decksim/VirtualDecks.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace decktest {

// Waits for a condition, looking every 10 ms; false on the deadline. Tests with widgets wait
// with QTest::qWaitFor instead, which serves the GUI thread's events meanwhile.
bool waitFor(const std::function<bool()>& condition, int ms = 5000);

// The blocks one virtual deck received (rx) or sent (tx), oldest first.
std::vector<Packet> blocks(const decksim::VirtualDecks& decks, decksim::Role role, bool received = true);
// Waits until the deck has received at least count blocks; returns them.
std::vector<Packet> waitForReceived(const decksim::VirtualDecks& decks, decksim::Role role, std::size_t count,
                                    int ms = 5000);

// Puts a fake serial backend in place for its lifetime, so decks open on it.
class FakeBackend {
public:
    FakeBackend();
    ~FakeBackend();
    FakeBackend(const FakeBackend&) = delete;
    FakeBackend& operator=(const FakeBackend&) = delete;

    FakeSerialBackend& operator*() { return *fake_; }
    FakeSerialBackend* operator->() { return fake_.get(); }

private:
    std::shared_ptr<FakeSerialBackend> fake_;
};

// Console output of one block of code.
std::string consoleOf(const std::function<void()>& block);

// The block with its checksum appended, as a deck sends it.
Packet withChecksum(Packet block);

}
