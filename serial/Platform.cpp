#include "serial/Platform.h"

#include <mutex>

namespace serial {

namespace {

std::mutex nameMutex;
std::string currentName = "Linux";

} // namespace

std::string Platform::osName()
{
    std::lock_guard lock(nameMutex);
    return currentName;
}

void Platform::setOsName(std::string name)
{
    std::lock_guard lock(nameMutex);
    currentName = std::move(name);
}

} // namespace serial
