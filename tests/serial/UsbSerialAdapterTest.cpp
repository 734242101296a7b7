// The USB serial adapter behind a deck's port, found in a sysfs tree laid out as the kernel
// lays it out, in a folder of the test's own.

#include "serial/SerialPortLocal.h"
#include "serial/backend/LinuxSerialBackend.h"
#include "serial/backend/UsbSerialAdapter.h"
#include "tests/serial/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdlib.h>

using serial::UsbSerialAdapter;
namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& file)
{
    std::ifstream in(file);
    std::string text;
    std::getline(in, text);
    return text;
}

class FakeSysfs : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kestrix-sysfs-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
    }
    void TearDown() override { fs::remove_all(root); }

    // A tty named name whose device sits on the subsystem, with a latency_timer holding
    // latency where one is given; its device node and a by-id link to it under root/dev.
    fs::path addTty(const std::string& name, const std::string& subsystem, const char* latency)
    {
        const fs::path device = root / "devices/pci0000:00/usb1/1-1/1-1:1.0" / name;
        fs::create_directories(device);
        fs::create_directories(root / "bus" / subsystem);
        fs::create_directory_symlink(root / "bus" / subsystem, device / "subsystem");
        fs::create_directories(root / "class/tty" / name);
        fs::create_directory_symlink(device, root / "class/tty" / name / "device");
        if (latency)
            std::ofstream(device / "latency_timer") << latency << '\n';
        fs::create_directories(root / "dev/serial/by-id");
        std::ofstream(root / "dev" / name).put('\0');
        fs::create_symlink("../../" + name, root / "dev/serial/by-id" / ("usb-Adapter_" + name + "-if00-port0"));
        return device;
    }

    fs::path byId(const std::string& name) const { return root / "dev/serial/by-id" / ("usb-Adapter_" + name + "-if00-port0"); }

    fs::path root;
};

}

TEST_F(FakeSysfs, AnFtdiAdapterFoundThroughItsByIdLinkIsSetToOneMillisecond)
{
    const fs::path device = addTty("ttyUSB0", "usb-serial", "16");
    for (const fs::path& path : {byId("ttyUSB0"), root / "dev/ttyUSB0"}) {
        SCOPED_TRACE(path);
        std::ofstream(device / "latency_timer") << "16\n";
        const auto adapter = UsbSerialAdapter::find(root, path);
        ASSERT_TRUE(adapter.has_value());
        const serial::LowLatency got = adapter->lowerLatencyTimer();
        EXPECT_TRUE(got.usbAdapter);
        EXPECT_EQ(got.latencyMs, 1);
        EXPECT_EQ(got.why, "");
        EXPECT_EQ(contents(device / "latency_timer"), "1");
    }
}

TEST_F(FakeSysfs, AdaptersWithoutATimerOrAFileThatCannotBeWrittenSayWhy)
{
    addTty("ttyACM0", "usb", nullptr);
    const auto acm = UsbSerialAdapter::find(root, byId("ttyACM0"));
    ASSERT_TRUE(acm.has_value());
    const serial::LowLatency acmGot = acm->lowerLatencyTimer();
    EXPECT_TRUE(acmGot.usbAdapter);
    EXPECT_FALSE(acmGot.latencyMs.has_value());
    EXPECT_EQ(acmGot.why, "the adapter has no latency timer");

    // An attribute even root may not write, as the adapter's file is for a user without the
    // udev rule.
    const fs::path readOnly = "/proc/sys/kernel/cap_last_cap";
    if (!fs::exists(readOnly))
        GTEST_SKIP() << "no read-only number to stand in for the attribute";
    const fs::path device = addTty("ttyUSB1", "usb-serial", nullptr);
    fs::create_symlink(readOnly, device / "latency_timer");
    const auto ftdi = UsbSerialAdapter::find(root, byId("ttyUSB1"));
    ASSERT_TRUE(ftdi.has_value());
    const serial::LowLatency got = ftdi->lowerLatencyTimer();
    EXPECT_TRUE(got.usbAdapter);
    ASSERT_TRUE(got.latencyMs.has_value());
    EXPECT_EQ(*got.latencyMs, std::stoi(contents(readOnly)));
    EXPECT_EQ(got.why.rfind("cannot set " + ftdi->latencyTimerPath() + ": ", 0), 0u) << got.why;
    EXPECT_NE(got.why.find("udev rule"), std::string::npos) << got.why;
}

TEST_F(FakeSysfs, PortsThatAreNoUsbAdapterAreLeftAlone)
{
    const fs::path uart = addTty("ttyS0", "platform", "16");
    EXPECT_FALSE(UsbSerialAdapter::find(root, root / "dev/ttyS0"));
    EXPECT_EQ(contents(uart / "latency_timer"), "16");
    EXPECT_FALSE(UsbSerialAdapter::find(root, root / "dev/no-such-device"));

    // A pseudo-terminal has no adapter, even where sysfs names a USB one like it.
    PseudoTerminal pty;
    const std::string ptyName = fs::path(pty.slavePath()).filename();
    const fs::path lookalike = addTty(ptyName, "usb-serial", "16");
    serial::SerialBackend::install(std::make_shared<serial::LinuxSerialBackend>(root));
    {
        serial::SerialPortLocal port(std::make_shared<serial::SerialConfig>(pty.slavePath()));
        const serial::LowLatency got = port.requestLowLatency();
        EXPECT_FALSE(got.usbAdapter);
        EXPECT_FALSE(got.latencyMs.has_value());
    }
    serial::SerialBackend::install(nullptr);
    EXPECT_EQ(contents(lookalike / "latency_timer"), "16");
}
