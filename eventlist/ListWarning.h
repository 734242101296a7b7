#pragma once

#include <string>

// Something in a list that other systems, or Kestrix, may take differently from what its
// writer meant, found while reading or writing it; line counts from 1 in the list's text.
struct ListWarning {
    int line = 0;
    std::string text;

    // "line 12: reel TAPE12345 is longer than 8 characters; kept whole"
    std::string message() const { return "line " + std::to_string(line) + ": " + text; }

    bool operator==(const ListWarning&) const = default;
};
