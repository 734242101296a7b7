// Editing the list as the window does: every change undone and redone in order, refused
// changes leave no trace, listeners follow, and a copy taken for saving stays as it was.

#include "eventlist/ListError.h"
#include "eventlist/ListModel.h"
#include "tests/eventlist/ListTestSupport.h"

#include <gtest/gtest.h>

namespace {

Event edit(const std::string& reel, int recordIn, int length)
{
    return Event::fromEdit(0x50, reel, {5000 + recordIn, 5000 + recordIn + length, recordIn, recordIn + length},
                           FrameCountMode::NonDrop);
}

// A model that has been through one change of each kind, with the list after each.
struct EditedModel {
    ListModel model{EventList(fps30Base)};
    std::vector<EventList> after;

    EditedModel()
    {
        after.push_back(model.list());
        const auto step = [this](const std::function<void()>& change) {
            change();
            after.push_back(model.list());
        };
        step([this] { model.insert(0, edit("A", 1000, 100)); });
        step([this] { model.insert(1, edit("B", 1100, 50)); });
        step([this] { model.insert(2, edit("C", 1150, 50)); });
        step([this] { model.trim(0, TrimPoint::RecordOut, 10, Ripple::On); });
        step([this] { model.remove(1); });
        step([this] { model.renumber(); });
        step([this] { model.setTitle("NIGHT NEWS"); });
        EventList other(fps30Base);
        other.append(model.list()[0]);
        step([&] { model.replace(other); });
    }
};

} // namespace

TEST(ListModel, EveryChangeIsUndoneAndRedoneInOrder)
{
    EditedModel edited;
    ListModel& model = edited.model;
    const auto& after = edited.after;
    for (std::size_t step = after.size() - 1; step > 0; --step) {
        ASSERT_TRUE(model.undo()) << "step " << step;
        EXPECT_TRUE(model.list() == after[step - 1]) << "undoing step " << step;
    }
    EXPECT_FALSE(model.canUndo());
    EXPECT_FALSE(model.undo());
    for (std::size_t step = 1; step < after.size(); ++step) {
        ASSERT_TRUE(model.redo()) << "step " << step;
        EXPECT_TRUE(model.list() == after[step]) << "redoing step " << step;
    }
    EXPECT_FALSE(model.redo());
}

TEST(ListModel, AChangeAfterUndoDropsWhatCouldBeRedone)
{
    EditedModel edited;
    ListModel& model = edited.model;
    model.undo();
    model.undo();
    ASSERT_TRUE(model.canRedo());
    model.trim(0, TrimPoint::SourceIn, 1, Ripple::Off);
    EXPECT_FALSE(model.canRedo());
    model.undo();
    EXPECT_TRUE(model.list() == edited.after[edited.after.size() - 3]);
}

TEST(ListModel, RefusedAndEmptyChangesLeaveNoTrace)
{
    ListModel model{EventList(fps30Base)};
    model.insert(0, edit("A", 1000, 100));
    int notified = 0;
    model.addListener([&](const EventList&) { ++notified; });
    const EventList before = model.list();

    EXPECT_THROW(model.trim(0, TrimPoint::RecordIn, 101, Ripple::Off), ListError);
    EXPECT_THROW(model.remove(5), ListError);
    EXPECT_THROW(model.setTitle("TWO\nLINES"), ListError);
    model.trim(0, TrimPoint::RecordIn, 0, Ripple::On);
    model.renumber();

    EXPECT_TRUE(model.list() == before);
    EXPECT_EQ(notified, 0);
    ASSERT_TRUE(model.undo());
    EXPECT_TRUE(model.list().empty()) << "the one step to undo is the insert";
}

TEST(ListModel, ListenersFollowEveryChangeUndoAndRedo)
{
    ListModel model{EventList(fps30Base)};
    std::vector<EventList> seen;
    model.addListener([&](const EventList& list) { seen.push_back(list); });
    int selfRemovingCalls = 0;
    int removedId = -1;
    int selfRemoving = -1;
    selfRemoving = model.addListener([&](const EventList&) {
        ++selfRemovingCalls;
        model.removeListener(selfRemoving);
        model.removeListener(removedId);
    });
    int removedCalls = 0;
    removedId = model.addListener([&](const EventList&) { ++removedCalls; });

    model.insert(0, edit("A", 1000, 100));
    model.trim(0, TrimPoint::RecordOut, -10, Ripple::Off);
    model.undo();
    model.redo();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[1][0].lines[0].recordOut, 1090);
    EXPECT_EQ(seen[2][0].lines[0].recordOut, 1100);
    EXPECT_TRUE(seen.back() == model.list());
    EXPECT_EQ(selfRemovingCalls, 1);
    EXPECT_EQ(removedCalls, 0) << "removed by the listener before it, in the same round";
}

TEST(ListModel, ACopyForSavingStaysAsItWasWhileTheListChanges)
{
    EditedModel edited;
    ListModel& model = edited.model;
    model.undo();
    const EventList snapshot = model.list();
    const std::string written = CmxWriter::write(snapshot).text;
    model.trim(0, TrimPoint::RecordOut, 5, Ripple::On);
    model.setTitle("LATER");
    model.remove(0);
    EXPECT_EQ(CmxWriter::write(snapshot).text, written);
}

TEST(ListModel, TheLastThousandChangesCanBeUndone)
{
    ListModel model{EventList(fps30Base)};
    model.insert(0, edit("A", 1000, 100));
    const EventList first = model.list();
    for (std::size_t change = 0; change < ListModel::undoLimit; ++change)
        model.trim(0, TrimPoint::SourceIn, change % 2 ? -1 : 1, Ripple::Off);
    std::size_t undone = 0;
    while (model.undo())
        ++undone;
    EXPECT_EQ(undone, ListModel::undoLimit);
    EXPECT_TRUE(model.list() == first) << "the oldest step kept is the first trim";
}
