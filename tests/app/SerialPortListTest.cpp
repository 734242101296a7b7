#include "app/SerialPortList.h"
#include "tests/app/AppTestSupport.h"
#include "tests/serial/PseudoTerminal.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// A /dev, a /dev/serial/by-id and a /sys/class/tty of the test's own, whose serial names
// lead to pseudo-terminals.
struct FakeSystem {
    FakeSystem()
    {
        for (const fs::path& folder : {devices, byId, ttyClass})
            fs::create_directories(folder);
    }

    void device(const std::string& name, const PseudoTerminal& terminal)
    {
        fs::create_symlink(terminal.slavePath(), devices / name);
    }

    void portType(const std::string& name, const std::string& type)
    {
        fs::create_directories(ttyClass / name);
        writeFile((ttyClass / name / "type").string(), type + "\n");
    }

    std::string report() const { return SerialPortList(devices, byId, ttyClass).report(); }

    TempDir root;
    fs::path devices = root.path() / "dev";
    fs::path byId = root.path() / "dev" / "serial" / "by-id";
    fs::path ttyClass = root.path() / "sys" / "class" / "tty";
};

}

TEST(SerialPortList, SerialDevicesInNaturalOrderWithTheirByIdNames)
{
    FakeSystem system;
    PseudoTerminal usb, builtIn, tenth, phantom, other;
    system.device("ttyUSB0", usb);
    system.device("ttyS1", builtIn);
    system.portType("ttyS1", "4");
    system.device("ttyS10", tenth);
    system.device("ttyS2", phantom);
    system.portType("ttyS2", "0");
    system.device("ttyUSBx", other);
    system.device("console", other);
    writeFile((system.devices / "ttyACM0").string(), "not a device");
    fs::create_symlink(system.devices / "ttyUSB0", system.byId / "usb-FTDI_USB_RS422-if00-port0");

    const std::string dev = system.devices.string();
    EXPECT_EQ(system.report(), dev + "/ttyS1\n" + dev + "/ttyS10\n" + dev + "/ttyUSB0  " +
                                   (system.byId / "usb-FTDI_USB_RS422-if00-port0").string() + "\n");
}

TEST(SerialPortList, NoPortsAndNoByIdFolderSayNone)
{
    FakeSystem system;
    fs::remove(system.byId);
    EXPECT_EQ(system.report(), "No serial ports found\n");
}
