#pragma once

#include <array>
#include <chrono>
#include <cstdint>

// One reply as the deck link collected it: the 16-byte reply buffer, the number of bytes of
// the reply block in it, what kind of answer it was, and which exchange on the link it
// answered, all taken together under the link's lock.
struct Reply {
    static constexpr int buffersize = 16;

    enum class Outcome {
        Answered,     // a whole block with a good checksum that answers the request
        Refused,      // the deck sent a NAK
        Bad,          // a wrong checksum, a block cut short, or bytes that answer nothing
        Silent,       // nothing came before the deadline
        WriteFailed,  // the request could not be written
    };

    std::array<std::uint8_t, buffersize> bytes{};
    int count = 0;
    Outcome outcome = Outcome::Silent;
    // Exchanges on one link are numbered from 1 in the order they began.
    std::uint64_t exchange = 0;
    // Just before the request was written: the deck cannot have sampled anything it reports
    // earlier than this.
    std::chrono::steady_clock::time_point asked{};
    // When the request had gone out: commands take effect from here.
    std::chrono::steady_clock::time_point written{};
    // When the whole reply was there (or the exchange gave up): the deck sampled what it
    // reports before this.
    std::chrono::steady_clock::time_point arrived{};

    std::uint8_t operator[](int index) const { return bytes[index]; }
    bool answered() const { return outcome == Outcome::Answered; }
};
