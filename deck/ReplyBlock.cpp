#include "deck/ReplyBlock.h"

#include <utility>

namespace {

constexpr std::uint8_t senseGroup = 0x60;
constexpr std::uint8_t senseReplyGroup = 0x70;
constexpr std::uint8_t returnGroup = 0x10;
constexpr std::uint8_t statusSense = 0x20;
constexpr std::uint8_t timeSense = 0x0C;

std::uint8_t groupOf(std::uint8_t cmd1)
{
    return cmd1 & 0xF0;
}

// Current time sense is answered with LTC (04), VITC (06) or their corrected forms (14, 16).
bool isTimeData(std::uint8_t cmd2)
{
    return cmd2 == 0x04 || cmd2 == 0x06 || cmd2 == 0x14 || cmd2 == 0x16;
}

bool answersSense(const ReplyBlock::Bytes& request, const std::uint8_t* block)
{
    if (groupOf(block[0]) != senseReplyGroup)
        return false;
    if (request[1] == statusSense)
        return block[1] == statusSense;
    if (request[1] == timeSense)
        return isTimeData(block[1]);
    return true;
}

}

bool ReplyBlock::checksumOk(const std::uint8_t* block, int length)
{
    if (length < 3 || length != lengthFrom(block[0]))
        return false;
    unsigned sum = 0;
    for (int i = 0; i < length - 1; ++i)
        sum += block[i];
    return static_cast<std::uint8_t>(sum) == block[length - 1];
}

bool ReplyBlock::isNak(const std::uint8_t* block, int length)
{
    return length == 4 && block[0] == nakCmd1 && block[1] == nakCmd2;
}

bool ReplyBlock::answers(const Bytes& request, const std::uint8_t* block, int length)
{
    if (request.size() < 2 || length < 3)
        return false;
    if (isNak(block, length))
        return true;
    if (groupOf(request[0]) == senseGroup)
        return answersSense(request, block);
    return groupOf(block[0]) == returnGroup;
}

bool ReplyBlock::isStatusSense(const Bytes& request)
{
    return request.size() >= 2 && groupOf(request[0]) == senseGroup && request[1] == statusSense;
}

std::string ReplyBlock::nakReason(std::uint8_t errorBits)
{
    static const std::pair<std::uint8_t, const char*> reasons[] = {
        {0x01, "UNDEFINED COMMAND"}, {0x04, "CHECKSUM ERROR"}, {0x10, "PARITY ERROR"},
        {0x20, "OVERRUN"},           {0x40, "FRAMING ERROR"},  {0x80, "TIME-OUT"},
    };
    std::string text;
    for (const auto& [bit, words] : reasons) {
        if (!(errorBits & bit))
            continue;
        if (!text.empty())
            text += ", ";
        text += words;
    }
    return text.empty() ? "UNKNOWN ERROR" : text;
}
