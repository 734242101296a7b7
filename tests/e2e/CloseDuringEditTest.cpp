#include "app/Kestrix.h"
#include "app/MainGUI.h"
#include "deck/LongWaits.h"
#include "deck/VCR.h"
#include "tools/decksim/StatusBits.h"
#include "tools/decksim/VirtualDecks.h"
#include "ui/EVCR.h"
#include "ui/EVCRPanel.h"
#include "ui/OperatorThread.h"
#include "ui/VCRPanel.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTest>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// The closing handler ends the process, so the program runs in a child process, started as
// main() starts it (its own application object, start-up, closing handler). The virtual decks
// stay in this process and see everything the child sends, up to and after its end.

using decksim::Role;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

const std::vector<std::uint8_t> editOff{0x20, 0x64, 0x84};
const std::vector<std::uint8_t> editOn{0x20, 0x65, 0x85};

class Folder {
public:
    Folder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrix-close-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::filesystem::path path;
};

bool waitUntil(const std::function<bool()>& condition, Clock::duration limit)
{
    const auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(milliseconds(5));
    }
    return true;
}

bool recording(const decksim::VirtualDecks& decks)
{
    const auto bit = decksim::StatusBits::record;
    return (decks.statusBytes(Role::Recorder)[static_cast<std::size_t>(bit.byte)] & (1 << bit.bit)) != 0;
}

int countReceived(const decksim::VirtualDecks& decks, Role deck, const std::vector<std::uint8_t>& bytes)
{
    int count = 0;
    for (const decksim::TraceEntry& entry : decks.trace())
        count += entry.deck == deck && entry.received && entry.bytes == bytes;
    return count;
}

// --- The child: the program and its operator -------------------------------------------

// Set for the child: the folder it runs in, and the descriptor that asks it to close.
constexpr const char* childFolderVariable = "KESTRIX_CLOSE_TEST_FOLDER";
constexpr const char* childCloseVariable = "KESTRIX_CLOSE_TEST_FD";

[[noreturn]] void fail(const std::string& why)
{
    std::cout << "CHILD FAILED: " << why << std::endl;
    _exit(2);
}

void setPoints(VCR& vcr, const std::string& in, const std::string& out)
{
    ui::OperatorThread::instance().post([&vcr, in, out] {
        vcr.setfield(in, DeckView::Point::In);
        vcr.setfield(out, DeckView::Point::Out);
        vcr.setdirectin();
    });
    ui::OperatorThread::instance().waitUntilIdle();
}

// A byte on the descriptor closes the main window as the operator's close button does.
void closeOnByte(int fd)
{
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, [notifier] {
        notifier->setEnabled(false);
        Kestrix::gui->requestClose();
    });
}

// Starts the program in the folder, marks a four-second insert edit and presses DO EDIT. Ends
// only through the closing handler; any failure on the way ends it with status 2.
[[noreturn]] void runProgram(const std::filesystem::path& folder, int closeRequests)
{
    if (chdir(folder.c_str()) != 0)
        fail("no working folder");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "kestrix";
    static char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // The edit's set pauses (cue-up, preroll) run faster; the roll keeps tape time.
    LongWaits::setSpeedUp(20);
    Kestrix::init();
    EVCRPanel& panel = Kestrix::evcr->panel();
    if (!QTest::qWaitFor([&] { return panel.statusfield.text().starts_with("KESTRIX READY"); }, 20000))
        fail("not ready");
    ui::OperatorThread::instance().waitUntilIdle();
    setPoints(*Kestrix::pvcr, "00:00:02:00", "00:00:06:00");
    setPoints(*Kestrix::rvcr, "00:00:10:00", "00:00:14:00");
    panel.bvideo.click();
    ui::OperatorThread::instance().waitUntilIdle();
    closeOnByte(closeRequests);
    panel.bautostart.click();
    QApplication::exec();
    fail("the event loop ended");
}

// --- The parent ------------------------------------------------------------------------

class ProgramProcess {
public:
    explicit ProgramProcess(const std::filesystem::path& folder)
    {
        int close[2];
        int console[2];
        if (pipe(close) != 0 || pipe(console) != 0)
            throw std::runtime_error("pipe failed");
        // The child runs this test program afresh: a forked copy of a process whose threads
        // (the virtual decks') may hold the allocator's lock would deadlock on its first
        // allocation. Between fork and exec only calls that allocate nothing.
        std::vector<std::string> environment{std::string(childFolderVariable) + "=" + folder.string(),
                                             std::string(childCloseVariable) + "=" + std::to_string(close[0])};
        for (char** variable = environ; *variable; ++variable)
            environment.emplace_back(*variable);
        std::vector<char*> envp;
        for (std::string& variable : environment)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        std::string name = "close_during_edit_tests";
        char* argv[] = {name.data(), nullptr};

        pid_ = fork();
        if (pid_ == 0) {
            dup2(console[1], STDOUT_FILENO);
            ::close(console[0]);
            ::close(close[1]);
            execve("/proc/self/exe", argv, envp.data());
            _exit(3);
        }
        ::close(close[0]);
        ::close(console[1]);
        closeWrite_ = close[1];
        console_ = console[0];
    }
    ~ProgramProcess()
    {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        ::close(closeWrite_);
        if (console_ >= 0)
            ::close(console_);
    }
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    void requestClose() { [[maybe_unused]] const ssize_t written = ::write(closeWrite_, "x", 1); }
    void signal(int number) { ::kill(pid_, number); }
    bool running() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
    // The console's reader goes away: the program's later lines have nowhere to go.
    void closeConsole()
    {
        console();
        ::close(console_);
        console_ = -1;
    }

    // The exit status, or -1 when it did not end normally within the limit.
    int wait(Clock::duration limit)
    {
        int status = 0;
        if (!waitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, limit))
            return -1;
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // What the program wrote so far (up to the console's closing).
    std::string console()
    {
        char buffer[4096];
        for (pollfd readable{console_, POLLIN, 0}; console_ >= 0 && ::poll(&readable, 1, 0) > 0;) {
            const ssize_t n = ::read(console_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            output_.append(buffer, static_cast<std::size_t>(n));
        }
        return output_;
    }

private:
    pid_t pid_ = -1;
    int closeWrite_ = -1;
    int console_ = -1;
    std::string output_;
};

void writeSettings(const std::filesystem::path& folder, const decksim::VirtualDecks& decks)
{
    std::ofstream(folder / "KESTRIX_Settings.txt")
        << "KESTRIX Settings\n \nPlayVCRType=RS422\nPlayVCRCOMPort=" << decks.path(Role::Player)
        << "\nPlayVCRPreroll=1\n \nRecVCRType=RS422\nRecVCRCOMPort=" << decks.path(Role::Recorder)
        << "\nRecVCRPreroll=1\n \nEditAdjust=0\n \nStopOnExit=NO\nLogEdits=YES\n";
    std::ofstream(folder / "edl.txt").flush();
}

std::string edl(const std::filesystem::path& folder)
{
    std::ifstream in(folder / "edl.txt");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The ways the program is told to end while it records.
struct CloseRequest {
    const char* name;
    void (*make)(ProgramProcess&);
};

void PrintTo(const CloseRequest& request, std::ostream* out)
{
    *out << request.name;
}

const auto closeRequests =
    testing::Values(CloseRequest{"CloseButton", [](ProgramProcess& p) { p.requestClose(); }},
                    CloseRequest{"Hangup", [](ProgramProcess& p) { p.signal(SIGHUP); }},
                    CloseRequest{"Quit", [](ProgramProcess& p) { p.signal(SIGQUIT); }});

std::string nameOf(const testing::TestParamInfo<CloseRequest>& info)
{
    return info.param.name;
}

// The program told to end while its edit records: how it ended, how long after the request,
// and what the decks and the log hold afterwards.
struct ClosedDuringEdit {
    int status = -1;
    milliseconds took{};
    std::string console;
    int editOffs = 0;
    bool recorderLeftRecord = false;
    std::string edl;
};

// Starts the program on the virtual decks, waits until its edit records, then makes the request.
ClosedDuringEdit closeWhileRecording(const CloseRequest& request)
{
    Folder folder;
    decksim::VirtualDecks decks;
    writeSettings(folder.path, decks);
    ProgramProcess program(folder.path);

    ClosedDuringEdit closed;
    // Edit on may go more than once: a slow acknowledgement has it sent again at once.
    EXPECT_TRUE(waitUntil([&] { return recording(decks); }, seconds(60))) << program.console();
    EXPECT_GE(countReceived(decks, Role::Recorder, editOn), 1);
    EXPECT_EQ(countReceived(decks, Role::Recorder, editOff), 0) << "the edit must still be recording";
    if (testing::Test::HasFailure())
        return closed;

    const auto requested = Clock::now();
    request.make(program);
    closed.status = program.wait(seconds(20));
    closed.took = std::chrono::duration_cast<milliseconds>(Clock::now() - requested);
    closed.console = program.console();
    closed.editOffs = countReceived(decks, Role::Recorder, editOff);
    closed.recorderLeftRecord = waitUntil([&] { return !recording(decks); }, seconds(5));
    closed.edl = edl(folder.path);
    return closed;
}

class CloseDuringEdit : public testing::TestWithParam<CloseRequest> {};
class CloseDuringEditRealTime : public testing::TestWithParam<CloseRequest> {};

}

// Closing the window is the operator's last word, and a signal that ends the program (the
// terminal it runs in closed) says the same: with StopOnExit off the decks are not stopped, but
// a recorder in record is taken out of it before the program ends, and the cut edit is not
// logged.
TEST_P(CloseDuringEdit, TheRecorderLeavesRecordAndNothingIsLoggedWithStopOnExitOff)
{
    const ClosedDuringEdit closed = closeWhileRecording(GetParam());
    ASSERT_FALSE(HasFailure()) << "the edit never recorded";
    EXPECT_EQ(closed.status, 0) << closed.console;
    EXPECT_EQ(closed.editOffs, 1) << closed.console;
    EXPECT_TRUE(closed.recorderLeftRecord) << "the recorder is still recording";
    EXPECT_EQ(closed.edl, "");
}

INSTANTIATE_TEST_SUITE_P(Requests, CloseDuringEdit, closeRequests, nameOf);

// However busy the edit, the program is gone within 2 s of the request.
TEST_P(CloseDuringEditRealTime, TheProgramEndsWithinTwoSecondsOfTheRequest)
{
    const ClosedDuringEdit closed = closeWhileRecording(GetParam());
    ASSERT_FALSE(HasFailure()) << "the edit never recorded";
    EXPECT_EQ(closed.status, 0) << closed.console;
    EXPECT_LT(closed.took, seconds(2)) << closed.console;
    RecordProperty("closeToExitMs", static_cast<int>(closed.took.count()));
}

INSTANTIATE_TEST_SUITE_P(Requests, CloseDuringEditRealTime, closeRequests, nameOf);

// A console reader gone (SIGPIPE, and an error for every later line) is no reason to end the
// program: the edit runs to its out point, is logged, and the program ends when told, with
// status 0.
TEST(ConsoleGone, TheEditRunsToItsEndAndIsLogged)
{
    Folder folder;
    decksim::VirtualDecks decks;
    writeSettings(folder.path, decks);
    ProgramProcess program(folder.path);

    ASSERT_TRUE(waitUntil([&] { return recording(decks); }, seconds(60))) << program.console();
    program.closeConsole();
    program.signal(SIGPIPE);

    EXPECT_TRUE(waitUntil([&] { return !recording(decks); }, seconds(20))) << "the recorder is still recording";
    EXPECT_TRUE(waitUntil([&] { return !edl(folder.path).empty(); }, seconds(10))) << "the edit was not logged";
    EXPECT_EQ(countReceived(decks, Role::Recorder, editOff), 1);
    ASSERT_TRUE(program.running()) << "the program ended";
    program.requestClose();
    EXPECT_EQ(program.wait(seconds(20)), 0);
}

int main(int argc, char* argv[])
{
    if (const char* folder = std::getenv(childFolderVariable))
        runProgram(folder, std::atoi(std::getenv(childCloseVariable)));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
