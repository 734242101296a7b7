#include "app/SettingsFile.h"

#include "app/Kestrix.h"
#include "app/Properties.h"
#include "app/SettingsError.h"
#include "app/TextFile.h"
#include "deck/TimeBase.h"
#include "deck/Utils.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <system_error>

namespace {

// The settings fields of one deck, so that player and recorder share one reading routine.
struct DeckFields {
    const char* keyPrefix;
    std::string& vcrtype;
    bool& lanc;
    bool& recon;
    int& compression;
    std::string& Compression;
    int& videomode;
    std::string& VideoMode;
    int& videotype;
    std::string& VideoType;
};

DeckFields playerFields()
{
    return {"Play", Kestrix::vcrtype1, Kestrix::lanc1, Kestrix::recon1, Kestrix::compression1, Kestrix::Compression1,
            Kestrix::videomode1, Kestrix::VideoMode1, Kestrix::videotype1, Kestrix::VideoType1};
}

DeckFields recorderFields()
{
    return {"Rec", Kestrix::vcrtype2, Kestrix::lanc2, Kestrix::recon2, Kestrix::compression2, Kestrix::Compression2,
            Kestrix::videomode2, Kestrix::VideoMode2, Kestrix::videotype2, Kestrix::VideoType2};
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\f';
}

// A decimal 32-bit integer with an optional sign; blanks around it are allowed.
std::optional<int> parseWholeNumber(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    if (text.size() > 1 && text[0] == '+' && text[1] >= '0' && text[1] <= '9')
        text.remove_prefix(1);
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Reads the settings of the table; a missing or malformed one ends with a SettingsError
// naming the setting, its value and the file.
class SettingsReader {
public:
    SettingsReader(const Properties& props, const std::string& path) : props_(props), path_(path) {}

    const std::string& text(const std::string& key) const
    {
        const std::string* value = props_.find(key);
        if (value == nullptr)
            throw SettingsError("Settings error in " + path_ + ": " + key + " is missing");
        return *value;
    }

    int wholeNumber(const std::string& key) const
    {
        const std::string& value = text(key);
        std::optional<int> number = parseWholeNumber(value);
        if (!number)
            throw SettingsError("Settings error in " + path_ + ": " + key + " is \"" + value + "\", not a whole number");
        return *number;
    }

    // An optional setting: nullopt when the file does not hold the key.
    std::optional<TimeBase> timeBase(const std::string& key) const
    {
        const std::string* value = props_.find(key);
        if (value == nullptr)
            return std::nullopt;
        std::optional<TimeBase> base = TimeBase::fromSetting(*value);
        if (!base)
            throw SettingsError("Settings error in " + path_ + ": " + key + " is \"" + *value
                                + "\", not 30, 29.97, 29.97DF or 25");
        return base;
    }

private:
    const Properties& props_;
    const std::string& path_;
};

void readReconSettings(const SettingsReader& reader, const DeckFields& deck)
{
    std::string prefix = deck.keyPrefix;
    deck.compression = 4;
    deck.videomode = 2;
    deck.VideoMode = "NTSC";

    deck.Compression = reader.text(prefix + "Compression");
    deck.compression = std::clamp(reader.wholeNumber(prefix + "Compression"), 4, 10);

    deck.VideoMode = reader.text(prefix + "VideoMode");
    if (Properties::isKeyword(deck.VideoMode, "PAL"))
        deck.videomode = 0;
    else if (Properties::isKeyword(deck.VideoMode, "NTSC"))
        deck.videomode = 2;
    else
        deck.videomode = 3;

    deck.VideoType = reader.text(prefix + "VideoType");
    if (Properties::isKeyword(deck.VideoType, "COMP"))
        deck.videotype = 0;
    else if (Properties::isKeyword(deck.VideoType, "SVID"))
        deck.videotype = 1;
}

void readDeckSettings(const SettingsReader& reader, const DeckFields& deck)
{
    deck.lanc = false;
    deck.recon = false;
    deck.vcrtype = reader.text(std::string(deck.keyPrefix) + "VCRType");
    deck.lanc = Properties::isKeyword(deck.vcrtype, "LANC");
    deck.recon = Properties::isKeyword(deck.vcrtype, "RECON");
    if (deck.recon)
        readReconSettings(reader, deck);
}

// The number settings as the file writes them: the summary shows these, not the values
// after the preroll rules.
struct NumberTexts {
    std::string playPreroll;
    std::string recPreroll;
    std::string editAdjust;
};

NumberTexts readNumberSettings(const SettingsReader& reader)
{
    Kestrix::rvcrpreroll = reader.wholeNumber("RecVCRPreroll");
    Kestrix::pvcrpreroll = reader.wholeNumber("PlayVCRPreroll");
    Kestrix::pvcradjust = reader.wholeNumber("EditAdjust");
    return {reader.text("PlayVCRPreroll"), reader.text("RecVCRPreroll"), reader.text("EditAdjust")};
}

void readTimeBase(const SettingsReader& reader)
{
    std::optional<TimeBase> base = reader.timeBase("TimeBase");
    Kestrix::timebaseinfile = base.has_value();
    Kestrix::timebase = base.value_or(TimeBase());
}

void printReconSummary(const DeckFields& deck)
{
    Utils::OutLine("Compression        " + std::to_string(deck.compression));
    Utils::OutLine("VideoMode          " + deck.VideoMode);
    Utils::OutLine("VideoType          " + deck.VideoType);
}

void printSummary(const NumberTexts& texts)
{
    Utils::OutLine("");
    Utils::OutLine("KESTRIX Settings:");
    Utils::OutLine(" ");
    Utils::OutLine("Play VCR Type      " + Kestrix::vcrtype1);
    if (Kestrix::recon1)
        printReconSummary(playerFields());
    Utils::OutLine("Play VCR COM Port  " + Kestrix::comport1);
    Utils::OutLine("Play VCR Preroll   " + texts.playPreroll + " sec");
    Utils::OutLine("");
    Utils::OutLine("Rec VCR Type       " + Kestrix::vcrtype2);
    if (Kestrix::recon2)
        printReconSummary(recorderFields());
    Utils::OutLine("Rec VCR COM Port   " + Kestrix::comport2);
    Utils::OutLine("Rec VCR Preroll    " + texts.recPreroll + " sec");
    Utils::OutLine("");
    Utils::OutLine("Edit Adjust        " + texts.editAdjust + " frames");
    if (Kestrix::timebaseinfile)
        Utils::OutLine("Time Base          " + Kestrix::timebase.settingText());
    Utils::OutLine("Stop on Exit       " + Kestrix::stopexit);
    Utils::OutLine("Log Edits          " + Kestrix::dolog);
    Utils::OutLine("");
}

Properties parseFile(const std::string& path)
{
    Properties props;
    try {
        props.load(TextFile::readAll(path));
    } catch (const std::system_error& error) {
        throw SettingsError("Settings error in " + path + ": the file could not be read (" + error.code().message() + ")");
    } catch (const std::invalid_argument& error) {
        throw SettingsError("Settings error in " + path + ": " + error.what());
    }
    return props;
}

std::string setting(const std::string& key, const std::string& value)
{
    return key + "=" + Properties::escapeValue(value);
}

void addReconLines(std::vector<std::string>& lines, const DeckFields& deck)
{
    std::string prefix = deck.keyPrefix;
    lines.push_back(setting(prefix + "Compression", deck.Compression));
    lines.push_back(setting(prefix + "VideoMode", deck.VideoMode));
    lines.push_back(setting(prefix + "VideoType", deck.VideoType));
}

} // namespace

SettingsFile::SettingsFile(std::string path) : path_(std::move(path)) {}

bool SettingsFile::exists() const
{
    return TextFile::exists(path_);
}

void SettingsFile::load() const
{
    Kestrix::props = parseFile(path_);
    SettingsReader reader(Kestrix::props, path_);

    // Any value other than YES (such as NO) turns stopping the decks off, and the file's
    // own text is written back on saving.
    Kestrix::stopexit = reader.text("StopOnExit");
    Kestrix::stoponexit = Properties::isKeyword(Kestrix::stopexit, "YES");

    Kestrix::dolog = reader.text("LogEdits");
    Kestrix::log = Properties::isKeyword(Kestrix::dolog, "YES");

    readDeckSettings(reader, playerFields());
    readDeckSettings(reader, recorderFields());

    Kestrix::comport1 = reader.text("PlayVCRCOMPort");
    Kestrix::comport2 = reader.text("RecVCRCOMPort");

    NumberTexts texts = readNumberSettings(reader);
    readTimeBase(reader);
    applyPrerollRules();
    printSummary(texts);
}

void SettingsFile::save() const
{
    std::string contents;
    for (const std::string& line : savedLines())
        contents += line + '\n';
    try {
        TextFile::replaceAtomically(path_, contents);
    } catch (const std::system_error& error) {
        throw SettingsError("Settings could not be saved to " + path_ + ": " + error.code().message());
    }
}

std::vector<std::string> SettingsFile::savedLines()
{
    std::vector<std::string> lines = {
        "KESTRIX Settings",
        " ",
        setting("PlayVCRType", Kestrix::vcrtype1),
        setting("PlayVCRCOMPort", Kestrix::comport1),
        setting("PlayVCRPreroll", std::to_string(Kestrix::pvcrpreroll)),
    };
    if (Kestrix::recon1)
        addReconLines(lines, playerFields());
    lines.push_back(" ");
    lines.push_back(setting("RecVCRType", Kestrix::vcrtype2));
    lines.push_back(setting("RecVCRCOMPort", Kestrix::comport2));
    lines.push_back(setting("RecVCRPreroll", std::to_string(Kestrix::rvcrpreroll)));
    if (Kestrix::recon2)
        addReconLines(lines, recorderFields());
    lines.push_back(" ");
    lines.push_back(setting("EditAdjust", std::to_string(Kestrix::pvcradjust)));
    if (Kestrix::timebaseinfile)
        lines.push_back(setting("TimeBase", Kestrix::timebase.settingText()));
    lines.push_back(" ");
    lines.push_back(setting("StopOnExit", Kestrix::stopexit));
    lines.push_back(setting("LogEdits", Kestrix::dolog));
    return lines;
}

void SettingsFile::applyPrerollRules()
{
    if (Kestrix::lanc1)
        Kestrix::pvcrpreroll = 0;
    if (Kestrix::lanc2)
        Kestrix::rvcrpreroll = 0;
    if (!Kestrix::lanc1 && !Kestrix::lanc2)
        Kestrix::pvcrpreroll = Kestrix::rvcrpreroll;
}
