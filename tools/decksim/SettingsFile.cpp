#include "tools/decksim/SettingsFile.h"

#include "tools/decksim/AtomicFile.h"

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace decksim {

namespace {

constexpr const char* playerKey = "PlayVCRCOMPort";
constexpr const char* recorderKey = "RecVCRCOMPort";

struct Line {
    std::string text;
    std::string ending;  // "\n", "\r\n", "\r" or "" for a last line without one
};

std::vector<Line> splitLines(const std::string& contents)
{
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < contents.size()) {
        const std::size_t end = contents.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back({contents.substr(start), ""});
            break;
        }
        const bool crlf = contents[end] == '\r' && end + 1 < contents.size() && contents[end + 1] == '\n';
        lines.push_back({contents.substr(start, end - start), crlf ? "\r\n" : std::string(1, contents[end])});
        start = end + (crlf ? 2 : 1);
    }
    return lines;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\f'; }

// The key a settings line defines, as the controller's reader finds it: leading blanks
// skipped, up to the first '=', ':' or blank; empty for blank and comment lines.
std::string keyOf(const std::string& text)
{
    std::size_t start = 0;
    while (start < text.size() && isBlank(text[start])) {
        ++start;
    }
    if (start == text.size() || text[start] == '#' || text[start] == '!') {
        return {};
    }
    std::size_t end = start;
    while (end < text.size() && text[end] != '=' && text[end] != ':' && !isBlank(text[end])) {
        ++end;
    }
    return text.substr(start, end - start);
}

// Blank lines and comment lines define nothing and never continue.
bool isBlankOrComment(const std::string& text)
{
    const std::size_t start = text.find_first_not_of(" \t\f");
    return start == std::string::npos || text[start] == '#' || text[start] == '!';
}

// A value ending in an odd number of backslashes continues on the next line.
bool continues(const std::string& text)
{
    std::size_t backslashes = 0;
    for (auto it = text.rbegin(); it != text.rend() && *it == '\\'; ++it) {
        ++backslashes;
    }
    return backslashes % 2 == 1;
}

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

bool readFile(const std::string& path, std::string& contents)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    contents = text.str();
    return !file.bad();
}

}  // namespace

std::string SettingsFile::freshContents(const Decks& decks)
{
    return "KESTRIX Settings\n"
           " \n"
           "PlayVCRType=RS422\n"
           "PlayVCRCOMPort="
        + decks.playerPort + "\nPlayVCRPreroll=" + std::to_string(decks.prerollSeconds)
        + "\n \n"
          "RecVCRType=RS422\n"
          "RecVCRCOMPort="
        + decks.recorderPort + "\nRecVCRPreroll=" + std::to_string(decks.prerollSeconds)
        + "\n \n"
          "EditAdjust="
        + std::to_string(decks.adjustFrames)
        + "\n \n"
          "StopOnExit=YES\n"
          "LogEdits=YES\n";
}

std::string SettingsFile::withPorts(const std::string& existing, const std::string& playerPort, const std::string& recorderPort)
{
    std::string result;
    bool continuation = false;
    bool dropContinuation = false;
    bool playerWritten = false;
    bool recorderWritten = false;
    for (const Line& line : splitLines(existing)) {
        if (continuation) {
            continuation = continues(line.text);
            if (!dropContinuation) {
                result += line.text + line.ending;
            }
            continue;
        }
        const std::string key = keyOf(line.text);
        continuation = !isBlankOrComment(line.text) && continues(line.text);
        dropContinuation = key == playerKey || key == recorderKey;
        const std::string ending = line.ending.empty() ? "\n" : line.ending;
        if (key == playerKey) {
            result += std::string(playerKey) + "=" + playerPort + ending;
            playerWritten = true;
        } else if (key == recorderKey) {
            result += std::string(recorderKey) + "=" + recorderPort + ending;
            recorderWritten = true;
        } else {
            result += line.text + line.ending;
        }
    }
    const bool adding = !playerWritten || !recorderWritten;
    if (adding && !result.empty() && result.back() != '\n' && result.back() != '\r') {
        result += '\n';
    }
    // A last line that continues onto nothing would continue onto the added lines: an empty
    // line ends it there, as the end of the text did.
    if (adding && continuation && !dropContinuation) {
        result += result.back();
    }
    if (!playerWritten) {
        result += std::string(playerKey) + "=" + playerPort + "\n";
    }
    if (!recorderWritten) {
        result += std::string(recorderKey) + "=" + recorderPort + "\n";
    }
    return result;
}

std::string SettingsFile::prepare(const std::string& dir, const Decks& decks)
{
    const std::string settingsPath = dir + "/" + fileName;
    std::string contents;
    if (exists(settingsPath)) {
        if (!readFile(settingsPath, contents)) {
            return "cannot read " + settingsPath;
        }
        contents = withPorts(contents, decks.playerPort, decks.recorderPort);
    } else {
        contents = freshContents(decks);
    }
    if (!AtomicFile::write(settingsPath, contents)) {
        return "cannot write " + settingsPath;
    }
    const std::string editLogPath = dir + "/" + editLogName;
    const int editLog = ::open(editLogPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (editLog < 0) {
        return "cannot create " + editLogPath;
    }
    ::close(editLog);
    return {};
}

}  // namespace decksim
