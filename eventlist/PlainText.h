#pragma once

#include <string>
#include <string_view>

// Text as a list holds it: blanks between fields, names in upper or lower case.
class PlainText {
public:
    static bool isBlank(char c) { return c == ' ' || c == '\t'; }
    static std::string upper(std::string_view text);
};
