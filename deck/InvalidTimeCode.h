#pragma once

#include <stdexcept>
#include <string>

// A text taken as a time code that is not of the form HH:MM:SS:FF. Raised by the time code
// conversions; the operator action that met it stops and the deck panel shows the status
// text below.
class InvalidTimeCode : public std::invalid_argument {
public:
    static constexpr const char* statusText = "INVALID TIME CODE";

    explicit InvalidTimeCode(const std::string& text) : std::invalid_argument("not a time code: \"" + text + "\"") {}
};
