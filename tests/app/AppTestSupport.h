#pragma once

#include "app/Kestrix.h"
#include "deck/ConsoleWriter.h"
#include "tests/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

inline void writeFile(const std::string& path, const std::string& contents)
{
    std::ofstream(path, std::ios::binary) << contents;
}

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Collects what goes to the console (standard output) from its making to the first text().
class ConsoleCapture {
public:
    ConsoleCapture()
    {
        // Lines said before the capture are not its own.
        ConsoleWriter::standardOutput().flush(std::chrono::seconds(10));
        testing::internal::CaptureStdout();
    }
    ~ConsoleCapture() { text(); }
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    // The lines said so far, once the console's thread has written them.
    const std::string& text()
    {
        if (!captured_) {
            ConsoleWriter::standardOutput().flush(std::chrono::seconds(10));
            captured_ = testing::internal::GetCapturedStdout();
        }
        return *captured_;
    }

private:
    std::optional<std::string> captured_;
};

// Puts the settings fields back to their values at process start, so that each test reads
// its file into a clean state.
inline void resetSettingsFields()
{
    // Whole strings, not literals, are assigned: g++ 12 at -O2 cannot tell that a static
    // string does not overlap the literal copied into it, and warns (-Wrestrict).
    using namespace std::string_literals;
    Kestrix::vcrtype1 = Kestrix::vcrtype2 = ""s;
    Kestrix::comport1 = "COM1"s;
    Kestrix::comport2 = "COM2"s;
    Kestrix::lanc1 = Kestrix::lanc2 = Kestrix::recon1 = Kestrix::recon2 = false;
    Kestrix::compression1 = Kestrix::compression2 = 4;
    Kestrix::Compression1 = Kestrix::Compression2 = "4"s;
    Kestrix::videomode1 = Kestrix::videomode2 = 2;
    Kestrix::VideoMode1 = Kestrix::VideoMode2 = "NTSC"s;
    Kestrix::videotype1 = Kestrix::videotype2 = 0;
    Kestrix::VideoType1 = Kestrix::VideoType2 = "COMP"s;
    Kestrix::pvcrpreroll = Kestrix::rvcrpreroll = 0;
    Kestrix::pvcradjust = Kestrix::rvcradjust = 0;
    Kestrix::stoponexit = true;
    Kestrix::stopexit = "YES"s;
    Kestrix::log = false;
    Kestrix::dolog = "YES"s;
    Kestrix::timebase = TimeBase();
    Kestrix::timebaseinfile = false;
    Kestrix::props = Properties();
}
