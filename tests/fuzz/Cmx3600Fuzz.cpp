// CMX 3600 lists as the event list reads them. The input's first byte picks the time base and
// a trim; the rest is the list's text. Whatever it holds, the reader does not crash, and a list
// it takes writes and reads back as the same list, with the same text when written again. A
// trim of one of its events either changes nothing or leaves every event sound, reads back
// the same once written, and undoes to the list as read.

#include "eventlist/CmxReader.h"
#include "eventlist/CmxWriter.h"
#include "eventlist/ListError.h"
#include "eventlist/ListModel.h"
#include "tests/fuzz/FuzzSupport.h"

#include <array>
#include <optional>
#include <string>

namespace {

constexpr std::array<TimeBase::Kind, 4> kinds{TimeBase::Kind::Fps30, TimeBase::Kind::Fps2997,
                                              TimeBase::Kind::Fps2997DF, TimeBase::Kind::Fps25};
constexpr std::array<TrimPoint, 4> points{TrimPoint::RecordIn, TrimPoint::RecordOut, TrimPoint::SourceIn,
                                          TrimPoint::SourceOut};

void checkWrittenBack(const EventList& list)
{
    const WrittenList written = CmxWriter::write(list);
    const ReadList again = CmxReader::read(written.text, list.timeBase());
    FUZZ_ASSERT(again.list == list);
    FUZZ_ASSERT(CmxWriter::write(again.list).text == written.text);
}

// Bits of the choice byte above the time base's: the point, ripple, one frame or ten, and
// the direction.
void checkTrim(const EventList& read, std::uint8_t choice, std::size_t pick)
{
    if (read.empty())
        return;
    ListModel model(read);
    const std::size_t index = pick % read.size();
    const TrimPoint point = points[(choice >> 2) & 3];
    const Ripple ripple = (choice & 0x10) ? Ripple::On : Ripple::Off;
    const int frames = ((choice & 0x20) ? 10 : 1) * ((choice & 0x40) ? -1 : 1);
    try {
        model.trim(index, point, frames, ripple);
    } catch (const ListError&) {
        FUZZ_ASSERT(model.list() == read);
        FUZZ_ASSERT(!model.canUndo());
        return;
    }
    for (std::size_t at = 0; at < model.list().size(); ++at)
        FUZZ_ASSERT(!model.list()[at].fault(read.timeBase()));
    checkWrittenBack(model.list());
    FUZZ_ASSERT(model.undo());
    FUZZ_ASSERT(model.list() == read);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::uint8_t choice = input.byte();
    const std::vector<std::uint8_t> rest = input.bytes(size);
    const std::string text(rest.begin(), rest.end());
    std::optional<ReadList> read;
    try {
        read = CmxReader::read(text, TimeBase(kinds[choice & 3]));
    } catch (const ListError&) {
        return 0;
    }
    checkWrittenBack(read->list);
    checkTrim(read->list, choice, text.size());
    return 0;
}
