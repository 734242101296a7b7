#pragma once

#include "eventlist/CmxReader.h"
#include "eventlist/CmxWriter.h"
#include "eventlist/EventList.h"
#include "tests/TempDir.h"

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
