#pragma once

#include <string>
#include <vector>

// The settings file of key=value lines. Reading fills the settings fields of Kestrix and
// prints the settings summary; saving writes those fields back.
class SettingsFile {
public:
    explicit SettingsFile(std::string path);

    bool exists() const;

    // Loads every line into Kestrix::props, sets the settings fields, applies the preroll
    // rules and prints the summary. Throws SettingsError, before printing anything, when
    // the file cannot be read or a setting that start-up needs is missing or malformed.
    void load() const;

    // Replaces the file's contents with savedLines(), all at once: when that fails the old
    // file stays as it was and SettingsError says why.
    void save() const;

    // The file's new lines, from the current settings fields, without line ends.
    static std::vector<std::string> savedLines();

    // A LANC deck cannot preroll. Otherwise the player always uses the recorder's preroll,
    // so both decks roll up for the same time before an edit.
    static void applyPrerollRules();

private:
    std::string path_;
};
