#pragma once

// The edit engine headless on the virtual decks: a player and a recorder deck controller, a
// clock that keeps tape timing exact while shortening the sequence's set pauses, and the
// recorder's tape as the virtual decks report it. The engine tests and the accuracy
// benchmark share it.
//
// What an edit is checked against never goes through the controller's own time code
// arithmetic (deck/TimeBase): the virtual decks' report and the expected frames are read with
// the virtual decks' time code, so a fault in the controller's conversions cannot cancel out.

#include "deck/RecordGuard.h"
#include "deck/TimeBase.h"
#include "deck/VCR.h"
#include "engine/EditClock.h"
#include "engine/EditEngine.h"
#include "engine/EditProgress.h"
#include "tests/deck/DeckTestSupport.h"
#include "tests/deck/FakeDeckView.h"
#include "tools/decksim/TimeCode.h"
#include "tools/decksim/VirtualDecks.h"

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <regex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace enginetest {

constexpr std::uint8_t insertAll = 0x53;
constexpr std::uint8_t assemble = 0x20;

// Real time for the tape, a tenth of it for the sequence's set pauses; abort() stops the
// sequence as ALL STOP does. A timed write's wait can be made to wake late, as a thread on a
// loaded machine does.
class TestClock : public EditClock {
public:
    bool waitForWrite(Clock::time_point when, Write which) override
    {
        std::chrono::milliseconds late{0};
        {
            std::lock_guard lock(mutex_);
            late = which == Write::EditOn ? editOnLate_ : editOffLate_;
        }
        return waitUntil(when + late);
    }
    void wakeLate(Write which, std::chrono::milliseconds late)
    {
        std::lock_guard lock(mutex_);
        (which == Write::EditOn ? editOnLate_ : editOffLate_) = late;
    }
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
    std::chrono::milliseconds editOnLate_{0};
    std::chrono::milliseconds editOffLate_{0};
};

class RecordingProgress : public EditProgress {
public:
    void step(EditStep step) override
    {
        std::function<void()> then;
        {
            std::lock_guard lock(mutex_);
            steps_.push_back(step);
            if (step == hookedStep_)
                then = std::exchange(hook_, nullptr);
        }
        if (then)
            then();
    }
    // Runs once, on the edit's thread, the moment the edit reports the step.
    void whenReached(EditStep step, std::function<void()> then)
    {
        std::lock_guard lock(mutex_);
        hookedStep_ = step;
        hook_ = std::move(then);
    }
    void countdown(EditStep, const std::string&) override {}
    // An operator who answers each question as told.
    bool confirm(const std::string& question) override
    {
        std::lock_guard lock(mutex_);
        questions_.push_back(question);
        return agrees_;
    }
    void agree(bool agrees)
    {
        std::lock_guard lock(mutex_);
        agrees_ = agrees;
    }
    std::vector<std::string> questions() const
    {
        std::lock_guard lock(mutex_);
        return questions_;
    }
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
    std::vector<std::string> questions_;
    bool agrees_ = false;
    EditStep hookedStep_ = EditStep::Preview;
    std::function<void()> hook_;
};

struct Segment {
    std::string channels;
    int recFirst, recLast, srcFirst, srcLast;

    bool operator==(const Segment&) const = default;
};

inline TimeBase controllerBase(decksim::TimeBase base)
{
    if (base == decksim::TimeBase::fps2997)
        return TimeBase(TimeBase::Kind::Fps2997);
    if (base == decksim::TimeBase::fps2997DropFrame)
        return TimeBase(TimeBase::Kind::Fps2997DF);
    if (base == decksim::TimeBase::fps25)
        return TimeBase(TimeBase::Kind::Fps25);
    return TimeBase();
}

// Virtual decks with instant replies, changed as a profile needs.
inline decksim::Options options(const std::function<void(decksim::Options&)>& change)
{
    decksim::Options made;
    made.replyDelayMs = 0;
    change(made);
    return made;
}

// A player and a recorder deck controller on virtual decks, with a 1 s preroll.
class EngineRig {
public:
    EngineRig(const decksim::Options& options, std::uint8_t mode)
        : decks(options), tape(options.timeBase), base(controllerBase(options.timeBase))
    {
        player = std::make_unique<VCR>(decks.path(decksim::Role::Player), false, false);
        playerView = &FakeDeckView::attachTo(*player);
        recorder = std::make_unique<VCR>(decks.path(decksim::Role::Recorder), false, true);
        recorderView = &FakeDeckView::attachTo(*recorder);
        for (VCR* deck : {player.get(), recorder.get()}) {
            deck->setTimeBase(base);
            deck->makepreroll(1);
            deck->GetTC();
        }
        chooseMode(mode);
        request.playerPreroll = request.recorderPreroll = 1;
    }

    void setPreroll(int seconds)
    {
        for (VCR* deck : {player.get(), recorder.get()})
            deck->makepreroll(seconds);
        request.playerPreroll = request.recorderPreroll = seconds;
    }

    void chooseMode(std::uint8_t mode)
    {
        recorder->setemode(mode);
        request.mode = mode;
    }

    void setPoints(VCR& deck, const std::string& in, const std::string& out)
    {
        viewOf(deck).typePoint(DeckView::Point::In, in);
        viewOf(deck).typePoint(DeckView::Point::Out, out);
        deck.setdirectin();
        (&deck == player.get() ? request.playIn : request.recIn) = in;
        (&deck == player.get() ? request.playOut : request.recOut) = out;
    }

    FakeDeckView& viewOf(const VCR& deck) { return &deck == player.get() ? *playerView : *recorderView; }

    EditOutcome edit() { return EditEngine(*player, *recorder, clock, progress).autoEdit(request); }

    // What the virtual recorder's status says now: whether it records.
    bool recorderShowsRecord() const
    {
        constexpr std::uint8_t recordBit = 0x02;  // status byte 1
        return (decks.statusBytes(decksim::Role::Recorder)[1] & recordBit) != 0;
    }

    // A label of the decks' tape and its frame, as the virtual decks count them.
    int frames(const std::string& label) const
    {
        const auto frame = decksim::TimeCode::parse(label, tape);
        if (!frame)
            throw std::invalid_argument("not a label of the virtual tape: " + label);
        return *frame;
    }
    std::string label(int frame) const { return decksim::TimeCode::format(frame, tape); }

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
    // The virtual decks' time base, for every check; the controllers' configured base.
    decksim::TimeBase tape;
    TimeBase base;
    std::unique_ptr<VCR> player;
    std::unique_ptr<VCR> recorder;
    FakeDeckView* playerView = nullptr;
    FakeDeckView* recorderView = nullptr;
    TestClock clock;
    RecordingProgress progress;
    EditRequest request;
};

}  // namespace enginetest
