#pragma once

#include <string>

namespace serial {

// The operating system's name as the serial layer sees it ("Linux" on this build). The name
// selects the handshake rules of a configuration record, the feature row of a port and the
// serial backend. Tests override it to exercise the rows of other systems.
class Platform {
public:
    static std::string osName();
    static void setOsName(std::string name);
};

} // namespace serial
