// The list file: saved lists load back, a save that fails or is killed at any moment leaves the
// old list or the new one and never a torn file, and saving runs on a worker thread from a copy
// while the list goes on changing.

#include "eventlist/ListError.h"
#include "eventlist/ListFile.h"
#include "eventlist/ListModel.h"
#include "tests/eventlist/ListTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// A list of count one-second events, each with a clip name, on the 30 base.
EventList longList(int count, const std::string& reel)
{
    EventList list(fps30Base);
    list.setTitle("LONG LIST " + reel);
    for (int index = 0; index < count; ++index) {
        Event event = Event::fromEdit(0x53, reel, {200000 + 30 * index, 200030 + 30 * index, 108000 + 30 * index,
                                                   108030 + 30 * index},
                                      FrameCountMode::NonDrop);
        event.notes.push_back({Note::Kind::Comment, "* FROM CLIP NAME: CLIP " + std::to_string(index)});
        list.insert(list.size(), event);
    }
    return list;
}

bool hasTemporaryFile(const TempDir& dir)
{
    for (const std::string& name : dir.names()) {
        if (name.find(".tmp") != std::string::npos)
            return true;
    }
    return false;
}

void removeTemporaryFiles(const TempDir& dir)
{
    for (const std::string& name : dir.names()) {
        if (name.find(".tmp") != std::string::npos)
            std::filesystem::remove(dir.file(name));
    }
}

mode_t modeOf(const std::string& path)
{
    struct stat info {};
    stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

// Runs body in a child process and returns its wait status.
int inChild(const std::function<void()>& body)
{
    const pid_t child = fork();
    if (child == 0) {
        try {
            body();
        } catch (...) {
            _exit(3);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

} // namespace

TEST(ListFile, ASavedListLoadsBackAsItWas)
{
    TempDir dir;
    const std::string path = dir.file("kestrix.edl");
    const EventList list = CmxReader::read(dataFile("programme.edl"), dropFrameBase).list;
    EXPECT_TRUE(ListFile::save(path, list).empty());
    EXPECT_EQ(readFile(path), dataFile("programme.edl"));
    EXPECT_TRUE(ListFile::load(path, dropFrameBase).list == list);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"kestrix.edl"}) << "no temporary file is left";
    EXPECT_EQ(modeOf(path), 0644u);

    chmod(path.c_str(), 0600);
    ListFile::save(path, longList(3, "A"));
    EXPECT_EQ(modeOf(path), 0600u) << "a saved list keeps its permissions";
}

TEST(ListFile, AFailedSaveSaysWhyAndLeavesWhatWasThere)
{
    TempDir dir;
    const EventList list = longList(3, "A");
    try {
        ListFile::save(dir.file("missing/kestrix.edl"), list);
        ADD_FAILURE() << "saved into a folder that does not exist";
    } catch (const ListError& error) {
        EXPECT_NE(std::string(error.what()).find("missing/kestrix.edl"), std::string::npos) << error.what();
    }

    // The rename fails when a folder stands at the list's path: the temporary file goes again.
    std::filesystem::create_directory(dir.file("kestrix.edl"));
    EXPECT_THROW(ListFile::save(dir.file("kestrix.edl"), list), ListError);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"kestrix.edl"});
}

TEST(ListFile, ALoadThatFailsSaysWhyAndNamesTheFile)
{
    TempDir dir;
    EXPECT_THROW(ListFile::load(dir.file("absent.edl"), fps30Base), ListError);
    writeFile(dir.file("drop.edl"), "TITLE: T\nFCM: DROP FRAME\n");
    try {
        ListFile::load(dir.file("drop.edl"), fps30Base);
        ADD_FAILURE() << "a drop-frame list loaded on the 30 base";
    } catch (const ListError& error) {
        EXPECT_EQ(std::string(error.what()), dir.file("drop.edl") + ": line 2: the list counts DROP FRAME and the "
                                                                  "time base 30 does not; it needs the time base 29.97DF");
    }
}

TEST(ListFile, AWriterKilledInTheMiddleOfWritingLeavesTheOldList)
{
    TempDir dir;
    const std::string path = dir.file("kestrix.edl");
    const EventList old = longList(10, "OLD");
    ListFile::save(path, old);
    const std::string oldText = readFile(path);
    const std::string newText = CmxWriter::write(longList(999, "NEW")).text;

    // The file size limit stops the writer with SIGXFSZ when half the new list is written:
    // after the write began and before the rename.
    const int status = inChild([&] {
        const rlimit limit{newText.size() / 2, newText.size() / 2};
        setrlimit(RLIMIT_FSIZE, &limit);
        ListFile::save(path, longList(999, "NEW"));
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended with status " << status;
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    EXPECT_EQ(readFile(path), oldText);
    EXPECT_TRUE(ListFile::load(path, fps30Base).list == old);
    EXPECT_TRUE(hasTemporaryFile(dir)) << "the half-written new list stayed in its temporary file";
}

TEST(ListFile, AWriterKilledAtAnyMomentOfASaveLeavesTheOldListOrTheNew)
{
    TempDir dir;
    const std::string path = dir.file("kestrix.edl");
    const EventList first = longList(999, "FIRST");
    const EventList second = longList(999, "SECOND");
    const std::string firstText = CmxWriter::write(first).text;
    const std::string secondText = CmxWriter::write(second).text;
    ListFile::save(path, first);

    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        const pid_t child = fork();
        if (child == 0) {
            for (int save = 0;; ++save)
                ListFile::save(path, save % 2 ? first : second);
        }
        // Killed while a save has its temporary file: between creating it and the rename.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!hasTemporaryFile(dir) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        const std::string text = readFile(path);
        ASSERT_TRUE(text == firstText || text == secondText) << "a torn list of " << text.size() << " bytes";
        removeTemporaryFiles(dir);
    }
}

TEST(ListFile, SavedOnAWorkerThreadFromACopyWhileTheListChanges)
{
    TempDir dir;
    const std::string path = dir.file("kestrix.edl");
    ListModel model{longList(300, "A")};
    for (int round = 0; round < 20; ++round) {
        const EventList snapshot = model.list();
        auto saved = std::async(std::launch::async, [&path, snapshot] { ListFile::save(path, snapshot); });
        for (int trim = 0; trim < 5; ++trim)
            model.trim(static_cast<std::size_t>(round), TrimPoint::RecordOut, 1, Ripple::On);
        model.setTitle("ROUND " + std::to_string(round));
        saved.get();
        EXPECT_EQ(readFile(path), CmxWriter::write(snapshot).text);
    }
}
