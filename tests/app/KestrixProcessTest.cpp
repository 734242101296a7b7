#include "tests/app/AppTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sstream>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Outcome {
    std::string console;
    int exitStatus = -1;
    Clock::duration elapsed{};
};

// Runs the program in the folder and collects its standard output until it ends. A program
// still running after a minute is killed and counts as a failure. The environment asks for the
// long waits twenty times shorter, which only the test build of the program may grant.
Outcome runProgram(const char* executable, const std::filesystem::path& folder, const std::vector<std::string>& arguments)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    auto start = Clock::now();
    pid_t child = fork();
    if (child == 0) {
        close(pipeFds[0]);
        dup2(pipeFds[1], STDOUT_FILENO);
        if (chdir(folder.c_str()) != 0)
            _exit(127);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("KESTRIX_SPEEDUP", "20", 1);
        std::vector<char*> argv{const_cast<char*>("kestrix")};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(executable, argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    Outcome outcome;
    auto deadline = start + std::chrono::minutes(1);
    char buffer[512];
    for (;;) {
        pollfd readable{pipeFds[0], POLLIN, 0};
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
        if (left <= 0 || poll(&readable, 1, left) == 0) {
            ADD_FAILURE() << "kestrix did not end within a minute";
            kill(child, SIGKILL);
            break;
        }
        ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        outcome.console.append(buffer, static_cast<std::size_t>(n));
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    outcome.elapsed = Clock::now() - start;
    outcome.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return outcome;
}

Outcome runProgram(const char* executable, const std::filesystem::path& folder, const char* argument = nullptr)
{
    return runProgram(executable, folder, argument ? std::vector<std::string>{argument} : std::vector<std::string>{});
}

// The shipped program.
Outcome runKestrix(const std::filesystem::path& folder, const char* argument = nullptr)
{
    return runProgram(KESTRIX_EXE, folder, argument);
}

const std::string titleLines = "KESTRIX\nFeaturing:  RS422 Linear Editing\n";

const std::string validSettings = "KESTRIX Settings\n \nPlayVCRType=RS422\nPlayVCRCOMPort=/dev/kestrix-none-1\n"
                                  "PlayVCRPreroll=2\n \nRecVCRType=LANC\nRecVCRCOMPort=/dev/kestrix-none-2\n"
                                  "RecVCRPreroll=4\n \nEditAdjust=1\n \nStopOnExit=YES\nLogEdits=YES\n";

// The pause lets the operator read why the program ends. The shipped program never shortens
// it, nor any long wait, whatever its environment says; the test build does.
TEST(KestrixProcessTest, MissingSettingsFileEndsWithStatus1AfterAPauseOnlyTheTestBuildShortens)
{
    TempDir dir;
    Outcome outcome = runKestrix(dir.path());
    EXPECT_EQ(outcome.console, titleLines + "No configuration file found!\n");
    EXPECT_EQ(outcome.exitStatus, 1);
    EXPECT_GE(outcome.elapsed, std::chrono::milliseconds(4900));

    Outcome testBuild = runProgram(KESTRIX_TESTABLE_EXE, dir.path());
    EXPECT_EQ(testBuild.console, outcome.console);
    EXPECT_EQ(testBuild.exitStatus, 1);
    EXPECT_LT(testBuild.elapsed, std::chrono::milliseconds(4900));
}

TEST(KestrixProcessTest, TitleLinesSummaryThenAPlayerPortThatDoesNotExistEndsTheProgram)
{
    TempDir dir;
    writeFile(dir.file("KESTRIX_Settings.txt"), validSettings);
    Outcome outcome = runKestrix(dir.path());
    std::string expected = titleLines +
                           "\nKESTRIX Settings:\n \n"
                           "Play VCR Type      RS422\n"
                           "Play VCR COM Port  /dev/kestrix-none-1\n"
                           "Play VCR Preroll   2 sec\n\n"
                           "Rec VCR Type       LANC\n"
                           "Rec VCR COM Port   /dev/kestrix-none-2\n"
                           "Rec VCR Preroll    4 sec\n\n"
                           "Edit Adjust        1 frames\n"
                           "Stop on Exit       YES\n"
                           "Log Edits          YES\n\n"
                           " \nSerial Port /dev/kestrix-none-1 not available\n"
                           "Serial port /dev/kestrix-none-1 for cam not available.\n";
    EXPECT_EQ(outcome.console, expected);
    EXPECT_EQ(outcome.exitStatus, 0);
    EXPECT_GE(outcome.elapsed, std::chrono::milliseconds(4900));
}

TEST(KestrixProcessTest, MissingSettingEndsWithStatus1AndOneLine)
{
    TempDir dir;
    std::string settings = validSettings;
    settings.erase(settings.find("EditAdjust=1\n"), 13);
    writeFile(dir.file("KESTRIX_Settings.txt"), settings);
    Outcome outcome = runKestrix(dir.path());
    EXPECT_EQ(outcome.console, titleLines + "Settings error in KESTRIX_Settings.txt: EditAdjust is missing\n");
    EXPECT_EQ(outcome.exitStatus, 1);
}

// Each option prints and ends before anything of start-up: no title lines, no settings file
// needed.
TEST(KestrixProcessTest, OptionsPrintAndEndWithStatus0WithoutStartingUp)
{
    TempDir dir;
    Outcome version = runKestrix(dir.path(), "--version");
    EXPECT_EQ(version.console, "kestrix " KESTRIX_VERSION "\n");
    EXPECT_EQ(version.exitStatus, 0);

    Outcome help = runKestrix(dir.path(), "--help");
    EXPECT_EQ(help.exitStatus, 0);
    for (const char* part : {"KESTRIX_Settings.txt", "edl.txt", "PlayVCRCOMPort", "TimeBase", "30, 29.97, 29.97DF or 25",
                             "Ctrl+Return", "Exit statuses", "--list FILE", "kestrix.edl", "Ctrl+L", "--assemble FILE",
                             "  2  the command line cannot be used", "  3  with --assemble"})
        EXPECT_NE(help.console.find(part), std::string::npos) << part;

    Outcome ports = runKestrix(dir.path(), "--list-ports");
    EXPECT_EQ(ports.exitStatus, 0);
    ASSERT_FALSE(ports.console.empty());
    std::istringstream lines(ports.console);
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(line.starts_with("/dev/") || line == "No serial ports found") << line;
}

} // namespace

// The event list is read after the settings and before any deck: a list file that exists and
// cannot be read ends the program with its own status and says why; one that can is read with
// its oddities said, each with its line.
TEST(KestrixProcessTest, AnEventListThatCannotBeReadEndsWithStatus2BeforeAnyDeckAndOneThatCanIsRead)
{
    TempDir dir;
    writeFile(dir.file("KESTRIX_Settings.txt"), validSettings);
    const std::string dropFrame = "TITLE: DF\nFCM: DROP FRAME\n\n001  TAPE1    V     C        "
                                  "00:00:10:00 00:00:11:00 00:01:00:00 00:01:01:00\n";
    writeFile(dir.file("kestrix.edl"), dropFrame);
    std::filesystem::create_directory(dir.file("folder.edl"));
    const std::pair<std::vector<std::string>, std::string> unreadable[] = {
        {{}, "Event list not read: kestrix.edl: "},
        {{"--list", "folder.edl"}, "Event list not read: cannot read the list folder.edl: "},
    };
    for (const auto& [arguments, said] : unreadable) {
        const Outcome outcome = runProgram(KESTRIX_TESTABLE_EXE, dir.path(), arguments);
        EXPECT_EQ(outcome.exitStatus, 2) << outcome.console;
        EXPECT_NE(outcome.console.find("\n" + said), std::string::npos) << outcome.console;
        EXPECT_EQ(outcome.console.find("Serial Port"), std::string::npos) << "no deck was touched";
    }

    const Outcome missingFile = runProgram(KESTRIX_TESTABLE_EXE, dir.path(), std::vector<std::string>{"--list"});
    EXPECT_EQ(missingFile.exitStatus, 2);
    EXPECT_EQ(missingFile.console, "kestrix: --list needs the event list's FILE\n");

    // Without an FCM: line the list counts as the time base does, and says so.
    writeFile(dir.file("mine.edl"), "TITLE: MINE\n\n001  TAPE1    V     C        "
                                    "00:00:10:00 00:00:11:00 00:01:00:00 00:01:01:00\n");
    const Outcome read = runProgram(KESTRIX_TESTABLE_EXE, dir.path(), {"--list", "mine.edl"});
    EXPECT_NE(read.console.find("\nEvent list mine.edl: line 3: "), std::string::npos) << read.console;
    EXPECT_NE(read.console.find("\nEvent list mine.edl: 1 event\n \nSerial Port /dev/kestrix-none-1 not available"),
              std::string::npos)
        << read.console;
    EXPECT_EQ(read.exitStatus, 0);
}
