#pragma once

#include <stdexcept>
#include <string>

// A refusal of the event list, with a text for the operator: a list whose time codes do not fit
// the time base, a change that would break an event, a list file that cannot be read or saved.
// Whatever raised it left the list and the file as they were.
class ListError : public std::runtime_error {
public:
    explicit ListError(const std::string& text) : std::runtime_error(text) {}
};
