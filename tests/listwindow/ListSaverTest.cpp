// The list saved on its own thread: the last list handed over always reaches the file, however
// many come in a row; a save that fails is said and tried again until it succeeds; a list handed
// over as the saver ends is still saved.

#include "eventlist/CmxWriter.h"
#include "listwindow/ListSaver.h"
#include "tests/deck/DeckTestSupport.h"
#include "tests/eventlist/ListTestSupport.h"

#include <gtest/gtest.h>

#include <mutex>

namespace {

// A list of count one-second cuts on the 30 base.
EventList listOf(int count)
{
    EventList list(fps30Base);
    for (int index = 0; index < count; ++index)
        list.insert(list.size(), Event::fromEdit(0x50, "TAPE1", {300 + 30 * index, 330 + 30 * index, 900 + 30 * index,
                                                                 930 + 30 * index},
                                                 FrameCountMode::NonDrop));
    return list;
}

class Results {
public:
    ListSaver::Reporter reporter()
    {
        return [this](const ListSaver::Result& result) {
            std::lock_guard lock(mutex_);
            results_.push_back(result);
        };
    }
    std::vector<ListSaver::Result> all() const
    {
        std::lock_guard lock(mutex_);
        return results_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<ListSaver::Result> results_;
};

}

TEST(ListSaver, ListsHandedOverInARowCoalesceAndTheLastReachesTheFile)
{
    TempDir dir;
    Results results;
    ListSaver saver(dir.file("kestrix.edl"), results.reporter());
    constexpr int lists = 300;
    for (int count = 1; count <= lists; ++count)
        saver.save(listOf(count));

    ASSERT_TRUE(saver.flush(std::chrono::seconds(20)));
    EXPECT_EQ(readFile(dir.file("kestrix.edl")), CmxWriter::write(listOf(lists)).text);
    EXPECT_LE(saver.savesDone(), static_cast<std::uint64_t>(lists));
    for (const auto& result : results.all())
        EXPECT_TRUE(result.saved) << result.failure;
    // A list handed over after a flush is the one the next flush waits for.
    saver.save(listOf(2));
    ASSERT_TRUE(saver.flush(std::chrono::seconds(20)));
    EXPECT_EQ(readFile(dir.file("kestrix.edl")), CmxWriter::write(listOf(2)).text);
}

TEST(ListSaver, AFailedSaveIsSaidAndTriedAgainUntilTheFileCanBeWritten)
{
    TempDir dir;
    const std::string folder = dir.file("not-yet");
    const std::string path = folder + "/kestrix.edl";
    Results results;
    ListSaver saver(path, results.reporter());
    saver.save(listOf(3));

    ASSERT_TRUE(decktest::waitFor([&] { return !results.all().empty(); }));
    const ListSaver::Result first = results.all().front();
    EXPECT_FALSE(first.saved);
    EXPECT_NE(first.failure.find(path), std::string::npos) << first.failure;
    EXPECT_FALSE(saver.flush(std::chrono::milliseconds(50))) << "nothing is in a file yet";

    std::filesystem::create_directory(folder);
    ASSERT_TRUE(saver.flush(ListSaver::retryDelay * 5));
    EXPECT_EQ(readFile(path), CmxWriter::write(listOf(3)).text);
    EXPECT_TRUE(results.all().back().saved);
}

TEST(ListSaver, AListHandedOverAsTheSaverEndsIsSaved)
{
    TempDir dir;
    Results results;
    {
        ListSaver saver(dir.file("kestrix.edl"), results.reporter());
        for (int count = 1; count <= 20; ++count)
            saver.save(listOf(count));
    }
    EXPECT_EQ(readFile(dir.file("kestrix.edl")), CmxWriter::write(listOf(20)).text);
}
