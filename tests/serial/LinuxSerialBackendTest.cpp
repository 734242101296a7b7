#include "serial/SerInputStream.h"
#include "serial/SerOutputStream.h"
#include "serial/SerialPortLocal.h"
#include "serial/backend/LinuxSerialBackend.h"
#include "tests/serial/PseudoTerminal.h"
#include "tests/serial/SerialTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using serial::LinuxSerialBackend;
using serial::SerialConfig;
using serial::SerialPortLocal;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

namespace {

constexpr milliseconds patience(5000);

// The deck link's line settings on the given device.
std::shared_ptr<SerialConfig> deckRecord(const std::string& device)
{
    auto cfg = std::make_shared<SerialConfig>(device);
    cfg->setBitRate(SerialConfig::BR_38400);
    cfg->setParity(SerialConfig::PY_ODD);
    cfg->setHandshake(SerialConfig::HS_NONE);
    return cfg;
}

// Waits until the thread sleeps in the kernel (as in a wait for input); false on the deadline.
bool asleep(pid_t thread)
{
    const auto deadline = Clock::now() + patience;
    while (Clock::now() < deadline) {
        std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
        std::string pid, name, state;
        if (stat >> pid >> name >> state && state == "S") {
            return true;
        }
        std::this_thread::sleep_for(milliseconds(1));
    }
    return false;
}

Bytes everyByteValue()
{
    Bytes bytes;
    for (int value = 0; value < 256; ++value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

} // namespace

class LinuxSerialBackendTest : public ::testing::Test {
protected:
    void SetUp() override { serial::SerialBackend::install(std::make_shared<LinuxSerialBackend>()); }
    void TearDown() override { serial::SerialBackend::install(nullptr); }

    PseudoTerminal pty;
};

TEST(LinuxSerialBackendNames, DevicePaths)
{
    const std::vector<std::pair<std::string, std::string>> names = {
        {"COM1", "/dev/ttyS0"}, {"COM12", "/dev/ttyS11"}, {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/serial/by-id/usb-FTDI-if00", "/dev/serial/by-id/usb-FTDI-if00"},
        {"COM0", ""}, {"COMX", ""}, {"COM", ""}, {"ttyS0", ""}, {"com1", ""}};
    for (const auto& [name, path] : names) {
        EXPECT_EQ(LinuxSerialBackend::devicePathOf(SerialConfig(name)).value_or(""), path) << name;
    }
    EXPECT_EQ(LinuxSerialBackend::devicePathOf(SerialConfig(3)).value_or(""), "/dev/ttyS2");
    EXPECT_FALSE(LinuxSerialBackend::devicePathOf(SerialConfig(0)));
}

TEST_F(LinuxSerialBackendTest, BytesPassUnchangedBothWays)
{
    auto config = deckRecord(pty.slavePath());
    SerialPortLocal port(config);
    EXPECT_GE(config->getPort(), 1);
    EXPECT_EQ(port.getPortNum(), config->getPort() - 1);

    port.putData(everyByteValue());
    EXPECT_EQ(pty.read(256, patience), everyByteValue());

    pty.write({0x41, 0xFF, 0x00, 0x0D, 0x0A, 0x11, 0x13, 0x7F});
    port.setTimeoutRx(static_cast<int>(patience.count()));
    EXPECT_EQ(port.getByte(), 0x41);
    EXPECT_EQ(port.getByte(), 0xFF);
    Bytes rest(6);
    EXPECT_EQ(port.getData(rest), 6);
    EXPECT_EQ(rest, (Bytes{0x00, 0x0D, 0x0A, 0x11, 0x13, 0x7F}));
    // Raw mode: nothing is echoed back to the far side.
    EXPECT_TRUE(pty.read(1, milliseconds(50)).empty());
}

TEST_F(LinuxSerialBackendTest, StreamsOverAPseudoTerminal)
{
    SerialPortLocal port(deckRecord(pty.slavePath()));
    serial::SerInputStream in(port);
    serial::SerOutputStream out(port);
    EXPECT_EQ(port.getTimeoutTx(), 2147483647);

    out.write(Bytes{0x20, 0x00, 0x20});
    EXPECT_EQ(pty.read(3, patience), (Bytes{0x20, 0x00, 0x20}));

    pty.write({0xFF, 1, 2, 3});
    const auto deadline = Clock::now() + patience;
    while (in.available() < 4 && Clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(5));
    }
    EXPECT_EQ(in.available(), 4);
    EXPECT_EQ(in.read(), 255);
    Bytes buffer(16);
    EXPECT_EQ(in.read(buffer), 3);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 3), (Bytes{1, 2, 3}));
}

TEST_F(LinuxSerialBackendTest, ExclusiveAccess)
{
    SerialPortLocal first(deckRecord(pty.slavePath()));
    EXPECT_EQ(errorText([&] { SerialPortLocal second(deckRecord(pty.slavePath())); }),
              "SerOpenPort failed: Port is already open");
    first.close();
    SerialPortLocal again(deckRecord(pty.slavePath()));
    EXPECT_TRUE(again.isOpen());
}

TEST_F(LinuxSerialBackendTest, DeviceLockedByAnotherProcessIsInUse)
{
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(release[1]);
        const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
        const char status = (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ? 'y' : 'n';
        (void)!::write(ready[1], &status, 1);
        char ignored;
        (void)!::read(release[0], &ignored, 1);
        ::_exit(0);
    }
    char status = 0;
    ASSERT_EQ(::read(ready[0], &status, 1), 1);
    EXPECT_EQ(status, 'y');
    EXPECT_EQ(errorText([&] { SerialPortLocal port(deckRecord(pty.slavePath())); }),
              "SerOpenPort failed: Port is in use");
    ::close(release[1]);
    int exitStatus = 0;
    ::waitpid(child, &exitStatus, 0);
    for (const int fd : {ready[0], ready[1], release[0]}) {
        ::close(fd);
    }
    SerialPortLocal port(deckRecord(pty.slavePath()));
    EXPECT_TRUE(port.isOpen());
}

TEST_F(LinuxSerialBackendTest, InvalidDevices)
{
    for (const std::string name : {"/dev/pts/kestrix-missing", "/dev/null", "/tmp", "COM0", "LPT1"}) {
        EXPECT_EQ(errorText([&] { SerialPortLocal port(deckRecord(name)); }),
                  "SerOpenPort failed: Port not valid")
            << name;
    }
}

TEST_F(LinuxSerialBackendTest, TwoPortsGetDistinctNumbers)
{
    PseudoTerminal other;
    auto firstConfig = deckRecord(pty.slavePath());
    auto secondConfig = deckRecord(other.slavePath());
    SerialPortLocal first(firstConfig);
    SerialPortLocal second(secondConfig);
    EXPECT_NE(first.getPortNum(), second.getPortNum());
    second.putData(Bytes{7});
    EXPECT_EQ(other.read(1, patience), Bytes{7});
    EXPECT_TRUE(pty.read(1, milliseconds(20)).empty());
}

TEST_F(LinuxSerialBackendTest, UnpluggedDeviceFailsCleanly)
{
    SerialPortLocal port(deckRecord(pty.slavePath()));
    serial::SerInputStream in(port);
    pty.closeMaster();

    EXPECT_EQ(errorText([&] { port.putData(Bytes{1, 2, 3}); }), "PutData1: Sent only 0 of 3 bytes");
    EXPECT_EQ(errorText([&] { port.putByte(1); }), "PutByte failed");
    EXPECT_EQ(errorText([&] { in.available(); }), "rxReadyCount failed");
    Bytes buffer(16);
    EXPECT_EQ(errorText([&] { in.read(buffer); }), "getData: failed");

    port.setTimeoutRx(50);
    const auto start = Clock::now();
    EXPECT_EQ(port.getByte(), -1);
    EXPECT_LT(Clock::now() - start, patience);
    port.close();
    EXPECT_FALSE(port.isOpen());
}

TEST_F(LinuxSerialBackendTest, TimeoutsAreKeptPerPort)
{
    SerialPortLocal port(deckRecord(pty.slavePath()));
    port.setTimeoutTx(2147483647);
    port.setTimeoutRx(125);
    EXPECT_EQ(port.getTimeoutTx(), 2147483647);
    EXPECT_EQ(port.getTimeoutRx(), 125);
    EXPECT_EQ(errorText([&] { port.setTimeoutRx(-1); }), "setTimeoutRx failed");
    port.close();
    EXPECT_EQ(errorText([&] { port.setTimeoutRx(10); }), "setTimeoutRx failed");
}

TEST_F(LinuxSerialBackendTest, AWaitForInputEndsWithABytesArrivalItsTimeOrAHangUp)
{
    SerialPortLocal port(deckRecord(pty.slavePath()));
    auto start = Clock::now();
    EXPECT_EQ(port.rxWait(30), 0);
    EXPECT_GE(Clock::now() - start, milliseconds(30));

    // A late byte ends the wait when it comes, not when the wait's time is up.
    auto lateByte = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(milliseconds(40));
        pty.write({0x7A});
    });
    start = Clock::now();
    EXPECT_EQ(port.rxWait(static_cast<int>(patience.count())), 1);
    EXPECT_GE(Clock::now() - start, milliseconds(40));
    EXPECT_LT(Clock::now() - start, patience);
    lateByte.get();
    EXPECT_EQ(port.getByte(), 0x7A);

    // The far end goes: the wait says so at once, whatever its time.
    pty.closeMaster();
    start = Clock::now();
    EXPECT_EQ(errorText([&] { port.rxWait(-1); }), "rxWait failed");
    EXPECT_LT(Clock::now() - start, patience);
}

TEST_F(LinuxSerialBackendTest, AReadWaitingWithoutLimitEndsWhenTheDeviceGoes)
{
    SerialPortLocal port(deckRecord(pty.slavePath()));
    serial::SerInputStream in(port);
    std::atomic<pid_t> reader{0};
    auto reading = std::async(std::launch::async, [&] {
        reader = ::gettid();
        return errorText([&] { in.read(); });
    });
    while (reader == 0) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(asleep(reader));
    pty.closeMaster();
    ASSERT_EQ(reading.wait_for(patience), std::future_status::ready) << "the read never ended";
    EXPECT_EQ(reading.get(), "rxWait failed");
}

TEST(LinuxSerialBackendWait, ClosingAPortWakesAThreadWaitingOnItAndWaitsForIt)
{
    PseudoTerminal pty;
    LinuxSerialBackend backend;
    SerialConfig cfg = *deckRecord(pty.slavePath());
    ASSERT_EQ(backend.SerOpenPort(cfg), 0);
    const int index = cfg.getPort() - 1;
    std::atomic<pid_t> waiter{0};
    auto waiting = std::async(std::launch::async, [&] {
        waiter = ::gettid();
        return backend.SerRxWait(index, -1);
    });
    while (waiter == 0) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(asleep(waiter));
    auto closing = std::async(std::launch::async, [&] { return backend.SerClosePort(index); });
    ASSERT_EQ(closing.wait_for(patience), std::future_status::ready) << "the close never ended";
    EXPECT_EQ(closing.get(), 0);
    ASSERT_EQ(waiting.wait_for(patience), std::future_status::ready) << "the wait never ended";
    EXPECT_EQ(waiting.get(), -1);
    EXPECT_EQ(backend.SerRxWait(index, 0), -1);
}
