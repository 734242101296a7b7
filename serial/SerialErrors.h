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

// A port operation that failed. what() is the exact text shown to the caller.
class IOError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace serial
