// The settings file that names the virtual decks.

#include "tools/decksim/SettingsFile.h"

#include <gtest/gtest.h>

namespace decksim {
namespace {

TEST(SettingsFile, FreshFileNamesBothRs422Decks)
{
    EXPECT_EQ(SettingsFile::freshContents({"/dev/pts/4", "/dev/pts/5", 3, 0}),
              "KESTRIX Settings\n \nPlayVCRType=RS422\nPlayVCRCOMPort=/dev/pts/4\nPlayVCRPreroll=3\n \n"
              "RecVCRType=RS422\nRecVCRCOMPort=/dev/pts/5\nRecVCRPreroll=3\n \nEditAdjust=0\n \n"
              "StopOnExit=YES\nLogEdits=YES\n");
    const std::string custom = SettingsFile::freshContents({"a", "b", 5, -2});
    EXPECT_NE(custom.find("PlayVCRPreroll=5\n"), std::string::npos);
    EXPECT_NE(custom.find("RecVCRPreroll=5\n"), std::string::npos);
    EXPECT_NE(custom.find("EditAdjust=-2\n"), std::string::npos);
}

TEST(SettingsFile, OnlyThePortLinesOfAnExistingFileChange)
{
    const struct {
        const char* name;
        std::string existing;
        std::string expected;
    } cases[] = {
        {"operator settings stay",
         "KESTRIX Settings\n \nPlayVCRType=LANC\nPlayVCRCOMPort=COM1\nPlayVCRPreroll=7\n# note\nRecVCRCOMPort=COM2\nEditAdjust=4\n",
         "KESTRIX Settings\n \nPlayVCRType=LANC\nPlayVCRCOMPort=P\nPlayVCRPreroll=7\n# note\nRecVCRCOMPort=R\nEditAdjust=4\n"},
        {"line endings kept", "PlayVCRCOMPort=COM1\r\nRecVCRCOMPort=COM2\r\nX=1\r",
         "PlayVCRCOMPort=P\r\nRecVCRCOMPort=R\r\nX=1\r"},
        {"keys as the reader finds them", "  PlayVCRCOMPort : COM1\n\tRecVCRCOMPort COM2\n#PlayVCRCOMPort=c\n",
         "PlayVCRCOMPort=P\nRecVCRCOMPort=R\n#PlayVCRCOMPort=c\n"},
        {"continued value replaced whole", "PlayVCRCOMPort=CO\\\n  M1\nRecVCRCOMPort=COM2\n",
         "PlayVCRCOMPort=P\nRecVCRCOMPort=R\n"},
        {"continuation that looks like a key stays", "Note=a\\\nPlayVCRCOMPort=x\nPlayVCRCOMPort=COM1\nRecVCRCOMPort=COM2",
         "Note=a\\\nPlayVCRCOMPort=x\nPlayVCRCOMPort=P\nRecVCRCOMPort=R\n"},
        {"missing lines added", "StopOnExit=NO", "StopOnExit=NO\nPlayVCRCOMPort=P\nRecVCRCOMPort=R\n"},
        {"last line continuing onto nothing", "\\", "\\\n\nPlayVCRCOMPort=P\nRecVCRCOMPort=R\n"},
        {"line of an empty key continued", ":::::\\", ":::::\\\n\nPlayVCRCOMPort=P\nRecVCRCOMPort=R\n"},
        {"last line continuing onto nothing after its line end", "Note=a\\\r", "Note=a\\\r\rPlayVCRCOMPort=P\nRecVCRCOMPort=R\n"},
        {"every occurrence rewritten", "PlayVCRCOMPort=1\nPlayVCRCOMPort=2\nRecVCRCOMPort=3\n",
         "PlayVCRCOMPort=P\nPlayVCRCOMPort=P\nRecVCRCOMPort=R\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SettingsFile::withPorts(c.existing, "P", "R"), c.expected) << c.name;
    }
}

}  // namespace
}  // namespace decksim
