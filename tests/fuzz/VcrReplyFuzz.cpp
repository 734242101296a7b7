// The deck controller's decoding of its deck's replies: time code (digits, flag bits, the
// drop-frame switch of the deck's base) and status (words, lamps, record tally, cued up). The
// input chooses the configured time base, then a run of exchanges: a time code or a status
// request, and the reply's bytes. Each reply is a whole block with a right checksum, so every
// exchange ends at once and the decoding is what is tested. Whatever the deck says, the shown
// time code is a well-formed label that agrees with the virtual decks' own reading of the same
// bytes, the base follows the drop-frame flag, and the status words agree with their bits.

#include "deck/InvalidTimeCode.h"
#include "deck/VCR.h"
#include "tests/deck/DeckTestSupport.h"
#include "tests/deck/FakeDeckView.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tools/decksim/TimeCode.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t dropFrameFlag = 0x40;
constexpr std::uint8_t recordBit = 0x02;
constexpr std::uint8_t editBit = 0x10;
constexpr std::uint8_t cuedUpBit = 0x01;
const Bytes acknowledge{0x10, 0x01, 0x11};

struct Bases {
    TimeBase controller;
    decksim::TimeBase virtualDecks;
};

Bases baseFrom(std::uint8_t choice)
{
    static const std::array<Bases, 4> bases{{
        {TimeBase(TimeBase::Kind::Fps30), decksim::TimeBase::fps30},
        {TimeBase(TimeBase::Kind::Fps2997), decksim::TimeBase::fps2997},
        {TimeBase(TimeBase::Kind::Fps2997DF), decksim::TimeBase::fps2997DropFrame},
        {TimeBase(TimeBase::Kind::Fps25), decksim::TimeBase::fps25},
    }};
    return bases[choice % bases.size()];
}

Bytes block(std::uint8_t group, std::uint8_t command, const Bytes& data)
{
    Bytes made{static_cast<std::uint8_t>(group | data.size()), command};
    made.insert(made.end(), data.begin(), data.end());
    return decktest::withChecksum(made);
}

bool isLabel(const std::string& tc)
{
    if (tc.size() != 11)
        return false;
    for (std::size_t i = 0; i < tc.size(); ++i) {
        const bool separator = i % 3 == 2;
        if (separator ? tc[i] != ':' : !std::isdigit(static_cast<unsigned char>(tc[i])))
            return false;
    }
    return true;
}

bool isBcd(std::uint8_t byte)
{
    return (byte >> 4) <= 9 && (byte & 0x0F) <= 9;
}

// The label the virtual decks read from the same time data, when every digit is a decimal
// digit and the label is one of the base's within their tape.
std::optional<std::string> virtualDecksLabel(const Bytes& timeData, decksim::TimeBase base)
{
    const std::array<std::uint8_t, 4> plain{static_cast<std::uint8_t>(timeData[0] & 0x3F), timeData[1], timeData[2],
                                            static_cast<std::uint8_t>(timeData[3] & 0x3F)};
    for (const std::uint8_t byte : plain) {
        if (!isBcd(byte))
            return std::nullopt;
    }
    const int frame = decksim::TimeCode::fromBcd(plain.data(), base);
    std::ostringstream label;
    for (const int index : {3, 2, 1, 0})
        label << char('0' + (plain[index] >> 4)) << char('0' + (plain[index] & 0x0F)) << (index ? ":" : "");
    if (decksim::TimeCode::format(frame, base) != label.str())
        return std::nullopt;  // no such label on the base, or past the end of the tape
    return label.str();
}

// The drop-frame flags of the readings shown so far, newest last.
using FlagHistory = std::vector<bool>;

// The base follows the flag only once three readings in a row agree on it: a flag lost now
// and then must not renumber the tape.
void checkBaseFollowsSteadyFlag(const FlagHistory& flags, const Bases& configured, TimeBase before, TimeBase active)
{
    const TimeBase flagged = configured.controller.forDropFrameFlag(true);
    FUZZ_ASSERT(active == configured.controller || active == flagged);
    constexpr std::size_t steady = 3;
    if (flags.size() < steady)
        return;
    const bool newest = flags.back();
    const bool agree = std::all_of(flags.end() - steady, flags.end(), [&](bool flag) { return flag == newest; });
    if (agree)
        FUZZ_ASSERT(active == configured.controller.forDropFrameFlag(newest));
    if (active != before)
        FUZZ_ASSERT(agree);
}

void checkTimeCode(VCR& deck, FakeDeckView& view, const Bases& configured, const Bytes& timeData, bool answered,
                   FlagHistory& flags, TimeBase before)
{
    const std::string shown = deck.timecode();
    FUZZ_ASSERT(isLabel(shown));
    FUZZ_ASSERT(view.tc() == shown);
    const TimeBase active = deck.timeBase();
    if (!answered) {
        FUZZ_ASSERT(active == before);
        return;
    }
    flags.push_back((timeData[0] & dropFrameFlag) != 0);
    checkBaseFollowsSteadyFlag(flags, configured, before, active);
    const decksim::TimeBase readOn = active.dropFrame() ? decksim::TimeBase::fps2997DropFrame : configured.virtualDecks;
    if (const auto label = virtualDecksLabel(timeData, readOn))
        FUZZ_ASSERT(shown == *label);
    try {
        FUZZ_ASSERT(active.labelOf(deck.calcframes(shown)) == shown);
    } catch (const InvalidTimeCode&) {
        FUZZ_ASSERT(!active.frameOf(shown).has_value());
    }
}

bool hasWord(const std::string& text, const std::string& word)
{
    return (" " + text).find(" " + word + " ") != std::string::npos;
}

void checkStatus(VCR& deck, FakeDeckView& view, const Bytes& data, const std::string& before)
{
    const std::string text = deck.statusText();
    // Shorter than a whole status: nothing changes.
    if (data.size() < 5) {
        FUZZ_ASSERT(text == before);
        return;
    }
    std::istringstream words(text);
    static const std::string known[] = {"Play", "Rec", "FF", "REW", "Stop", "Stby", "Shuttle", "Jog", "CuedUp", "PreCue"};
    for (std::string word; words >> word;)
        FUZZ_ASSERT(std::find(std::begin(known), std::end(known), word) != std::end(known));
    const std::uint8_t transport = data[1];
    const std::uint8_t mode = data[2];
    FUZZ_ASSERT(hasWord(text, "Rec") == ((transport & recordBit) != 0));
    FUZZ_ASSERT(hasWord(text, "CuedUp") == ((mode & cuedUpBit) != 0));
    FUZZ_ASSERT(view.recordTally() == ((transport & recordBit) || (data[4] & editBit)));
    FUZZ_ASSERT(view.lamps().play == hasWord(text, "Play"));
}

void timeCodeExchange(FuzzInput& input, VCR& deck, FakeSerialBackend& line, FakeDeckView& view, const Bases& configured,
                      FlagHistory& flags)
{
    static constexpr std::uint8_t timeData[] = {0x04, 0x06, 0x14, 0x16};
    const std::uint8_t choice = input.byte();
    Bytes data = input.bytes(4);
    data.resize(4);
    const bool refused = (choice & 0x80) != 0;
    const std::string before = deck.timecode();
    const TimeBase baseBefore = deck.timeBase();
    line.answerNextWrite(refused ? decktest::withChecksum({0x11, 0x12, data[0]})
                                 : block(0x70, timeData[choice % 4], data));
    // A refusal, or a time code with a field no base has, is no reading.
    const bool answered = deck.CommandB8();
    if (refused)
        FUZZ_ASSERT(!answered);
    if (!answered)
        FUZZ_ASSERT(deck.timecode() == before);
    checkTimeCode(deck, view, configured, data, answered, flags, baseBefore);
}

void statusExchange(FuzzInput& input, VCR& deck, FakeSerialBackend& line, FakeDeckView& view)
{
    const Bytes data = input.bytes(input.byte() % 10);
    const std::string before = deck.statusText();
    line.answerNextWrite(block(0x70, 0x20, data));
    deck.CommandStatus();
    checkStatus(deck, view, data, before);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A deck prints its set-up on standard output; the fuzzer reports on standard error.
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, STDOUT_FILENO);
    close(devNull);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const Bases configured = baseFrom(input.byte());
    decktest::FakeBackend line;
    line->answerNextWrite(acknowledge);  // the time mode sent at set-up
    VCR deck("COM3", false, false);
    FakeDeckView& view = FakeDeckView::attachTo(deck);
    deck.setTimeBase(configured.controller);
    FlagHistory flags;
    for (int exchange = 0; exchange < 16 && !input.empty(); ++exchange) {
        if (input.byte() & 0x01)
            statusExchange(input, deck, *line, view);
        else
            timeCodeExchange(input, deck, *line, view, configured, flags);
    }
    return 0;
}
