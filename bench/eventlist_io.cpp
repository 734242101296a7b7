// Reading and writing a 999-event list: the CMX 3600 reader and writer on a drop-frame
// programme with a clip name on every event and a dissolve and a split every twenty, and the
// list file's atomic save (with its flushes to the disk) and load. Also what the thread that
// edits the list spends on one change: a trim of the first event rippling the 998 after it,
// and the copy handed to a saving thread. Prints the median and the worst of many runs.

#include "eventlist/CmxReader.h"
#include "eventlist/CmxWriter.h"
#include "eventlist/ListFile.h"
#include "eventlist/ListModel.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int eventCount = 999;
const TimeBase base{TimeBase::Kind::Fps2997DF};

Event cut(const std::string& reel, std::uint8_t mode, int source, int record, int length)
{
    return Event::fromEdit(mode, reel, {source, source + length, record, record + length}, FrameCountMode::DropFrame);
}

// A programme butted on the record tape from one hour, events of 2 to 8 seconds.
EventList programme()
{
    EventList list(base);
    list.setTitle("BENCHMARK PROGRAMME");
    int record = 107892;
    for (int index = 0; index < eventCount; ++index) {
        const int length = 60 + (index * 37) % 180;
        const std::string reel = "TAPE" + std::to_string(1 + index % 40);
        const int source = 107892 * (1 + index % 9) + index * 211;
        Event event = cut(reel, 0x53, source, record, length);
        if (index % 20 == 7) {
            Event incoming = cut("TAPE99", 0x50, source + 5000, record, length);
            incoming.lines[0].transition = {Transition::Kind::Dissolve, 0, ' ', 30};
            event = cut(reel, 0x50, source, record, 0);
            event.lines.push_back(incoming.lines[0]);
        } else if (index % 20 == 13) {
            event = cut(reel, 0x50, source, record, length);
            event.lines.push_back(cut(reel, 0x43, source + 6, record + 6, length - 6).lines[0]);
            event.split = {Split::Delay::Audio, 6};
        }
        event.semicolonFrames = index % 2 == 0;
        event.notes.push_back({Note::Kind::Comment, "* FROM CLIP NAME: SHOT " + std::to_string(index + 1)});
        list.insert(list.size(), event);
        record += length;
    }
    return list;
}

void measure(const char* what, int runs, const std::function<void()>& run)
{
    using Clock = std::chrono::steady_clock;
    std::vector<double> millis;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        run();
        millis.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(millis.begin(), millis.end());
    std::printf("%-46s %4d runs: median %7.3f ms, worst %7.3f ms\n", what, runs, millis[millis.size() / 2],
                millis.back());
}

} // namespace

int main()
{
    const EventList list = programme();
    const std::string text = CmxWriter::write(list).text;
    std::printf("a list of %zu events, %zu bytes\n", list.size(), text.size());
    std::size_t sink = 0;
    measure("read (CMX 3600 text to list)", 200, [&] { sink += CmxReader::read(text, base).list.size(); });
    measure("write (list to CMX 3600 text)", 200, [&] { sink += CmxWriter::write(list).text.size(); });

    std::string folder = (std::filesystem::temp_directory_path() / "kestrix-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr)
        return 1;
    const std::string path = folder + "/kestrix.edl";
    measure("save to a file (atomic, flushed to the disk)", 50, [&] { ListFile::save(path, list); });
    measure("load from a file", 200, [&] { sink += ListFile::load(path, base).list.size(); });
    std::filesystem::remove_all(folder);

    ListModel model(list);
    int step = 0;
    measure("trim rippling 998 events, then copy for saving", 200, [&] {
        model.trim(0, TrimPoint::RecordOut, ++step % 2 ? 1 : -1, Ripple::On);
        const EventList snapshot = model.list();
        sink += snapshot.size();
    });
    return sink == 0 ? 1 : 0;
}
