#pragma once

// What the list assembly's tests share: lists written as CMX 3600, a performer that plays the
// decks' part as a script says, an abortable clock, and an operator who answers as told and
// keeps what the run reported.

#include "assembly/AssemblyDecks.h"
#include "assembly/AssemblyProgress.h"
#include "engine/EditClock.h"
#include "engine/EditProgress.h"
#include "eventlist/CmxReader.h"
#include "tests/TempDir.h"
#include "tests/assembly/ExpectedTape.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

namespace assemblytest {

// A list read from its events' lines, on the base (30 frames a second unless said).
inline EventList listOf(const std::string& events, TimeBase base = TimeBase())
{
    const std::string fcm = base.dropFrame() ? "DROP FRAME" : "NON-DROP FRAME";
    return CmxReader::read("TITLE: ASSEMBLY TEST\nFCM: " + fcm + "\n\n" + events, base).list;
}

// The list index of the event with that number.
inline std::size_t indexOf(const EventList& list, int number)
{
    for (std::size_t index = 0; index < list.size(); ++index) {
        if (list[index].number == number)
            return index;
    }
    throw std::invalid_argument("no event " + std::to_string(number));
}

// Waits that end at once, or report an abort once abort() was called.
class InstantClock : public EditClock {
public:
    bool waitUntil(Clock::time_point) override { return !aborted(); }
    bool aborted() const override { return aborted_; }
    void abort() { aborted_ = true; }
    void reset() { aborted_ = false; }

private:
    bool aborted_ = false;
};

// Performs events as a script says: by default each is recorded on its marked frames at
// once; an event may be given outcomes for its next tries, and an action run as it starts.
class ScriptedPerformer : public AssemblyDecks {
public:
    EventResult perform(const Event& event, TimeBase, EditProgress& progress) override
    {
        performed.push_back(event.number);
        progress.step(EditStep::CuePlayer);
        if (auto action = actions_.find(event.number); action != actions_.end())
            action->second();
        auto& queued = outcomes_[event.number];
        if (!queued.empty()) {
            EventResult outcome = queued.front();
            queued.erase(queued.begin());
            return outcome;
        }
        progress.step(EditStep::EditOn);
        EventResult outcome;
        outcome.kind = EventResult::Kind::Recorded;
        for (const EditLine& line : event.lines)
            outcome.recorded.push_back({line.recordIn, line.recordOut});
        return outcome;
    }
    bool stopDecks() override
    {
        ++stops;
        return decksStop;
    }

    // The event's next try ends so.
    void then(int number, EventResult::Kind kind, const std::string& text)
    {
        EventResult outcome;
        outcome.kind = kind;
        outcome.text = text;
        outcomes_[number].push_back(outcome);
    }
    void whenStarting(int number, std::function<void()> action) { actions_[number] = std::move(action); }

    std::vector<int> performed;
    int stops = 0;
    bool decksStop = true;

private:
    std::map<int, std::vector<EventResult>> outcomes_;
    std::map<int, std::function<void()>> actions_;
};

// An operator who answers each question as told (no, unless told otherwise) and keeps what
// the run reported. Any thread may call it.
class Operator : public AssemblyProgress {
public:
    void event(const EventReport& report) override
    {
        std::function<void(const EventReport&)> hook;
        {
            std::lock_guard lock(mutex_);
            reports_.push_back(report);
            latest_[report.number] = report;
            hook = hook_;
        }
        if (hook)
            hook(report);
    }
    void countdown(const RunCountdown& left) override
    {
        std::lock_guard lock(mutex_);
        countdowns_.push_back(left);
    }
    bool mountReel(const std::string& reel, const std::string& prompt) override
    {
        std::function<bool(const std::string&)> mount;
        {
            std::lock_guard lock(mutex_);
            prompts_.push_back(prompt);
            mount = mount_;
        }
        return mount && mount(reel);
    }
    bool confirm(const std::string& question) override
    {
        std::lock_guard lock(mutex_);
        questions_.push_back(question);
        return confirms_;
    }

    // Mounts the reel when asked; true when it is in.
    void mountsWith(std::function<bool(const std::string&)> mount)
    {
        std::lock_guard lock(mutex_);
        mount_ = std::move(mount);
    }
    // Runs on the run's thread as each report arrives, before the run goes on.
    void whenReported(std::function<void(const EventReport&)> hook)
    {
        std::lock_guard lock(mutex_);
        hook_ = std::move(hook);
    }
    void confirms(bool yes)
    {
        std::lock_guard lock(mutex_);
        confirms_ = yes;
    }

    std::vector<EventReport> reports() const
    {
        std::lock_guard lock(mutex_);
        return reports_;
    }
    // The last report of the event with that number.
    EventReport latest(int number) const
    {
        std::lock_guard lock(mutex_);
        const auto found = latest_.find(number);
        return found == latest_.end() ? EventReport{} : found->second;
    }
    bool reached(int number, EventState state) const
    {
        std::lock_guard lock(mutex_);
        return std::any_of(reports_.begin(), reports_.end(),
                           [&](const EventReport& r) { return r.number == number && r.state == state; });
    }
    std::vector<RunCountdown> countdowns() const
    {
        std::lock_guard lock(mutex_);
        return countdowns_;
    }
    std::vector<std::string> prompts() const
    {
        std::lock_guard lock(mutex_);
        return prompts_;
    }
    std::vector<std::string> questions() const
    {
        std::lock_guard lock(mutex_);
        return questions_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<EventReport> reports_;
    std::map<int, EventReport> latest_;
    std::vector<RunCountdown> countdowns_;
    std::vector<std::string> prompts_;
    std::vector<std::string> questions_;
    std::function<bool(const std::string&)> mount_;
    std::function<void(const EventReport&)> hook_;
    bool confirms_ = false;
};

// An event of one line on the list's base, in the list's own frame-count mode.
inline Event eventOf(const EventList& list, int number, const std::string& reel, const Channels& channels, int sourceIn,
                     int recordIn, int length)
{
    Event event;
    event.number = number;
    event.frameCount = list.frameCountMode();
    event.lines.push_back({reel, channels, {}, sourceIn, sourceIn + length, recordIn, recordIn + length});
    return event;
}

// The tape the list means: every event recorded in list order.
inline ExpectedTape tapeOf(const EventList& list)
{
    std::vector<std::size_t> all;
    for (std::size_t index = 0; index < list.size(); ++index)
        all.push_back(index);
    return ExpectedTape(list, all);
}

inline std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

inline Channels video()
{
    return Channels::fromInsertBits(0x10);
}
inline Channels bothAudios()
{
    return Channels::fromInsertBits(0x03);
}
inline Channels everything()
{
    return Channels::fromInsertBits(0x13);
}

}  // namespace assemblytest
