#pragma once

#include "eventlist/CmxReader.h"
#include "eventlist/CmxWriter.h"
#include "eventlist/EventList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

inline const TimeBase dropFrameBase{TimeBase::Kind::Fps2997DF};
inline const TimeBase ntscBase{TimeBase::Kind::Fps2997};
inline const TimeBase fps30Base{TimeBase::Kind::Fps30};
inline const TimeBase palBase{TimeBase::Kind::Fps25};

// A fresh folder under the system's temporary folder, removed with everything in it.
class ListTempDir {
public:
    ListTempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kestrix-eventlist-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~ListTempDir() { std::filesystem::remove_all(path_); }
    ListTempDir(const ListTempDir&) = delete;
    ListTempDir& operator=(const ListTempDir&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // The names of the files in the folder.
    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(path_))
            found.push_back(entry.path().filename().string());
        return found;
    }

private:
    std::filesystem::path path_;
};

inline std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// A list of this test folder (the golden lists).
inline std::string dataFile(const std::string& name)
{
    return readFile(std::string(KESTRIX_EVENTLIST_DATA) + "/" + name);
}

// A frame count of a label that must exist on the base.
inline int frameOf(TimeBase base, const std::string& label)
{
    const auto frame = base.frameOf(label);
    if (!frame)
        throw std::invalid_argument("no label " + label);
    return *frame;
}

// What a list's warnings say, one "line N: text" each, for failure messages.
inline std::string allMessages(const std::vector<ListWarning>& warnings)
{
    std::string text;
    for (const ListWarning& warning : warnings)
        text += warning.message() + "\n";
    return text;
}

// Writes a list and reads what was written: the model must come back as it was.
inline void expectWritesBackUnchanged(const EventList& list)
{
    const std::string written = CmxWriter::write(list).text;
    const ReadList again = CmxReader::read(written, list.timeBase());
    EXPECT_TRUE(again.list == list) << "written as:\n" << written;
}

// An event of one line made as Kestrix makes it from its points, on labels of the list's base.
inline Event cutEvent(TimeBase labels, std::uint8_t mode, const std::string& reel, const std::string& sourceIn,
                      const std::string& recordIn, int length,
                      FrameCountMode count = FrameCountMode::NonDrop)
{
    const int source = frameOf(labels, sourceIn);
    const int record = frameOf(labels, recordIn);
    return Event::fromEdit(mode, reel, {source, source + length, record, record + length}, count);
}
