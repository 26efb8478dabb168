#include "render/ProgressPipe.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <unistd.h>

// A part's reports, through a real pipe, as the process that started it reads them: in pieces of
// any size, the last complete line counting.
TEST(ProgressPipe, ThePartsReportsReachTheParent)
{
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_TRUE(ProgressPipe::send(ends[1], 0, -1));
    ASSERT_TRUE(ProgressPipe::send(ends[1], 120, 600));
    ASSERT_TRUE(ProgressPipe::send(ends[1], 600, 600));
    close(ends[1]);
    std::string written;
    char buffer[64];
    for (ssize_t n; (n = read(ends[0], buffer, sizeof buffer)) > 0;)
        written.append(buffer, static_cast<std::size_t>(n));
    close(ends[0]);

    const struct
    {
        std::size_t upTo; // bytes handed over so far
        long frames;
        long total;
    } rows[] = {{0, 99, 99}, {4, 99, 99}, {5, 0, -1}, {12, 0, -1}, {13, 120, 600}, {20, 120, 600}, {21, 600, 600}};
    ASSERT_EQ(written, "0 -1\n120 600\n600 600\n");
    // One byte at a time, each complete line counting as it arrives.
    ProgressPipe bytes;
    long frames = 99;
    long total = 99;
    std::size_t taken = 0;
    for (const auto& row : rows)
    {
        for (; taken < row.upTo; ++taken)
            bytes.take(&written[taken], 1, frames, total);
        EXPECT_EQ(frames, row.frames) << "after " << row.upTo << " bytes";
        EXPECT_EQ(total, row.total) << "after " << row.upTo << " bytes";
    }
    ProgressPipe whole;
    long wholeFrames = 0;
    long wholeTotal = 0;
    whole.take(written.data(), written.size(), wholeFrames, wholeTotal);
    EXPECT_EQ(wholeFrames, 600);
    EXPECT_EQ(wholeTotal, 600);
}

// The part finds its end of the pipe in the environment the parent starts it with.
TEST(ProgressPipe, ThePartFindsItsEndInItsEnvironment)
{
    const std::string entry = ProgressPipe::environmentEntry();
    EXPECT_TRUE(ProgressPipe::isEntry(entry.c_str()));
    EXPECT_FALSE(ProgressPipe::isEntry("KESTRUNE_PARENT=12"));
    EXPECT_FALSE(ProgressPipe::isEntry(entry.substr(0, entry.find('=')).c_str()));
    EXPECT_FALSE(ProgressPipe::isEntry(("X" + entry).c_str()));

    const std::string name = entry.substr(0, entry.find('='));
    const char* before = std::getenv(name.c_str());
    const std::string saved = before ? before : "";
    unsetenv(name.c_str());
    EXPECT_EQ(ProgressPipe::inherited(), -1);
    setenv(name.c_str(), entry.substr(entry.find('=') + 1).c_str(), 1);
    EXPECT_EQ(ProgressPipe::inherited(), ProgressPipe::ChildFd);
    unsetenv(name.c_str());
    if (before)
        setenv(name.c_str(), saved.c_str(), 1);
}
