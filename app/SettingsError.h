#pragma once

#include <stdexcept>

// The settings file cannot be read, lacks a setting, holds a malformed number, or cannot be
// saved. The text is the whole console line for the operator.
class SettingsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
