#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The serial ports present on this machine, as the operator names them in the settings file:
// the device path, and the stable /dev/serial/by-id name where udev made one (a USB adapter
// may come back as another /dev/ttyUSBn after a replug; its by-id name stays).
class SerialPortList {
public:
    struct Port {
        std::string device;
        std::string byId;
        bool accessible = true;
    };

    // The folders are the system's; tests give folders of their own.
    explicit SerialPortList(std::filesystem::path devices = "/dev",
                            std::filesystem::path byId = "/dev/serial/by-id",
                            std::filesystem::path ttyClass = "/sys/class/tty");

    std::vector<Port> ports() const;
    // One line per port, or one line saying there is none.
    std::string report() const;

private:
    bool isSerialName(const std::string& name) const;
    bool isPresent(const std::filesystem::path& device, const std::string& name) const;
    std::string byIdName(const std::filesystem::path& device) const;

    std::filesystem::path devices_;
    std::filesystem::path byId_;
    std::filesystem::path ttyClass_;
};
