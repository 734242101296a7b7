#include "deck/Utils.h"

#include "deck/ConsoleWriter.h"
#include "deck/ThreadInterrupt.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <thread>
#include <unistd.h>

void Utils::DelayT(int ms)
{
    if (ms <= 0)
        return;
    if (ThreadInterrupt* interrupt = ThreadInterrupt::current()) {
        interrupt->sleepFor(ms);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Utils::OutLine(const std::string& text)
{
    ConsoleWriter::standardOutput().write(text + '\n');
}

void Utils::Debug(const std::string& text)
{
    if (debug)
        OutLine(text);
}

std::string Utils::BS2S(const std::vector<std::uint8_t>& bytes, int count)
{
    std::string text;
    for (int i = 0; i < count && i < static_cast<int>(bytes.size()); ++i) {
        text += hexchar[(bytes[i] & himask) >> 4];
        text += hexchar[bytes[i] & lomask];
        text += ' ';
    }
    return text;
}

std::vector<std::uint8_t> Utils::S2BS(const std::string& text)
{
    std::vector<std::uint8_t> bytes(text.size() / 2, 0);
    // An odd last character is ignored; only the first 30 characters (15 bytes) are read.
    for (std::size_t p = 0; p + 1 < text.size() && p < 30; p += 2) {
        bytes[p / 2] = static_cast<std::uint8_t>(16 * C2B(text[p]) + C2B(text[p + 1]));
    }
    return bytes;
}

int Utils::C2B(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return 0;
}

std::uint8_t Utils::ASCIIHEX2BYTE(std::uint8_t c)
{
    return static_cast<std::uint8_t>(C2B(static_cast<char>(c)));
}

std::uint8_t Utils::BYTE2ASCIIHEX(std::uint8_t value)
{
    return static_cast<std::uint8_t>(value <= 9 ? value + 48 : value + 55);
}

void Utils::ExitProcess(int status)
{
    // A console reader that stopped reading cannot hold the process: the lines it has not
    // taken within a second are lost.
    ConsoleWriter::standardOutput().flush(std::chrono::seconds(1));
    std::cout.flush();
    std::fflush(nullptr);
    _exit(status);
}
