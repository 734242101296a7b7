#include "ui/PointFieldLock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Holder = PointFieldLock::Holder;

struct Step {
    Holder holder;
    bool holding;
};

}

// The fields open only when neither the cue nor the edit holds them, and what the fields were
// last told is what the lock says.
TEST(PointFieldLock, TheFieldsOpenOnlyWhenNobodyHoldsThem)
{
    struct Case {
        const char* name;
        std::vector<Step> steps;
        bool editable;
    };
    const Case cases[] = {
        {"a cue ends during an edit", {{Holder::Edit, true}, {Holder::Cue, true}, {Holder::Cue, false}}, false},
        {"an edit starts during a cue that then ends",
         {{Holder::Cue, true}, {Holder::Edit, true}, {Holder::Cue, false}},
         false},
        {"an edit ends during a cue", {{Holder::Cue, true}, {Holder::Edit, true}, {Holder::Edit, false}}, false},
        {"both end", {{Holder::Edit, true}, {Holder::Cue, true}, {Holder::Edit, false}, {Holder::Cue, false}}, true},
        // A superseded cue never gives up its hold; the cue that took over does, once.
        {"a newer cue takes over", {{Holder::Cue, true}, {Holder::Cue, true}, {Holder::Cue, false}}, true},
        {"a cue ends after a finished edit", {{Holder::Edit, true}, {Holder::Edit, false}, {Holder::Cue, false}}, true},
    };
    for (const Case& c : cases) {
        std::vector<bool> applied;
        PointFieldLock lock([&](bool editable) { applied.push_back(editable); });
        for (const Step& step : c.steps)
            step.holding ? lock.hold(step.holder) : lock.release(step.holder);
        EXPECT_EQ(lock.editable(), c.editable) << c.name;
        ASSERT_EQ(applied.size(), c.steps.size()) << c.name;
        EXPECT_EQ(applied.back(), c.editable) << c.name;
    }
}

// The cue thread ends its cue while the operator thread locks the fields for an edit. The cue
// thread has found the fields free to open and is about to open them: the edit's lock must wait
// for that and come after it, or the fields would be left open for the whole edit.
TEST(PointFieldLock, AnEditLockingWhileACueEndsLeavesTheFieldsLocked)
{
    std::mutex mutex;
    std::condition_variable changed;
    bool cueOpening = false;
    bool letCueOpen = false;
    std::vector<bool> applied;
    PointFieldLock lock([&](bool editable) {
        std::unique_lock hold(mutex);
        if (editable) {
            // The cue's opening, held up half-way until the test lets it go.
            cueOpening = true;
            changed.notify_all();
            changed.wait(hold, [&] { return letCueOpen; });
        }
        applied.push_back(editable);
    });
    lock.hold(Holder::Cue);

    std::thread cue([&] { lock.release(Holder::Cue); });
    {
        std::unique_lock hold(mutex);
        ASSERT_TRUE(changed.wait_for(hold, std::chrono::seconds(10), [&] { return cueOpening; }));
    }
    auto edit = std::async(std::launch::async, [&] { lock.hold(Holder::Edit); });
    EXPECT_EQ(edit.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout)
        << "the edit locked the fields while the cue was opening them";
    {
        std::lock_guard hold(mutex);
        letCueOpen = true;
    }
    changed.notify_all();
    cue.join();
    edit.get();

    EXPECT_FALSE(lock.editable());
    std::lock_guard hold(mutex);
    EXPECT_EQ(applied, (std::vector<bool>{false, true, false})) << "the fields were left open during the edit";
}
