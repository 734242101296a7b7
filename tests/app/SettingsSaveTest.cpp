#include "app/Kestrix.h"
#include "app/SettingsFile.h"
#include "deck/ThreadInterrupt.h"
#include "deck/Utils.h"
#include "tests/app/AppTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <iostream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs the body in a folder as the working directory, and goes back afterwards.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& folder) : previous_(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~WorkingDirectory() { std::filesystem::current_path(previous_); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::filesystem::path previous_;
};

std::vector<std::string> folderEntries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

class SettingsSaveTest : public testing::Test {
protected:
    void SetUp() override
    {
        resetSettingsFields();
        Kestrix::vcrtype1 = Kestrix::vcrtype2 = "RS422";
    }

    TempDir dir;
    std::string path = dir.file(Kestrix::settingsFileName);
};

TEST_F(SettingsSaveTest, MissingFileIsNotCreated)
{
    WorkingDirectory inFolder(dir.path());
    ThreadInterrupt interrupt;
    ThreadInterrupt::Scope scope(interrupt);
    interrupt.interrupt(); // cuts the 5 s pause short
    ConsoleCapture console;
    Kestrix::SaveProps();
    EXPECT_EQ(console.text(), "No configuration file can be saved!\n");
    EXPECT_TRUE(folderEntries(dir.path()).empty());
}

TEST_F(SettingsSaveTest, SaveKeepsPermissionsAndLeavesNoTemporaryFile)
{
    writeFile(path, "old\n");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    SettingsFile(path).save();
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(readFile(path).substr(0, 17), "KESTRIX Settings\n");
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{Kestrix::settingsFileName});
}

TEST_F(SettingsSaveTest, SaveThroughASymbolicLinkReplacesItsTarget)
{
    std::string target = dir.file("real.txt");
    writeFile(target, "old\n");
    std::filesystem::create_symlink(target, path);
    SettingsFile(path).save();
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(readFile(target).substr(0, 17), "KESTRIX Settings\n");
}

// A disk that fills up half-way through the save: the process may not write more than a few
// bytes to any file. Run in a child so that the limit does not reach the test process.
TEST_F(SettingsSaveTest, FailedSaveLeavesTheOldFileAndSaysWhy)
{
    const std::string old = "KESTRIX Settings\nthe operator's settings, longer than the limit below\n";
    writeFile(path, old);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    std::cout.flush();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        dup2(pipeFds[1], STDOUT_FILENO);
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{32, 32};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::filesystem::current_path(dir.path());
        Kestrix::SaveProps();
        Utils::ExitProcess(0);
    }
    close(pipeFds[1]);
    std::string console;
    char buffer[256];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        console.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_EQ(console, "Settings could not be saved to KESTRIX_Settings.txt: File too large\n");
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{Kestrix::settingsFileName});
}

} // namespace
