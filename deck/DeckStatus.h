#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

struct Reply;

// A deck's status bytes 0 to 8, as one status reply gave them, and what their bits say.
class DeckStatus {
public:
    static constexpr int bytesRead = 9;

    // The status a whole, answered reply to the status request carries; nothing otherwise.
    static std::optional<DeckStatus> from(const Reply& reply);
    explicit DeckStatus(const std::array<std::uint8_t, bytesRead>& bytes) : bytes_(bytes) {}

    std::uint8_t byte(int index) const { return bytes_[index]; }

    bool local() const { return bit(0, 0x01); }
    bool hardError() const { return bit(0, 0x04); }
    bool servoReferenceMissing() const { return bit(0, 0x10); }
    bool cassetteOut() const { return bit(0, 0x20); }
    bool play() const { return bit(1, 0x01); }
    bool record() const { return bit(1, 0x02); }
    bool stopped() const { return bit(1, 0x20); }
    bool edit() const { return bit(4, 0x10); }
    bool recordInhibit() const { return bit(8, 0x01); }
    // Recording in any way: the record bit, or the edit bit that sets it.
    bool recording() const { return record() || edit(); }
    // The edit preset as the deck holds it: insert, assemble, video, audio 2, audio 1.
    std::uint8_t editPreset() const { return bytes_[5] & presetBits; }

    // Why a deck cannot take part in an edit, as the operator is told it; empty when it can.
    // The recorder is also refused for a write-protected tape.
    std::string refusal(bool recorder) const;

    static constexpr std::uint8_t presetBits = 0x73;

private:
    bool bit(int index, std::uint8_t mask) const { return (bytes_[index] & mask) != 0; }

    std::array<std::uint8_t, bytesRead> bytes_;
};
