#include "app/AssetWatcher.hpp"

#include "ConsoleCapture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
using Event = std::pair<std::string, FileStatus>;

// A fresh folder to watch; every edit gets its own last-write time so that no change hides in
// the file system's time granularity.
class AssetWatcherTest : public testing::Test
{
protected:
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    // The path text the watcher reports for a path relative to the folder.
    std::string text(const std::string& relative) const
    {
        return (dir / fs::path(relative)).make_preferred().string();
    }

    void write(const std::string& relative, const char* content = "x")
    {
        std::ofstream(dir / relative) << content;
        stamp(relative);
    }

    void stamp(const std::string& relative)
    {
        stampTime += std::chrono::seconds(1);
        fs::last_write_time(dir / relative, stampTime);
    }

    std::vector<Event> poll(AssetWatcher& watcher)
    {
        std::vector<Event> events;
        watcher.poll([&events](const std::string& path, FileStatus status) { events.emplace_back(path, status); });
        return events;
    }

    const fs::path dir = fs::temp_directory_path() / ("kestrune-watch-" + std::to_string(getpid()));
    fs::file_time_type stampTime = fs::file_time_type::clock::now();
};
} // namespace

TEST_F(AssetWatcherTest, ConstructionRecordsEveryEntryAndReportsNothing)
{
    write("demo.script");
    fs::create_directories(dir / "textures" / "deep");
    write("textures/deep/red.png");

    AssetWatcher watcher(dir.string(), 5000);
    EXPECT_EQ(watcher.folder, dir.string());
    EXPECT_EQ(watcher.delay, 5000);
    EXPECT_EQ(watcher.files.size(), 4u);
    EXPECT_EQ(watcher.files.count(text("textures/deep/red.png")), 1u);
    EXPECT_EQ(watcher.files.at(text("demo.script")), fs::last_write_time(dir / "demo.script"));
    EXPECT_TRUE(poll(watcher).empty());
}

TEST_F(AssetWatcherTest, ReportsCreatedModifiedAndErasedOnce)
{
    write("demo.script");
    AssetWatcher watcher(dir.string(), 5000);

    write("new.txt");
    EXPECT_EQ(poll(watcher), (std::vector<Event>{{text("new.txt"), FileStatus::created}}));
    EXPECT_TRUE(poll(watcher).empty());

    stamp("demo.script");
    EXPECT_EQ(poll(watcher), (std::vector<Event>{{text("demo.script"), FileStatus::modified}}));
    EXPECT_TRUE(poll(watcher).empty());

    fs::remove(dir / "new.txt");
    EXPECT_EQ(poll(watcher), (std::vector<Event>{{text("new.txt"), FileStatus::erased}}));
    EXPECT_TRUE(poll(watcher).empty());
    EXPECT_EQ(watcher.files.count(text("new.txt")), 0u);

    // Deleted and written again between two polls: only the changed time shows.
    fs::remove(dir / "demo.script");
    write("demo.script");
    EXPECT_EQ(poll(watcher), (std::vector<Event>{{text("demo.script"), FileStatus::modified}}));
}

TEST_F(AssetWatcherTest, FoldersAreEntriesAndARemovedFolderReportsEachEntry)
{
    AssetWatcher watcher(dir.string(), 5000);

    fs::create_directories(dir / "sub" / "inner");
    EXPECT_EQ(poll(watcher), (std::vector<Event>{{text("sub"), FileStatus::created},
                                                 {text("sub/inner"), FileStatus::created}}));
    write("sub/inner/a.txt");
    const std::vector<Event> added = poll(watcher);
    // Adding a file also changes its folder's time.
    EXPECT_EQ(added.back(), Event(text("sub/inner/a.txt"), FileStatus::created));

    fs::remove_all(dir / "sub");
    std::vector<Event> removed = poll(watcher);
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(removed, (std::vector<Event>{{text("sub"), FileStatus::erased},
                                           {text("sub/inner"), FileStatus::erased},
                                           {text("sub/inner/a.txt"), FileStatus::erased}}));
    EXPECT_TRUE(watcher.files.empty());
}

TEST_F(AssetWatcherTest, EntryVanishingMidWalkIsSkippedForThisPoll)
{
    AssetWatcher watcher(dir.string(), 5000);
    for (int i = 0; i < 20; ++i)
        write("tmp" + std::to_string(i));

    // The first report deletes every other new file after the folder was listed: their times
    // can no longer be read, and they are neither reported nor recorded.
    std::vector<std::string> created;
    watcher.poll([&](const std::string& path, FileStatus status) {
        ASSERT_EQ(status, FileStatus::created);
        if (created.empty())
            for (int i = 0; i < 20; ++i)
                if (text("tmp" + std::to_string(i)) != path)
                    fs::remove(dir / ("tmp" + std::to_string(i)));
        created.push_back(path);
    });
    EXPECT_EQ(created.size(), 1u);
    EXPECT_EQ(watcher.files.size(), 1u);
    EXPECT_TRUE(poll(watcher).empty());
}

TEST_F(AssetWatcherTest, LinkLoopsAndReplacedFoldersNeitherHangNorThrow)
{
    fs::create_directories(dir / "sub");
    write("sub/a.txt");
    // A link to the watched folder itself and two links that point at each other.
    fs::create_directory_symlink(dir, dir / "sub" / "up");
    fs::create_symlink(dir / "loop1", dir / "loop2");
    fs::create_symlink(dir / "loop2", dir / "loop1");

    const testsupport::Output output = testsupport::capture([&] {
        AssetWatcher watcher(dir.string(), 5000);
        // The directory link is recorded once and not entered; the unreadable loop links are left out.
        EXPECT_EQ(watcher.files.size(), 3u);
        EXPECT_EQ(watcher.files.count(text("sub/up")), 1u);
        EXPECT_TRUE(poll(watcher).empty());

        fs::remove_all(dir / "sub");
        write("sub");
        std::vector<Event> events = poll(watcher);
        std::sort(events.begin(), events.end());
        EXPECT_EQ(events, (std::vector<Event>{{text("sub"), FileStatus::modified},
                                              {text("sub/a.txt"), FileStatus::erased},
                                              {text("sub/up"), FileStatus::erased}}));
    });
    EXPECT_EQ(output.err, "");
}

TEST_F(AssetWatcherTest, MissingFolderIsReportedOnce)
{
    const testsupport::Output output = testsupport::capture([&] {
        AssetWatcher watcher((dir / "absent").string(), 5000);
        EXPECT_TRUE(watcher.files.empty());
        EXPECT_TRUE(poll(watcher).empty());
        EXPECT_TRUE(poll(watcher).empty());
    });
    EXPECT_EQ(output.err, "AssetWatcher: Cannot walk " + (dir / "absent").string() + ": No such file or directory\n");
}
