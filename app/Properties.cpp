#include "app/Properties.h"

#include <cstdint>
#include <stdexcept>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\f';
}

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

// Cuts the text into logical lines: skips empty lines, blank lines and comments, drops the
// leading blanks of each physical line, and joins a line that ends in an unescaped
// backslash with the next one. Escapes other than that backslash are left in place, since
// they are decoded only after the key and value have been told apart.
class LogicalLines {
public:
    explicit LogicalLines(std::string_view text) : text_(text) {}

    // Puts the next logical line into line; false when the text holds no more.
    bool next(std::string& line)
    {
        line.clear();
        while (skipToContent()) {
            if (!isCommentStart(text_[pos_])) {
                readContinuedLine(line);
                return true;
            }
            skipRestOfPhysicalLine();
        }
        return false;
    }

private:
    static bool isCommentStart(char c) { return c == '#' || c == '!'; }

    // Moves past blanks and line ends to the first character of a line's content.
    bool skipToContent()
    {
        while (pos_ < text_.size() && (isBlank(text_[pos_]) || isLineEnd(text_[pos_])))
            ++pos_;
        return pos_ < text_.size();
    }

    void skipRestOfPhysicalLine()
    {
        while (pos_ < text_.size() && !isLineEnd(text_[pos_]))
            ++pos_;
    }

    void readContinuedLine(std::string& line)
    {
        bool precedingBackslash = false;
        while (pos_ < text_.size()) {
            char c = text_[pos_++];
            if (!isLineEnd(c)) {
                line += c;
                precedingBackslash = c == '\\' && !precedingBackslash;
                continue;
            }
            if (!precedingBackslash)
                return;
            line.pop_back();
            precedingBackslash = false;
            skipLineEndAfter(c);
            skipLeadingBlanks();
        }
        // A backslash at the very end of the text has no line to continue onto.
        if (precedingBackslash)
            line.pop_back();
    }

    void skipLineEndAfter(char lineEnd)
    {
        if (lineEnd == '\r' && pos_ < text_.size() && text_[pos_] == '\n')
            ++pos_;
    }

    void skipLeadingBlanks()
    {
        while (pos_ < text_.size() && isBlank(text_[pos_]))
            ++pos_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

void appendUtf8(std::string& out, std::uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The value of the four hex digits at pos, or -1 when there are not four.
long hex4At(std::string_view text, std::size_t pos)
{
    if (text.size() < pos + 4)
        return -1;
    long code = 0;
    for (char c : text.substr(pos, 4)) {
        if (hexValue(c) < 0)
            return -1;
        code = code * 16 + hexValue(c);
    }
    return code;
}

bool isHighSurrogate(std::uint32_t code)
{
    return code >= 0xD800 && code <= 0xDBFF;
}

bool isLowSurrogate(std::uint32_t code)
{
    return code >= 0xDC00 && code <= 0xDFFF;
}

// Decodes the escapes of one key or value.
class EscapeDecoder {
public:
    explicit EscapeDecoder(std::string_view raw) : raw_(raw) {}

    std::string decode()
    {
        std::string out;
        while (pos_ < raw_.size()) {
            char c = raw_[pos_++];
            if (c != '\\') {
                out += c;
            } else if (pos_ < raw_.size()) {
                appendEscaped(out, raw_[pos_++]);
            }
        }
        return out;
    }

private:
    void appendEscaped(std::string& out, char c)
    {
        switch (c) {
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 'u': appendCodePoint(out); break;
        default: out += c; break;
        }
    }

    // A "\uXXXX" pair of surrogates stands for one character beyond 0xFFFF; a surrogate on
    // its own has no UTF-8 form and becomes the replacement character.
    void appendCodePoint(std::string& out)
    {
        std::uint32_t code = readHex4();
        if (isHighSurrogate(code) && followsLowSurrogate()) {
            pos_ += 2;
            std::uint32_t low = readHex4();
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        } else if (isHighSurrogate(code) || isLowSurrogate(code)) {
            code = 0xFFFD;
        }
        appendUtf8(out, code);
    }

    bool followsLowSurrogate() const
    {
        if (raw_.substr(pos_, 2) != "\\u")
            return false;
        long low = hex4At(raw_, pos_ + 2);
        return low >= 0 && isLowSurrogate(static_cast<std::uint32_t>(low));
    }

    std::uint32_t readHex4()
    {
        long code = hex4At(raw_, pos_);
        if (code < 0)
            throw std::invalid_argument("malformed escape \"\\u" + std::string(raw_.substr(pos_, 4)) + "\"");
        pos_ += 4;
        return static_cast<std::uint32_t>(code);
    }

    std::string_view raw_;
    std::size_t pos_ = 0;
};

// Where the key of a logical line ends: at the first "=", ":" or blank that no backslash
// escapes.
std::size_t keyEnd(std::string_view line)
{
    bool precedingBackslash = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (!precedingBackslash && (c == '=' || c == ':' || isBlank(c)))
            return i;
        precedingBackslash = c == '\\' && !precedingBackslash;
    }
    return line.size();
}

// Where the value starts: after the blanks around the separator, which may be blanks alone.
std::size_t valueStart(std::string_view line, std::size_t keyEnd)
{
    std::size_t pos = keyEnd;
    bool hasSeparator = false;
    if (pos < line.size() && !isBlank(line[pos])) {
        hasSeparator = true;
        ++pos;
    }
    for (; pos < line.size(); ++pos) {
        char c = line[pos];
        if (isBlank(c))
            continue;
        if (hasSeparator || (c != '=' && c != ':'))
            break;
        hasSeparator = true;
    }
    return pos;
}

} // namespace

void Properties::load(std::string_view text)
{
    LogicalLines lines(text);
    std::string line;
    while (lines.next(line)) {
        std::size_t end = keyEnd(line);
        std::size_t start = valueStart(line, end);
        std::string key = EscapeDecoder(std::string_view(line).substr(0, end)).decode();
        entries_[key] = EscapeDecoder(std::string_view(line).substr(start)).decode();
    }
}

const std::string* Properties::find(const std::string& key) const
{
    auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
}

std::string Properties::escapeValue(std::string_view value)
{
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        // Reading skips blanks only before the value, so only a first blank needs escaping.
        else if (i == 0 && c == '\t')
            out += "\\t";
        else if (i == 0 && c == '\f')
            out += "\\u000C";
        else if (i == 0 && c == ' ')
            out += "\\ ";
        else
            out += c;
    }
    return out;
}

bool Properties::isKeyword(std::string_view value, std::string_view keyword)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (value.size() != keyword.size())
        return false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (lower(value[i]) != lower(keyword[i]))
            return false;
    }
    return true;
}
