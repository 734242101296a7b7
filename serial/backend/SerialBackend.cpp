#include "serial/backend/SerialBackend.h"

#include "serial/Platform.h"
#include "serial/backend/LinuxSerialBackend.h"

#include <cstdlib>
#include <iostream>
#include <mutex>

namespace serial {

namespace {

std::mutex backendMutex;
std::shared_ptr<SerialBackend> installedBackend;
std::shared_ptr<SerialBackend> selectedBackend;

} // namespace

std::shared_ptr<SerialBackend> SerialBackend::current()
{
    std::lock_guard lock(backendMutex);
    if (installedBackend) {
        return installedBackend;
    }
    if (!selectedBackend) {
        selectedBackend = selectFor(Platform::osName());
    }
    return selectedBackend;
}

void SerialBackend::install(std::shared_ptr<SerialBackend> backend)
{
    std::lock_guard lock(backendMutex);
    installedBackend = std::move(backend);
}

std::shared_ptr<SerialBackend> SerialBackend::builtInFor(const std::string& osName)
{
    if (osName == "Linux") {
        return std::make_shared<LinuxSerialBackend>();
    }
    return nullptr;
}

std::shared_ptr<SerialBackend> SerialBackend::selectFor(const std::string& osName)
{
    auto backend = builtInFor(osName);
    if (!backend) {
        std::cout << std::string("Platform not supported\n") << std::flush;
        // Nothing else runs yet when the first port is made, so there is nothing to
        // wind down; static destructors are skipped like everywhere else at exit.
        std::_Exit(1);
    }
    return backend;
}

} // namespace serial
