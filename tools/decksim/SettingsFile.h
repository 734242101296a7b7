#pragma once

#include <string>

namespace decksim {

// The controller's settings file, KESTRIX_Settings.txt, naming the virtual decks, and the
// empty edit log beside it.
class SettingsFile {
public:
    static constexpr const char* fileName = "KESTRIX_Settings.txt";
    static constexpr const char* editLogName = "edl.txt";

    struct Decks {
        std::string playerPort;
        std::string recorderPort;
        int prerollSeconds = 3;
        int adjustFrames = 0;
    };

    // A complete settings file for two RS-422 decks.
    static std::string freshContents(const Decks& decks);
    // The existing text with only its PlayVCRCOMPort and RecVCRCOMPort lines rewritten (and
    // added at the end when missing); every other line and line ending stays as it was.
    static std::string withPorts(const std::string& existing, const std::string& playerPort, const std::string& recorderPort);
    // Writes DIR/KESTRIX_Settings.txt (fresh, or only the port lines when it exists, both
    // atomically) and creates an empty DIR/edl.txt when there is none. Returns an error
    // message, empty on success.
    static std::string prepare(const std::string& dir, const Decks& decks);
};

}  // namespace decksim
