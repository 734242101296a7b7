// The virtual decks' command line: the input is the arguments, one a line. Whatever they
// are, the parser either refuses them with a usage error or gives settings within the ranges
// its usage text promises, and start positions that are real places on the tape.

#include "tests/fuzz/FuzzSupport.h"
#include "tools/decksim/CommandLine.h"
#include "tools/decksim/TimeCode.h"

#include <sstream>

namespace decksim {
namespace {

std::vector<std::string> argumentsOf(const std::string& text)
{
    std::vector<std::string> arguments;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        arguments.push_back(line);
    return arguments;
}

bool within(int value, int lowest, int highest)
{
    return value >= lowest && value <= highest;
}

void checkStart(int frame, TimeBase base)
{
    FUZZ_ASSERT(within(frame, 0, TimeCode::tapeEndFrame(base)));
    FUZZ_ASSERT(TimeCode::parse(TimeCode::format(frame, base), base) == frame);
}

void checkOptions(const Options& decks)
{
    FUZZ_ASSERT(within(decks.replyDelayMs, 0, 8));
    FUZZ_ASSERT(within(decks.editDelayFrames, 0, 300));
    FUZZ_ASSERT(within(decks.lockFrames, 0, 300));
    FUZZ_ASSERT(within(decks.playerLockFrames.value_or(0), 0, 300));
    FUZZ_ASSERT(within(decks.recorderLockFrames.value_or(0), 0, 300));
    FUZZ_ASSERT(decks.seekSpeed > 0.0 && decks.seekSpeed <= 1000.0);
    FUZZ_ASSERT(within(decks.adapterLatencyMs, 0, 1000));
    FUZZ_ASSERT(within(decks.nakEvery, 0, 1'000'000));
    FUZZ_ASSERT(within(decks.garbleEvery, 0, 1'000'000));
    checkStart(decks.playerStartFrame, decks.timeBase);
    checkStart(decks.recorderStartFrame, decks.timeBase);
}

}  // namespace
}  // namespace decksim

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace decksim;
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const CommandLine parsed = CommandLine::parse(argumentsOf(text));
        checkOptions(parsed.decks);
        FUZZ_ASSERT(within(parsed.prerollSeconds, 0, 59));
        FUZZ_ASSERT(within(parsed.adjustFrames, -999, 999));
    } catch (const UsageError& error) {
        FUZZ_ASSERT(*error.what() != '\0');
    }
    return 0;
}
