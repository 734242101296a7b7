#include "deck/ThreadInterrupt.h"
#include "deck/Utils.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

TEST(UtilsTest, BS2SWritesTwoUpperCaseDigitsAndABlankPerByte)
{
    struct Case {
        Bytes bytes;
        int count;
        const char* text;
    };
    const Case cases[] = {
        {{0x0A, 0xFF}, 2, "0A FF "}, {{0x0A, 0xFF}, 1, "0A "}, {{0x0A, 0xFF}, 0, ""},
        {{0x0A, 0xFF}, -1, ""},      {{0x00, 0x9c}, 2, "00 9C "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utils::BS2S(c.bytes, c.count), c.text) << c.count;
}

TEST(UtilsTest, S2BSReadsPairsOfTheFirst30Characters)
{
    struct Case {
        std::string text;
        Bytes bytes;
    };
    Bytes first15Filled(32, 0);
    std::fill(first15Filled.begin(), first15Filled.begin() + 15, 0xAB);
    std::string text64;
    for (int i = 0; i < 32; ++i)
        text64 += "ab";
    const Case cases[] = {
        {"", {}}, {"1", {}}, {"0aFf", {0x0A, 0xFF}}, {"12g", {0x12}}, {"g1", {0x01}}, {text64, first15Filled},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Utils::S2BS(c.text), c.bytes) << c.text;
}

TEST(UtilsTest, HexDigitConversions)
{
    const std::pair<char, int> digits[] = {{'0', 0}, {'9', 9}, {'A', 10}, {'F', 15}, {'a', 10},
                                           {'f', 15}, {'g', 0}, {'G', 0}, {' ', 0},  {'\xff', 0}};
    for (auto [c, value] : digits) {
        EXPECT_EQ(Utils::C2B(c), value) << c;
        EXPECT_EQ(Utils::ASCIIHEX2BYTE(static_cast<std::uint8_t>(c)), value) << c;
    }
    for (int value = 0; value < 16; ++value)
        EXPECT_EQ(Utils::BYTE2ASCIIHEX(static_cast<std::uint8_t>(value)), Utils::hexchar[value]) << value;
}

TEST(UtilsTest, DelayOfZeroReturnsAtOnce)
{
    auto start = Clock::now();
    Utils::DelayT(0);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
}

TEST(UtilsTest, InterruptCutsADelayShort)
{
    ThreadInterrupt interrupt;
    std::promise<void> sleeping;
    auto start = Clock::now();
    std::thread sleeper([&] {
        ThreadInterrupt::Scope scope(interrupt);
        sleeping.set_value();
        Utils::DelayT(600000);
    });
    sleeping.get_future().wait();
    interrupt.interrupt();
    sleeper.join();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(60));
}

} // namespace
