#pragma once

#include <map>
#include <string>
#include <string_view>

// A key/value table read from the settings file's text format: one key=value pair per line
// (":" or blanks also separate), "#" and "!" comment lines, backslash escapes and backslash
// line continuation. Keys are case-sensitive; a later line overrides an earlier one with
// the same key. Keys and values are UTF-8; "\uXXXX" escapes above 0x7F are stored as UTF-8.
class Properties {
public:
    // Adds every pair of the text to the table. Throws std::invalid_argument naming the
    // escape when a "\u" is not followed by four hex digits; the table then holds the pairs
    // of the lines before it.
    void load(std::string_view text);

    // The value of key, or nullptr when the table does not hold it.
    const std::string* find(const std::string& key) const;
    const std::map<std::string, std::string>& entries() const { return entries_; }

    // The value as it must be written after "key=" so that load() reads it back unchanged.
    // Ordinary values come back as they are.
    static std::string escapeValue(std::string_view value);

    // True when the whole value equals the keyword, ignoring the letter case of ASCII letters.
    static bool isKeyword(std::string_view value, std::string_view keyword);

private:
    std::map<std::string, std::string> entries_;
};
