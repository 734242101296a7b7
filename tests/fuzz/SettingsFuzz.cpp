// The settings file as the controller reads it (the key=value reader and the settings it
// takes from the table) and as the virtual decks rewrite its port lines. The input is the
// file's text. Whatever it holds: a value written with its escapes reads back unchanged,
// saved settings read back as they were saved, and after the virtual decks rewrote the
// port lines the controller reads the new ports and every other setting as before.

#include "app/Kestrix.h"
#include "app/Properties.h"
#include "app/SettingsError.h"
#include "app/SettingsFile.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tools/decksim/SettingsFile.h"

#include <fcntl.h>
#include <optional>
#include <stdexcept>
#include <sys/mman.h>
#include <unistd.h>

namespace {

const std::string playerPort = "/dev/pts/7";
const std::string recorderPort = "/dev/pts/8";

// The settings file lives in memory: the reader opens it by its path like any file, and
// rewriting it for every input costs no disk writes.
int settingsFile()
{
    static const int file = memfd_create("KESTRIX_Settings.txt", 0);
    return file;
}

std::string settingsPath()
{
    return "/proc/self/fd/" + std::to_string(settingsFile());
}

void writeSettingsFile(const std::string& text)
{
    FUZZ_ASSERT(ftruncate(settingsFile(), 0) == 0);
    FUZZ_ASSERT(pwrite(settingsFile(), text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()));
}

std::optional<Properties> propertiesOf(const std::string& text)
{
    Properties props;
    try {
        props.load(text);
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
    return props;
}

void checkValueRoundTrip(const std::string& value)
{
    Properties props;
    props.load("Key=" + Properties::escapeValue(value));
    const std::string* read = props.find("Key");
    FUZZ_ASSERT(read != nullptr && *read == value);
}

bool isPortKey(const std::string& key)
{
    return key == "PlayVCRCOMPort" || key == "RecVCRCOMPort";
}

// Whether no line's key holds a backslash. The virtual decks find a port line by its key as
// written, so a port key spelt with escapes or continued onto the next line is not rewritten.
bool keysWrittenPlainly(const std::string& text)
{
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        const std::size_t keyStart = text.find_first_not_of(" \t\f", lineStart);
        const std::size_t keyEnd = text.find_first_of("=: \t\f\r\n", keyStart);
        if (keyStart != std::string::npos && text.substr(keyStart, keyEnd - keyStart).find('\\') != std::string::npos)
            return false;
        lineStart = text.find_first_of("\r\n", lineStart);
        lineStart = lineStart == std::string::npos ? text.size() : lineStart + 1;
    }
    return true;
}

// The virtual decks' rewrite of the port lines changes the two ports and nothing else.
void checkPortRewrite(const std::string& text, const Properties& before)
{
    const std::optional<Properties> after =
        propertiesOf(decksim::SettingsFile::withPorts(text, playerPort, recorderPort));
    FUZZ_ASSERT(after.has_value());
    FUZZ_ASSERT(after->find("PlayVCRCOMPort") && *after->find("PlayVCRCOMPort") == playerPort);
    FUZZ_ASSERT(after->find("RecVCRCOMPort") && *after->find("RecVCRCOMPort") == recorderPort);
    for (const auto& [key, value] : before.entries()) {
        if (!isPortKey(key))
            FUZZ_ASSERT(after->find(key) && *after->find(key) == value);
    }
    for (const auto& [key, value] : after->entries())
        FUZZ_ASSERT(isPortKey(key) || before.find(key));
}

std::optional<std::vector<std::string>> loadSettings(const std::string& text)
{
    writeSettingsFile(text);
    try {
        SettingsFile(settingsPath()).load();
    } catch (const SettingsError&) {
        return std::nullopt;
    }
    return SettingsFile::savedLines();
}

void checkPrerollRules()
{
    if (Kestrix::lanc1)
        FUZZ_ASSERT(Kestrix::pvcrpreroll == 0);
    if (Kestrix::lanc2)
        FUZZ_ASSERT(Kestrix::rvcrpreroll == 0);
    if (!Kestrix::lanc1 && !Kestrix::lanc2)
        FUZZ_ASSERT(Kestrix::pvcrpreroll == Kestrix::rvcrpreroll);
}

// Settings that loaded are saved and loaded again: the same settings come back.
void checkSaveRoundTrip(const std::vector<std::string>& saved)
{
    checkPrerollRules();
    std::string text;
    for (const std::string& line : saved)
        text += line + '\n';
    const auto reloaded = loadSettings(text);
    FUZZ_ASSERT(reloaded.has_value());
    FUZZ_ASSERT(*reloaded == saved);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Loading prints the settings summary on standard output; the fuzzer reports on
    // standard error.
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    close(devNull);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkValueRoundTrip(text);
    if (const auto props = propertiesOf(text); props && keysWrittenPlainly(text))
        checkPortRewrite(text, *props);
    if (const auto saved = loadSettings(text))
        checkSaveRoundTrip(*saved);
    return 0;
}
