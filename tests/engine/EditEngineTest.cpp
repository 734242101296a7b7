// The edit engine on the virtual decks, headless: edits land exactly on the marked frames on
// every kind of deck and line, and an edit that cannot be made exact records nothing.

#include "deck/TimeBase.h"
#include "deck/VCR.h"
#include "engine/EditClock.h"
#include "engine/EditEngine.h"
#include "engine/EditProgress.h"
#include "tests/deck/DeckTestSupport.h"
#include "tools/decksim/VirtualDecks.h"
#include "ui/VCRPanel.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <regex>
#include <thread>

using decksim::Role;

namespace {

constexpr std::uint8_t insertAll = 0x53;
constexpr std::uint8_t assemble = 0x20;

// Real time for the tape, a tenth of it for the sequence's set pauses; abort() stops the
// sequence as ALL STOP does.
class TestClock : public EditClock {
public:
    bool waitUntil(Clock::time_point when) override
    {
        std::unique_lock lock(mutex_);
        wake_.wait_until(lock, when, [this] { return aborted_; });
        return !aborted_;
    }
    bool aborted() const override
    {
        std::lock_guard lock(mutex_);
        return aborted_;
    }
    bool pause(std::chrono::milliseconds span) override { return waitUntil(Clock::now() + span / 10); }
    void abort()
    {
        std::lock_guard lock(mutex_);
        aborted_ = true;
        wake_.notify_all();
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool aborted_ = false;
};

class RecordingProgress : public EditProgress {
public:
    void step(EditStep step) override
    {
        std::lock_guard lock(mutex_);
        steps_.push_back(step);
    }
    void countdown(EditStep, const std::string&) override {}
    void status(const std::string& text) override
    {
        std::lock_guard lock(mutex_);
        statuses_.push_back(text);
    }
    std::vector<EditStep> steps() const
    {
        std::lock_guard lock(mutex_);
        return steps_;
    }
    std::vector<std::string> statuses() const
    {
        std::lock_guard lock(mutex_);
        return statuses_;
    }
    bool reached(EditStep step) const
    {
        const auto all = steps();
        return std::find(all.begin(), all.end(), step) != all.end();
    }

private:
    mutable std::mutex mutex_;
    std::vector<EditStep> steps_;
    std::vector<std::string> statuses_;
};

struct Segment {
    std::string channels;
    int recFirst, recLast, srcFirst, srcLast;
};

TimeBase controllerBase(decksim::TimeBase base)
{
    if (base == decksim::TimeBase::fps2997)
        return TimeBase(TimeBase::Kind::Fps2997);
    if (base == decksim::TimeBase::fps2997DropFrame)
        return TimeBase(TimeBase::Kind::Fps2997DF);
    if (base == decksim::TimeBase::fps25)
        return TimeBase(TimeBase::Kind::Fps25);
    return TimeBase();
}

// A player and a recorder deck controller on virtual decks, with a 1 s preroll.
class EngineRig {
public:
    EngineRig(const decksim::Options& options, std::uint8_t mode)
        : decks(options), base(controllerBase(options.timeBase))
    {
        decktest::resetDeckSettings();
        player = std::make_unique<VCR>(decks.path(Role::Player), false, false);
        recorder = std::make_unique<VCR>(decks.path(Role::Recorder), false, true);
        for (VCR* deck : {player.get(), recorder.get()}) {
            deck->setTimeBase(base);
            deck->makepreroll(1);
            deck->GetTC();
        }
        recorder->setemode(mode);
        request.mode = mode;
        request.playerPreroll = request.recorderPreroll = 1;
    }

    void setPoints(VCR& deck, const std::string& in, const std::string& out)
    {
        deck.panel().cuefield.setText(in);
        deck.panel().endfield.setText(out);
        deck.setdirectin();
        (&deck == player.get() ? request.playIn : request.recIn) = in;
        (&deck == player.get() ? request.playOut : request.recOut) = out;
    }

    EditOutcome edit() { return EditEngine(*player, *recorder, clock, progress).autoEdit(request); }

    int frames(const std::string& label) const { return *base.frameOf(label); }

    std::vector<Segment> segments() const
    {
        static const std::regex pattern(R"(segment channels=(\S+) rec=(\S{11})-(\S{11}) src=(\S{11})-(\S{11}))");
        std::vector<Segment> found;
        for (const std::string& line : decks.reportLines()) {
            std::smatch match;
            if (std::regex_search(line, match, pattern))
                found.push_back({match[1], frames(match[2]), frames(match[3]), frames(match[4]), frames(match[5])});
        }
        return found;
    }

    decksim::VirtualDecks decks;
    TimeBase base;
    std::unique_ptr<VCR> player;
    std::unique_ptr<VCR> recorder;
    TestClock clock;
    RecordingProgress progress;
    EditRequest request;
};

struct Profile {
    const char* name;
    decksim::Options options;
    int adjust;
    std::uint8_t mode;
    // Points: player in, recorder in, length in frames.
    const char* playIn;
    const char* recIn;
    int length;
};

decksim::Options options(std::function<void(decksim::Options&)> change)
{
    decksim::Options made;
    made.replyDelayMs = 0;
    change(made);
    return made;
}

const Profile profiles[] = {
    {"ideal insert", options([](auto&) {}), 0, insertAll, "00:00:10:05", "00:00:20:00", 47},
    {"ideal assemble", options([](auto&) {}), 0, assemble, "00:00:11:00", "00:00:30:17", 31},
    {"realistic insert", options([](auto& o) { o.replyDelayMs = 3; o.editDelayFrames = 5; }), -5, insertAll,
     "00:00:12:10", "00:00:25:00", 62},
    {"realistic assemble", options([](auto& o) { o.replyDelayMs = 3; o.editDelayFrames = 5; }), -5, assemble,
     "00:00:12:10", "00:00:40:21", 40},
    {"USB adapter", options([](auto& o) { o.adapterLatencyMs = 16; }), 0, insertAll, "00:00:09:29", "00:00:21:03", 55},
    {"uneven servo lock", options([](auto& o) { o.playerLockFrames = 4; o.recorderLockFrames = 1; }), 0, insertAll,
     "00:00:15:00", "00:00:22:11", 44},
    {"29.97 drop-frame across a dropped minute",
     options([](auto& o) { o.timeBase = decksim::TimeBase::fps2997DropFrame; }), 0, insertAll, "00:00:30:00",
     "00:00:59:20", 40},
    {"25 fps", options([](auto& o) { o.timeBase = decksim::TimeBase::fps25; }), 0, insertAll, "00:00:10:24",
     "00:00:20:12", 38},
};

class EditLandsExactly : public testing::TestWithParam<Profile> {};

}

TEST_P(EditLandsExactly, OnTheMarkedFramesWithTheSourceInStep)
{
    const Profile& profile = GetParam();
    EngineRig rig(profile.options, profile.mode);
    rig.request.adjust = profile.adjust;
    const int playIn = rig.frames(profile.playIn);
    const int recIn = rig.frames(profile.recIn);
    const int recOut = recIn + profile.length;
    rig.setPoints(*rig.player, profile.playIn, rig.base.labelOf(playIn + profile.length));
    rig.setPoints(*rig.recorder, profile.recIn, rig.base.labelOf(recOut));

    const EditOutcome outcome = rig.edit();

    ASSERT_EQ(outcome.kind, EditOutcome::Kind::Completed) << testing::PrintToString(rig.progress.statuses());
    EXPECT_TRUE(outcome.onTape);
    const auto segments = rig.segments();
    ASSERT_EQ(segments.size(), 1u);
    const Segment& made = segments.front();
    const int overrun = profile.mode == assemble ? 2 * rig.base.labelsPerSecond() : 0;
    EXPECT_EQ(made.recFirst, recIn) << "record in";
    EXPECT_EQ(made.recLast + 1, recOut + overrun) << "record out";
    EXPECT_EQ(made.srcFirst - made.recFirst, playIn - recIn) << "source against record";
    EXPECT_EQ(made.srcLast - made.recLast, playIn - recIn) << "source against record at the end";
}

INSTANTIATE_TEST_SUITE_P(Profiles, EditLandsExactly, testing::ValuesIn(profiles),
                         [](const testing::TestParamInfo<Profile>& info) {
                             std::string name = info.param.name;
                             for (char& c : name)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(EditEngine, ReportsTheStepsOfAnEditInOrder)
{
    EngineRig rig(options([](auto& o) { o.playerLockFrames = 3; }), insertAll);
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:11:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:21:00");
    ASSERT_EQ(rig.edit().kind, EditOutcome::Kind::Completed);
    const std::vector<EditStep> expected{EditStep::CuePlayer, EditStep::CueRecorder, EditStep::Preroll,
                                         EditStep::Roll,      EditStep::Synchronised, EditStep::EditOn,
                                         EditStep::EditOff,   EditStep::Stopped,     EditStep::CueRecorderOut};
    EXPECT_EQ(rig.progress.steps(), expected);
}

TEST(EditEngine, APlayerThatRefusesVariableSpeedOutOfStepRecordsNothing)
{
    EngineRig rig(options([](auto& o) {
                      o.noVarispeed = true;
                      o.playerLockFrames = 4;
                      o.recorderLockFrames = 1;
                  }),
                  insertAll);
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:12:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:22:00");

    const EditOutcome outcome = rig.edit();

    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Refused);
    EXPECT_FALSE(outcome.onTape);
    EXPECT_EQ(rig.progress.statuses(), std::vector<std::string>{"SYNC ERROR - NO EDIT"});
    EXPECT_TRUE(rig.segments().empty());
    EXPECT_FALSE(rig.progress.reached(EditStep::EditOn));
    EXPECT_TRUE(decktest::waitFor([&] { return rig.decks.statusBytes(Role::Recorder)[1] & 0x20; })) << "stopped";
    EXPECT_TRUE(decktest::waitFor([&] { return rig.decks.statusBytes(Role::Player)[1] & 0x20; })) << "stopped";
}

TEST(EditEngine, AnEditOfNoLengthSendsNothing)
{
    EngineRig rig(options([](auto&) {}), insertAll);
    rig.request = {"00:00:10:00", "00:00:10:00", "00:00:20:00", "00:00:20:00", insertAll, 1, 1, 0};
    rig.decks.clearTrace();

    const EditOutcome outcome = rig.edit();

    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Refused);
    EXPECT_EQ(rig.progress.statuses(), std::vector<std::string>{"OUTPOINT NOT VALID"});
    for (const auto& entry : rig.decks.trace()) {
        if (entry.received) {
            EXPECT_TRUE(entry.bytes == VCR::bsgettc || entry.bytes == VCR::bsgetstatus) << "only polling";
        }
    }
}

TEST(EditEngine, AnAbortWhileRecordingTakesTheRecorderOutOfRecordAtOnce)
{
    EngineRig rig(options([](auto&) {}), insertAll);
    rig.setPoints(*rig.player, "00:00:10:00", "00:00:40:00");
    rig.setPoints(*rig.recorder, "00:00:20:00", "00:00:50:00");
    std::thread stopper([&] {
        decktest::waitFor([&] { return rig.progress.reached(EditStep::EditOn); }, 60000);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        rig.clock.abort();
    });

    const EditOutcome outcome = rig.edit();
    stopper.join();
    const int stoppedAt = rig.decks.positionFrames(Role::Recorder);

    EXPECT_EQ(outcome.kind, EditOutcome::Kind::Aborted);
    EXPECT_FALSE(outcome.onTape);
    const auto segments = rig.segments();
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments.front().recFirst, rig.frames("00:00:20:00"));
    EXPECT_LE(segments.front().recLast, stoppedAt) << "nothing recorded after the abort";
    EXPECT_LT(segments.front().recLast, rig.frames("00:00:22:00"));
    EXPECT_TRUE(decktest::waitFor([&] { return (rig.decks.statusBytes(Role::Recorder)[1] & 0x02) == 0; }));
}
