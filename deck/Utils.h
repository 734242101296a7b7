#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Static helpers used everywhere: the blocking pause, console lines, and the byte <-> hex
// text conversions used for dumps of serial traffic.
class Utils {
public:
    static constexpr const char* hexchar = "0123456789ABCDEF";
    static constexpr int lomask = 0x0F;
    static constexpr int himask = 0xF0;
    static constexpr bool debug = false;

    // Blocks the calling thread for ms milliseconds. When the thread has a ThreadInterrupt
    // installed and it is interrupted, the pause ends early; nothing else happens.
    static void DelayT(int ms);

    // One console line (standard output), written whole and in order by the console's own
    // thread (ConsoleWriter), so lines of different threads never mix and the caller never
    // waits for the console's reader.
    static void OutLine(const std::string& text);
    static void Debug(const std::string& text);

    static std::string BS2S(const std::vector<std::uint8_t>& bytes, int count);
    static std::vector<std::uint8_t> S2BS(const std::string& text);
    static int C2B(char c);
    static std::uint8_t ASCIIHEX2BYTE(std::uint8_t c);
    static std::uint8_t BYTE2ASCIIHEX(std::uint8_t value);

    // Ends the process with the given status once the console lines said so far are written
    // (a second at most). Deck threads are never joined, so nothing may be destroyed under
    // them: no static destructors run.
    [[noreturn]] static void ExitProcess(int status);
};
