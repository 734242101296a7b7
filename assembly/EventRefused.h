#pragma once

#include <stdexcept>
#include <string>

// An event Kestrix does not perform as it stands, with a text for the operator that names the
// event and the reason ("EVENT 12: A DISSOLVE NEEDS A SWITCHER"). Nothing was sent to a deck.
class EventRefused : public std::runtime_error {
public:
    explicit EventRefused(const std::string& text) : std::runtime_error(text) {}
};
