#include "ui/EditLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

namespace {

std::string blanks(int n)
{
    return std::string(static_cast<std::size_t>(n), ' ');
}

class LogFolder : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrix-edl-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        log = (folder / "edl.txt").string();
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    std::vector<std::string> lines() const
    {
        std::ifstream in(log);
        std::vector<std::string> read;
        for (std::string line; std::getline(in, line);)
            read.push_back(line);
        return read;
    }

    std::filesystem::path folder;
    std::string log;
};

}

TEST(EditLog, ModeTextForEveryEditMode)
{
    const std::pair<std::uint8_t, const char*> table[] = {
        {0x20, "ASM   "}, {0x53, "AA/V  "}, {0x52, " A/V  "}, {0x51, "A /V  "},
        {0x50, "  /V  "}, {0x43, "AA/   "}, {0x42, " A/   "}, {0x41, "A /   "},
    };
    for (const auto& [emode, text] : table)
        EXPECT_EQ(EditLog::modeText(emode), text) << std::hex << int(emode);
}

TEST(EditLog, EditNumbersArePaddedToThreeDigitsUntilTheyOutgrowThem)
{
    const std::pair<int, const char*> table[] = {{1, "001"}, {9, "009"}, {12, "012"}, {99, "099"},
                                                 {100, "100"}, {999, "999"}, {1000, "1000"}};
    for (const auto& [number, text] : table)
        EXPECT_EQ(EditLog::numberText(number), text);
}

TEST(EditLog, LineHasFixedColumns)
{
    const std::string line = EditLog::line(1, 0x53, "00:01:00:00", "00:01:10:00", "00:05:00:00", "00:05:10:00");
    EXPECT_EQ(line, "001" + blanks(12) + "AA/V  " + "C" + blanks(9) + "00:01:00:00  00:01:10:00  00:05:00:00  00:05:10:00");
    // The player's in point starts at column 32.
    EXPECT_EQ(line.find("00:01:00:00"), 31u);

    const std::string assemble = EditLog::line(12, 0x20, "a", "b", "c", "d");
    EXPECT_EQ(assemble.substr(0, 22), "012" + blanks(12) + "ASM   C");
    // Edit 1000 shifts the rest of the line right by one.
    EXPECT_EQ(EditLog::line(1000, 0x20, "a", "b", "c", "d").find('a'), 32u);
}

TEST_F(LogFolder, AMissingLogIsNeverCreated)
{
    EXPECT_FALSE(EditLog::exists(log));
    EXPECT_FALSE(EditLog::append(log, "001"));
    EXPECT_FALSE(std::filesystem::exists(log));
}

TEST_F(LogFolder, LinesAreAppendedAfterWhatTheLogHolds)
{
    std::ofstream(log) << "from an earlier run\n";
    ASSERT_TRUE(EditLog::exists(log));
    EXPECT_TRUE(EditLog::append(log, "001 first"));
    EXPECT_TRUE(EditLog::append(log, "002 second"));
    EXPECT_EQ(lines(), (std::vector<std::string>{"from an earlier run", "001 first", "002 second"}));
}

TEST_F(LogFolder, LinesOfConcurrentWritersNeverSplitOrInterleave)
{
    std::ofstream(log).flush();
    constexpr int writers = 6;
    constexpr int perWriter = 200;
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([this, w] {
            const std::string line = EditLog::line(w + 1, 0x53, "00:01:00:00", "00:01:10:00", "00:05:00:00",
                                                   "00:05:10:00");
            for (int i = 0; i < perWriter; ++i)
                EditLog::append(log, line);
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    std::set<std::string> expected;
    for (int w = 0; w < writers; ++w)
        expected.insert(EditLog::line(w + 1, 0x53, "00:01:00:00", "00:01:10:00", "00:05:00:00", "00:05:10:00"));
    const std::vector<std::string> written = lines();
    ASSERT_EQ(written.size(), static_cast<std::size_t>(writers * perWriter));
    for (const std::string& line : written)
        EXPECT_TRUE(expected.count(line)) << line;
}

TEST_F(LogFolder, ALogThatCannotBeWrittenReportsFailure)
{
    std::filesystem::create_directory(log);
    EXPECT_TRUE(EditLog::exists(log));
    EXPECT_FALSE(EditLog::append(log, "001"));
}
