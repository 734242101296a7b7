#include "deck/DeckStatus.h"

#include "deck/Reply.h"

#include <algorithm>

namespace {
// A status reply: 7n 20, the status bytes, the checksum.
constexpr int firstStatusByte = 2;
}

std::optional<DeckStatus> DeckStatus::from(const Reply& reply)
{
    if (!reply.answered() || reply.count < firstStatusByte + bytesRead + 1 || (reply[0] & 0xF0) != 0x70
        || reply[1] != 0x20)
        return std::nullopt;
    std::array<std::uint8_t, bytesRead> bytes{};
    std::copy_n(reply.bytes.begin() + firstStatusByte, bytesRead, bytes.begin());
    return DeckStatus(bytes);
}

std::string DeckStatus::refusal(bool recorder) const
{
    const std::string deck = recorder ? "RECORDER: " : "PLAYER: ";
    if (local())
        return deck + "DECK IN LOCAL";
    if (cassetteOut())
        return deck + "NO TAPE";
    if (hardError())
        return deck + "HARD ERROR";
    if (servoReferenceMissing())
        return deck + "NO SERVO REFERENCE";
    if (recorder && recordInhibit())
        return deck + "RECORD INHIBIT";
    return "";
}
