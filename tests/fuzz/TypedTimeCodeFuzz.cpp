// A time code typed by the operator, read on each time base. The input is the text. Whatever
// it is, a text taken as a label gives a frame of the day whose label has the typed digits,
// the virtual decks' own reading of the same label agrees, and a frame's real time gives the
// frame back.

#include "deck/TimeBase.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tools/decksim/TimeCode.h"

#include <string>

namespace {

struct Bases {
    TimeBase controller;
    decksim::TimeBase virtualDecks;
};

const Bases everyBase[] = {
    {TimeBase(TimeBase::Kind::Fps30), decksim::TimeBase::fps30},
    {TimeBase(TimeBase::Kind::Fps2997), decksim::TimeBase::fps2997},
    {TimeBase(TimeBase::Kind::Fps2997DF), decksim::TimeBase::fps2997DropFrame},
    {TimeBase(TimeBase::Kind::Fps25), decksim::TimeBase::fps25},
};

// The digits of a label; the separators are not read.
bool sameDigits(const std::string& typed, const std::string& label)
{
    for (const std::size_t at : {0, 1, 3, 4, 6, 7, 9, 10}) {
        if (typed[at] != label[at])
            return false;
    }
    return true;
}

void checkOn(const std::string& typed, const Bases& base)
{
    const std::optional<int> frame = base.controller.frameOf(typed);
    // The virtual decks read strict labels of their two-hour tape.
    const std::optional<int> virtualFrame = decksim::TimeCode::parse(typed, base.virtualDecks);
    if (virtualFrame)
        FUZZ_ASSERT(frame == virtualFrame);
    if (!frame)
        return;
    FUZZ_ASSERT(typed.size() == 11);
    FUZZ_ASSERT(*frame >= 0 && *frame < base.controller.framesPerDay());
    FUZZ_ASSERT(sameDigits(typed, base.controller.labelOf(*frame)));
    FUZZ_ASSERT(base.controller.framesIn(base.controller.millisOf(*frame)) == *frame);
    if (*frame < decksim::TimeCode::tapeEndFrame(base.virtualDecks))
        FUZZ_ASSERT(decksim::TimeCode::format(*frame, base.virtualDecks) == base.controller.labelOf(*frame));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string typed(reinterpret_cast<const char*>(data), size);
    for (const Bases& base : everyBase)
        checkOn(typed, base);
    return 0;
}
