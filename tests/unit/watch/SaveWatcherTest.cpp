#include "watch/SaveWatcher.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;

namespace
{
class SaveWatcherFiles : public testing::Test
{
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("kestrune-saves-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        path = (dir / "demo.script").string();
        write("log a\n");
        watcher.watch({path});
    }
    void TearDown() override { fs::remove_all(dir); }

    void write(const std::string& text)
    {
        std::ofstream(path) << text;
        // Each write gets a time of its own, as a save a moment later would.
        fs::last_write_time(path, fs::file_time_type::clock::now() + std::chrono::seconds(++writes));
    }

    fs::path dir;
    std::string path;
    SaveWatcher watcher;
    int writes = 0;
};
} // namespace

TEST_F(SaveWatcherFiles, ASaveCountsOnceItHasBeenQuiet)
{
    EXPECT_TRUE(watcher.poll(0.0).empty()) << "what is there at the start is no save";
    write("log b\n");
    EXPECT_TRUE(watcher.poll(1.0).empty());
    write("log bc\n"); // still being written
    EXPECT_TRUE(watcher.poll(1.1).empty());
    EXPECT_TRUE(watcher.poll(1.25).empty()) << "quiet for only 0.15 s";
    EXPECT_EQ(watcher.poll(1.31), std::vector<std::string>{path});
    EXPECT_TRUE(watcher.poll(5.0).empty()) << "each save is reported once";
}

TEST_F(SaveWatcherFiles, DeleteThenCreateIsOneSaveAndAGoneFileIsMissing)
{
    std::remove(path.c_str());
    EXPECT_TRUE(watcher.poll(1.0).empty());
    EXPECT_TRUE(watcher.missing(1.1).empty()) << "an editor may be about to write it again";
    EXPECT_EQ(watcher.missing(1.3), std::vector<std::string>{path});
    write("log new\n");
    EXPECT_TRUE(watcher.poll(2.0).empty());
    EXPECT_EQ(watcher.poll(2.3), std::vector<std::string>{path});
    EXPECT_TRUE(watcher.missing(3.0).empty());

    // A file created where none was counts as a save too; one watched again keeps its state.
    const std::string later = (dir / "text.json").string();
    watcher.watch({path, later});
    std::ofstream(later) << "{}";
    watcher.poll(4.0);
    EXPECT_EQ(watcher.poll(4.5), std::vector<std::string>{later});
}

TEST_F(SaveWatcherFiles, AMissingFileThatIsCreatedIsASave)
{
    const std::string later = (dir / "ball2.png").string();
    watcher.watch({path, later});
    EXPECT_TRUE(watcher.poll(0.0).empty());
    EXPECT_TRUE(watcher.missing(1.0).empty()) << "never there is not gone";
    std::ofstream(later) << "png";
    EXPECT_TRUE(watcher.poll(1.0).empty());
    EXPECT_EQ(watcher.poll(1.3), std::vector<std::string>{later});
}
