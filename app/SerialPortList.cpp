#include "app/SerialPortList.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Built-in UARTs, USB adapters (FTDI, Prolific, CH340, CDC-ACM), ARM UARTs, Exar adapters,
// Bluetooth serial links.
constexpr std::array<std::string_view, 6> serialPrefixes{"ttyS", "ttyUSB", "ttyACM", "ttyAMA", "ttyXRUSB", "rfcomm"};

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
}

// ttyS2 before ttyS10, and the kinds in the order above.
bool naturalOrder(const std::string& a, const std::string& b)
{
    const auto split = [](const std::string& name) {
        const auto digits = name.find_first_of("0123456789");
        return std::pair(name.substr(0, digits), std::stol(name.substr(digits)));
    };
    return split(a) < split(b);
}

fs::path resolved(const fs::path& path)
{
    std::error_code error;
    fs::path target = fs::canonical(path, error);
    return error ? path : target;
}

}

SerialPortList::SerialPortList(fs::path devices, fs::path byId, fs::path ttyClass)
    : devices_(std::move(devices)), byId_(std::move(byId)), ttyClass_(std::move(ttyClass))
{
}

bool SerialPortList::isSerialName(const std::string& name) const
{
    return std::any_of(serialPrefixes.begin(), serialPrefixes.end(), [&name](std::string_view prefix) {
        return name.starts_with(prefix) && allDigits(std::string_view(name).substr(prefix.size()));
    });
}

bool SerialPortList::isPresent(const fs::path& device, const std::string& name) const
{
    struct stat info {};
    if (stat(device.c_str(), &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    // The kernel makes /dev/ttyS0 to ttyS31 whether or not a UART answers there; the serial
    // core reports port type 0 for those that have none.
    std::ifstream type(ttyClass_ / name / "type");
    int portType = -1;
    return !(type >> portType) || portType != 0;
}

std::string SerialPortList::byIdName(const fs::path& device) const
{
    std::error_code error;
    const fs::path target = resolved(device);
    for (fs::directory_iterator entry(byId_, error), end; !error && entry != end; entry.increment(error)) {
        if (resolved(entry->path()) == target)
            return entry->path().string();
    }
    return "";
}

std::vector<SerialPortList::Port> SerialPortList::ports() const
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator entry(devices_, error), end; !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (isSerialName(name) && isPresent(entry->path(), name))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), naturalOrder);
    std::vector<Port> found;
    for (const std::string& name : names) {
        const fs::path device = devices_ / name;
        found.push_back({device.string(), byIdName(device), access(device.c_str(), R_OK | W_OK) == 0});
    }
    return found;
}

std::string SerialPortList::report() const
{
    const std::vector<Port> found = ports();
    if (found.empty())
        return "No serial ports found\n";
    std::string text;
    for (const Port& port : found) {
        text += port.device;
        if (!port.byId.empty())
            text += "  " + port.byId;
        if (!port.accessible)
            text += "  (no access: add your user to the dialout group)";
        text += '\n';
    }
    return text;
}
