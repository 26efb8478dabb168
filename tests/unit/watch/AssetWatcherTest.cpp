#include "watch/AssetWatcher.hpp"

#include "ConsoleCapture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
using Events = std::vector<std::pair<std::string, FileStatus>>;

class AssetWatcherTest : public testing::Test
{
protected:
    void SetUp() override { fs::create_directories(dir / "sub"); }
    void TearDown() override { fs::remove_all(dir); }

    std::string at(const std::string& relative) const { return (dir / relative).make_preferred().string(); }

    // Every write gets a time of its own, so that no change hides in the time granularity.
    void write(const std::string& relative)
    {
        std::ofstream(dir / relative) << "x";
        fs::last_write_time(dir / relative, stamp += std::chrono::seconds(1));
    }

    // The events of one poll in path order; `during` runs at the first one.
    Events poll(const std::function<void()>& during = [] {})
    {
        Events events;
        watcher->poll([&](const std::string& path, FileStatus status) {
            if (events.empty())
                during();
            events.emplace_back(path, status);
        });
        std::sort(events.begin(), events.end());
        return events;
    }

    const fs::path dir = fs::temp_directory_path() / ("kestrune-watch-" + std::to_string(getpid()));
    fs::file_time_type stamp = fs::file_time_type::clock::now();
    std::unique_ptr<AssetWatcher> watcher;
};
} // namespace

TEST_F(AssetWatcherTest, ReportsCreatedModifiedAndErasedOnce)
{
    write("demo.script");
    watcher = std::make_unique<AssetWatcher>(dir.string(), 5000);
    EXPECT_EQ(watcher->files.size(), 2u);
    EXPECT_EQ(poll(), Events{});

    write("new.txt");
    EXPECT_EQ(poll(), (Events{{at("new.txt"), FileStatus::created}}));
    // Deleted and written again between two polls, as some editors save: only modified.
    fs::remove(dir / "demo.script");
    write("demo.script");
    fs::remove(dir / "new.txt");
    EXPECT_EQ(poll(), (Events{{at("demo.script"), FileStatus::modified}, {at("new.txt"), FileStatus::erased}}));
    EXPECT_EQ(poll(), Events{});
}

TEST_F(AssetWatcherTest, FoldersAreEntriesAndARemovedFolderReportsEachEntry)
{
    watcher = std::make_unique<AssetWatcher>(dir.string(), 5000);
    fs::create_directories(dir / "sub" / "inner");
    write("sub/inner/a.txt");
    EXPECT_EQ(poll(), (Events{{at("sub"), FileStatus::modified},
                              {at("sub/inner"), FileStatus::created},
                              {at("sub/inner/a.txt"), FileStatus::created}}));
    fs::remove_all(dir / "sub");
    EXPECT_EQ(poll(), (Events{{at("sub"), FileStatus::erased},
                              {at("sub/inner"), FileStatus::erased},
                              {at("sub/inner/a.txt"), FileStatus::erased}}));
}

TEST_F(AssetWatcherTest, EntryVanishingMidWalkIsSkippedForThisPoll)
{
    watcher = std::make_unique<AssetWatcher>(dir.string(), 5000);
    for (int i = 0; i < 20; ++i)
        write("tmp" + std::to_string(i));
    // At the first report the folder has been listed; every other new file goes before its
    // time is read.
    const Events events = poll([&] {
        for (int i = 0; i < 20; ++i)
            if (watcher->files.count(at("tmp" + std::to_string(i))) == 0)
                fs::remove(dir / ("tmp" + std::to_string(i)));
    });
    EXPECT_EQ(events.size(), 1u);
    EXPECT_EQ(poll(), Events{});
}

TEST_F(AssetWatcherTest, LinksReplacedFoldersAndAMissingFolderNeitherHangNorThrow)
{
    write("sub/a.txt");
    fs::create_directory_symlink(dir, dir / "sub" / "up");
    fs::create_symlink(dir / "loop1", dir / "loop2");
    fs::create_symlink(dir / "loop2", dir / "loop1");
    const testsupport::Output output = testsupport::capture([&] {
        watcher = std::make_unique<AssetWatcher>(dir.string(), 5000);
        // The link to the folder is not entered; the looping links have no time to read.
        EXPECT_EQ(watcher->files.size(), 3u);
        fs::remove_all(dir / "sub");
        write("sub");
        EXPECT_EQ(poll(), (Events{{at("sub"), FileStatus::modified},
                                  {at("sub/a.txt"), FileStatus::erased},
                                  {at("sub/up"), FileStatus::erased}}));
        fs::remove_all(dir);
        EXPECT_EQ(poll(), (Events{{at("sub"), FileStatus::erased}}));
        EXPECT_EQ(poll(), Events{});
    });
    EXPECT_EQ(output.err, "AssetWatcher: Cannot walk " + dir.string() + ": No such file or directory\n");
}

TEST_F(AssetWatcherTest, FoldersNestedTooDeepAreRecordedButNotEntered)
{
    fs::path deep = dir;
    for (int level = 1; level <= 70; ++level)
        fs::create_directory(deep /= "d");
    const testsupport::Output output = testsupport::capture([&] {
        watcher = std::make_unique<AssetWatcher>(dir.string(), 5000);
        EXPECT_EQ(poll(), Events{});
    });
    // "sub" and the first 64 levels of the chain.
    EXPECT_EQ(watcher->files.size(), 65u);
    EXPECT_EQ(output.err, "AssetWatcher: Cannot walk " + dir.string() + ": folders nested too deep are not watched\n");
}
