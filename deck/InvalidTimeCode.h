#pragma once

#include <stdexcept>
#include <string>

// A text taken as a time code that is not of the form HH:MM:SS:FF, or a label that the
// deck's time base does not have (such as frame 45, minute 99 or a label that drop-frame
// counting skips). Raised by the time code conversions; the operator action that met it
// stops and the deck panel shows the status text below.
class InvalidTimeCode : public std::invalid_argument {
public:
    static constexpr const char* statusText = "INVALID TIME CODE";

    explicit InvalidTimeCode(const std::string& text) : std::invalid_argument("not a time code: \"" + text + "\"") {}
};
