#include "app/Properties.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>

namespace {

using Table = std::map<std::string, std::string>;

struct FormatCase {
    const char* rule;
    std::string text;
    Table expected;
};

const FormatCase formatCases[] = {
    {"LF line ends", "a=1\nb=2\n", {{"a", "1"}, {"b", "2"}}},
    {"CR line ends", "a=1\rb=2\r", {{"a", "1"}, {"b", "2"}}},
    {"CRLF line ends", "a=1\r\nb=2\r\n", {{"a", "1"}, {"b", "2"}}},
    {"last line without end", "a=1", {{"a", "1"}}},
    {"leading blanks skipped", "  \t\fa=1\n", {{"a", "1"}}},
    {"empty and blank lines ignored", "\n \n\t\n\r\na=1", {{"a", "1"}}},
    {"comment lines", "# x=1\n  ! y=2\na=1", {{"a", "1"}}},
    {"comment does not continue", "# x\\\na=1", {{"a", "1"}}},
    {"colon separator", "a:1", {{"a", "1"}}},
    {"blank separator", "a 1", {{"a", "1"}}},
    {"blanks around separator", "a \t=  1\nb :\t2\nc   3", {{"a", "1"}, {"b", "2"}, {"c", "3"}}},
    {"only the first separator counts", "a==1\nb = :2\nc:=3", {{"a", "=1"}, {"b", ":2"}, {"c", "=3"}}},
    {"trailing blanks kept", "a=1  \t", {{"a", "1  \t"}}},
    {"header line defines a key", "KESTRIX Settings\n", {{"KESTRIX", "Settings"}}},
    {"key alone", "lonely\nempty=", {{"lonely", ""}, {"empty", ""}}},
    {"tab, line feed, return", "a=x\\ty\\nz\\r", {{"a", "x\ty\nz\r"}}},
    {"other escapes drop the backslash", "a=\\x\\f\\\\\\=\\ ", {{"a", "xf\\= "}}},
    {"escaped separators in a key", "a\\=b\\:c\\ d=1", {{"a=b:c d", "1"}}},
    {"\\u below 0x80", "a=\\u0041\\u007a", {{"a", "Az"}}},
    {"\\u as UTF-8", "a=\\u00e9\\u20AC", {{"a", "\xC3\xA9\xE2\x82\xAC"}}},
    {"\\u surrogate pair", "a=\\uD83D\\uDE00", {{"a", "\xF0\x9F\x98\x80"}}},
    {"\\u lone surrogate", "a=\\uD83Dx", {{"a", "\xEF\xBF\xBDx"}}},
    {"continuation skips leading blanks", "a=one \\\n    two\nb=3", {{"a", "one two"}, {"b", "3"}}},
    {"continuation over CRLF and CR", "a=1\\\r\n 2\\\r 3", {{"a", "123"}}},
    {"continued line starting with #", "a=x\\\n#y", {{"a", "x#y"}}},
    {"continuation onto an empty line ends the value", "a=x\\\n\nb=y", {{"a", "x"}, {"b", "y"}}},
    {"even backslashes do not continue", "a=x\\\\\nb=y", {{"a", "x\\"}, {"b", "y"}}},
    {"backslash at the end of the text", "a=x\\", {{"a", "x"}}},
    {"later key wins", "a=1\na=2", {{"a", "2"}}},
    {"keys are case-sensitive", "Key=1\nkey=2", {{"Key", "1"}, {"key", "2"}}},
    {"bytes above 0x7F kept", "a=\xC3\xA9", {{"a", "\xC3\xA9"}}},
};

TEST(PropertiesTest, ReadsTheFileFormat)
{
    for (const FormatCase& c : formatCases) {
        Properties props;
        props.load(c.text);
        EXPECT_EQ(props.entries(), c.expected) << c.rule;
    }
}

TEST(PropertiesTest, MalformedUnicodeEscapeIsRefusedWithItsText)
{
    for (const char* text : {"a=\\u12G4", "a=\\u12"}) {
        Properties props;
        try {
            props.load(text);
            ADD_FAILURE() << text << " was accepted";
        } catch (const std::invalid_argument& error) {
            EXPECT_EQ(std::string(error.what()), "malformed escape \"" + std::string(text + 2) + "\"");
        }
    }
}

TEST(PropertiesTest, EscapedValuesReadBackUnchanged)
{
    for (std::string value : {"COM1", "C:\\ports\\COM10", " lead", "\tlead", "\flead", "two\nlines\r", "tail  ", "a=b:c #!"}) {
        Properties props;
        props.load("k=" + Properties::escapeValue(value) + "\nnext=1\n");
        EXPECT_EQ(props.entries(), (Table{{"k", value}, {"next", "1"}})) << value;
    }
    EXPECT_EQ(Properties::escapeValue("/dev/ttyUSB0"), "/dev/ttyUSB0");
}

TEST(PropertiesTest, KeywordComparesWholeValueIgnoringAsciiCase)
{
    struct Case {
        const char* value;
        const char* keyword;
        bool equal;
    };
    const Case cases[] = {
        {"YES", "YES", true}, {"yes", "YES", true}, {"YeS", "YES", true},   {"lanc", "LANC", true},
        {"YES ", "YES", false}, {" YES", "YES", false}, {"YE", "YES", false}, {"", "YES", false},
        {"NO", "YES", false}, {"\xC3\xA9", "\xC3\x89", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Properties::isKeyword(c.value, c.keyword), c.equal) << c.value << " vs " << c.keyword;
}

} // namespace
