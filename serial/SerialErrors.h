#pragma once

#include <stdexcept>
#include <string>

namespace serial {

// A configuration value or an argument that the serial layer refuses. what() is the exact
// text shown to the caller.
class InvalidArgument : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// A port operation that failed. what() is the exact text shown to the caller; code() is the
// backend's result code where one caused the failure (opening a port), else 0.
class IOError : public std::runtime_error {
public:
    explicit IOError(const std::string& message, int code = 0) : std::runtime_error(message), code_(code) {}

    int code() const { return code_; }

private:
    int code_;
};

} // namespace serial
