#include "app/SettingsFile.h"

#include "app/Kestrix.h"
#include "app/SettingsError.h"
#include "tests/app/AppTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

std::string joinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// A complete file for two decks of the given types; RECON keys only where asked for.
std::string settingsText(const std::string& playType, const std::string& recType, const std::string& extra = "")
{
    return joinLines({"KESTRIX Settings", " ", "PlayVCRType=" + playType, "PlayVCRCOMPort=COM1", "PlayVCRPreroll=3", " ",
                      "RecVCRType=" + recType, "RecVCRCOMPort=/dev/ttyUSB1", "RecVCRPreroll=5", " ", "EditAdjust=-2", " ",
                      "StopOnExit=YES", "LogEdits=NO"}) +
           extra;
}

class SettingsFileTest : public testing::Test {
protected:
    void SetUp() override { resetSettingsFields(); }

    // Loads the text as the settings file and returns what went to the console.
    std::string load(const std::string& text)
    {
        writeFile(path, text);
        ConsoleCapture console;
        SettingsFile(path).load();
        return console.text();
    }

    // The message of the SettingsError that loading the text raises; nothing may be printed.
    std::string loadError(const std::string& text)
    {
        writeFile(path, text);
        ConsoleCapture console;
        try {
            SettingsFile(path).load();
        } catch (const SettingsError& error) {
            EXPECT_EQ(console.text(), "");
            return error.what();
        }
        return "no error";
    }

    TempDir dir;
    std::string path = dir.file("KESTRIX_Settings.txt");
};

TEST_F(SettingsFileTest, SummaryOfPlainDecks)
{
    EXPECT_EQ(load(settingsText("RS422", "rs422")),
              "\n"
              "KESTRIX Settings:\n"
              " \n"
              "Play VCR Type      RS422\n"
              "Play VCR COM Port  COM1\n"
              "Play VCR Preroll   3 sec\n"
              "\n"
              "Rec VCR Type       rs422\n"
              "Rec VCR COM Port   /dev/ttyUSB1\n"
              "Rec VCR Preroll    5 sec\n"
              "\n"
              "Edit Adjust        -2 frames\n"
              "Stop on Exit       YES\n"
              "Log Edits          NO\n"
              "\n");
    EXPECT_EQ(Kestrix::pvcradjust, -2);
    EXPECT_EQ(Kestrix::props.find("KESTRIX")->c_str(), std::string("Settings"));
}

TEST_F(SettingsFileTest, SummaryOfLancPlayerShowsTheFilePreroll)
{
    EXPECT_EQ(load(settingsText("lanc", "RS422")),
              "\n"
              "KESTRIX Settings:\n"
              " \n"
              "Play VCR Type      lanc\n"
              "Play VCR COM Port  COM1\n"
              "Play VCR Preroll   3 sec\n"
              "\n"
              "Rec VCR Type       RS422\n"
              "Rec VCR COM Port   /dev/ttyUSB1\n"
              "Rec VCR Preroll    5 sec\n"
              "\n"
              "Edit Adjust        -2 frames\n"
              "Stop on Exit       YES\n"
              "Log Edits          NO\n"
              "\n");
    EXPECT_TRUE(Kestrix::lanc1);
    EXPECT_EQ(Kestrix::pvcrpreroll, 0);
}

TEST_F(SettingsFileTest, SummaryOfReconDecksShowsLimitedCompressionAndTextsAsRead)
{
    std::string recon = joinLines({"PlayCompression=15", "PlayVideoMode=secam", "PlayVideoType=svid",
                                   "RecCompression= 2 ", "RecVideoMode=pal", "RecVideoType=COMP"});
    EXPECT_EQ(load(settingsText("RECON", "Recon", recon)),
              "\n"
              "KESTRIX Settings:\n"
              " \n"
              "Play VCR Type      RECON\n"
              "Compression        10\n"
              "VideoMode          secam\n"
              "VideoType          svid\n"
              "Play VCR COM Port  COM1\n"
              "Play VCR Preroll   3 sec\n"
              "\n"
              "Rec VCR Type       Recon\n"
              "Compression        4\n"
              "VideoMode          pal\n"
              "VideoType          COMP\n"
              "Rec VCR COM Port   /dev/ttyUSB1\n"
              "Rec VCR Preroll    5 sec\n"
              "\n"
              "Edit Adjust        -2 frames\n"
              "Stop on Exit       YES\n"
              "Log Edits          NO\n"
              "\n");
    EXPECT_EQ(Kestrix::videomode1, 3);
    EXPECT_EQ(Kestrix::videotype1, 1);
    EXPECT_EQ(Kestrix::videomode2, 0);
    EXPECT_EQ(Kestrix::videotype2, 0);
    EXPECT_EQ(Kestrix::Compression2, "2 ");
}

TEST_F(SettingsFileTest, PrerollRules)
{
    struct Case {
        const char* playType;
        const char* recType;
        int playPreroll;
        int recPreroll;
    };
    // The file holds PlayVCRPreroll 3 and RecVCRPreroll 5.
    const Case cases[] = {
        {"RS422", "RS422", 5, 5}, {"LANC", "RS422", 0, 5}, {"RS422", "LANC", 3, 0},
        {"LANC", "lanc", 0, 0},   {"RECON", "RS422", 5, 5},
    };
    std::string recon = joinLines({"PlayCompression=4", "PlayVideoMode=NTSC", "PlayVideoType=COMP"});
    for (const Case& c : cases) {
        resetSettingsFields();
        load(settingsText(c.playType, c.recType, recon));
        EXPECT_EQ(Kestrix::pvcrpreroll, c.playPreroll) << c.playType << "/" << c.recType;
        EXPECT_EQ(Kestrix::rvcrpreroll, c.recPreroll) << c.playType << "/" << c.recType;
    }
}

TEST_F(SettingsFileTest, StopOnExitAndLogEditsKeepTheirTextsThroughASave)
{
    struct Case {
        const char* text;
        bool on;
    };
    for (const Case& c : {Case{"YES", true}, Case{"yes", true}, Case{"NO", false}, Case{"YES please", false}}) {
        resetSettingsFields();
        std::string text = settingsText("RS422", "RS422", joinLines({"StopOnExit=" + std::string(c.text),
                                                                     "LogEdits=" + std::string(c.text)}));
        load(text);
        EXPECT_EQ(Kestrix::stoponexit, c.on) << c.text;
        EXPECT_EQ(Kestrix::log, c.on) << c.text;
        SettingsFile(path).save();
        std::string saved = readFile(path);
        EXPECT_NE(saved.find("\nStopOnExit=" + std::string(c.text) + "\nLogEdits=" + c.text + "\n"), std::string::npos)
            << saved;
    }
}

TEST_F(SettingsFileTest, WholeNumbersAcceptSurroundingBlanksAndASign)
{
    struct Case {
        const char* text;
        int value;
    };
    for (const Case& c : {Case{"7", 7}, Case{" 7 ", 7}, Case{"\t-9\t", -9}, Case{"+4", 4}, Case{"-2147483648", -2147483647 - 1}}) {
        resetSettingsFields();
        load(settingsText("RS422", "RS422", "EditAdjust=" + std::string(c.text) + "\n"));
        EXPECT_EQ(Kestrix::pvcradjust, c.value) << c.text;
    }
}

TEST_F(SettingsFileTest, MalformedNumbersNameKeyValueAndFile)
{
    for (std::string value : {"", "3x", "3 4", "0x10", "2147483648", "--1", "+-1", "1.5"}) {
        EXPECT_EQ(loadError(settingsText("RS422", "RS422", "EditAdjust=" + value + "\n")),
                  "Settings error in " + path + ": EditAdjust is \"" + value + "\", not a whole number");
    }
    std::string badCompression = joinLines({"RecCompression=high", "RecVideoMode=PAL", "RecVideoType=COMP"});
    EXPECT_EQ(loadError(settingsText("RS422", "RECON", badCompression)),
              "Settings error in " + path + ": RecCompression is \"high\", not a whole number");
}

TEST_F(SettingsFileTest, TimeBaseIsReadShownAndSavedOnlyWhenTheFileHasIt)
{
    struct Case {
        const char* text;
        TimeBase::Kind kind;
        const char* saved;
    };
    for (const Case& c : {Case{"30", TimeBase::Kind::Fps30, "30"}, Case{"29.97", TimeBase::Kind::Fps2997, "29.97"},
                          Case{"29.97DF", TimeBase::Kind::Fps2997DF, "29.97DF"}, Case{" 25 ", TimeBase::Kind::Fps25, "25"}}) {
        resetSettingsFields();
        std::string console = load(settingsText("RS422", "RS422", "TimeBase=" + std::string(c.text) + "\n"));
        EXPECT_EQ(Kestrix::timebase.kind(), c.kind) << c.text;
        EXPECT_NE(console.find("\nEdit Adjust        -2 frames\nTime Base          " + std::string(c.saved)
                               + "\nStop on Exit       YES\n"),
                  std::string::npos)
            << console;
        SettingsFile(path).save();
        std::string saved = readFile(path);
        EXPECT_NE(saved.find("\nEditAdjust=-2\nTimeBase=" + std::string(c.saved) + "\n \n"), std::string::npos) << saved;
    }

    resetSettingsFields();
    Kestrix::timebase = TimeBase(TimeBase::Kind::Fps25);
    std::string console = load(settingsText("RS422", "RS422"));
    EXPECT_EQ(Kestrix::timebase, TimeBase()) << "a file without the key runs at 30";
    EXPECT_EQ(console.find("Time Base"), std::string::npos) << console;
    SettingsFile(path).save();
    EXPECT_EQ(readFile(path).find("TimeBase"), std::string::npos);
}

TEST_F(SettingsFileTest, UnknownTimeBaseNamesKeyValueAndFile)
{
    for (std::string value : {"", "24", "30.0", "29.97 DF", "PAL"}) {
        EXPECT_EQ(loadError(settingsText("RS422", "RS422", "TimeBase=" + value + "\n")),
                  "Settings error in " + path + ": TimeBase is \"" + value + "\", not 30, 29.97, 29.97DF or 25");
    }
}

TEST_F(SettingsFileTest, MissingKeysAreNamed)
{
    std::string full =
        settingsText("RECON", "RS422", joinLines({"PlayCompression=4", "PlayVideoMode=PAL", "PlayVideoType=COMP"}));
    for (std::string key : {"StopOnExit", "LogEdits", "PlayVCRType", "RecVCRType", "PlayVCRCOMPort", "RecVCRCOMPort",
                            "RecVCRPreroll", "PlayVCRPreroll", "EditAdjust", "PlayCompression", "PlayVideoMode",
                            "PlayVideoType"}) {
        std::string text = full;
        text.erase(text.find(key + "="), key.size() + 1);
        EXPECT_EQ(loadError(text), "Settings error in " + path + ": " + key + " is missing");
    }
}

TEST_F(SettingsFileTest, UnreadableFileAndMalformedEscapeAreReported)
{
    EXPECT_EQ(loadError("PlayVCRType=\\uZZZZ\n"), "Settings error in " + path + ": malformed escape \"\\uZZZZ\"");

    std::string folder = dir.file("folder");
    std::filesystem::create_directory(folder);
    ConsoleCapture console;
    try {
        SettingsFile(folder).load();
        ADD_FAILURE() << "a folder was read as settings";
    } catch (const SettingsError& error) {
        EXPECT_EQ(std::string(error.what()), "Settings error in " + folder + ": the file could not be read (Is a directory)");
    }
}

TEST_F(SettingsFileTest, SaveWritesTheExactLinesWithPrerollsAfterTheRules)
{
    load(settingsText("RECON", "RS422", joinLines({"PlayCompression=15", "PlayVideoMode=PAL", "PlayVideoType=SVID"})));
    SettingsFile(path).save();
    EXPECT_EQ(readFile(path), joinLines({"KESTRIX Settings", " ", "PlayVCRType=RECON", "PlayVCRCOMPort=COM1",
                                         "PlayVCRPreroll=5", "PlayCompression=15", "PlayVideoMode=PAL",
                                         "PlayVideoType=SVID", " ", "RecVCRType=RS422", "RecVCRCOMPort=/dev/ttyUSB1",
                                         "RecVCRPreroll=5", " ", "EditAdjust=-2", " ", "StopOnExit=YES", "LogEdits=NO"}));
}

TEST_F(SettingsFileTest, SavedFileReadsBackWithTheSameValues)
{
    using K = Kestrix;
    auto snapshot = [] {
        return std::tuple(K::vcrtype1, K::vcrtype2, K::comport1, K::comport2, K::lanc1, K::lanc2, K::recon1, K::recon2,
                          K::Compression1, K::Compression2, K::compression1, K::compression2, K::VideoMode1,
                          K::VideoMode2, K::videomode1, K::videomode2, K::VideoType1, K::VideoType2, K::videotype1,
                          K::videotype2, K::pvcrpreroll, K::rvcrpreroll, K::pvcradjust, K::stopexit, K::stoponexit,
                          K::dolog, K::log);
    };
    std::string recon = joinLines({"PlayCompression=7", "PlayVideoMode=pal", "PlayVideoType=SVID", "RecCompression=9",
                                   "RecVideoMode=NTSC", "RecVideoType=svid", "PlayVCRCOMPort=C:\\\\ports\\\\COM10"});
    load(settingsText("RECON", "recon", recon));
    auto before = snapshot();
    ASSERT_EQ(Kestrix::comport1, "C:\\ports\\COM10");

    SettingsFile(path).save();
    resetSettingsFields();
    load(readFile(path));
    EXPECT_EQ(snapshot(), before);
}

} // namespace
