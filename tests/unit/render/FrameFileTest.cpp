#include "render/FrameFile.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

TEST(FrameFile, FramesAreNumberedFromTheirNames)
{
    const struct
    {
        long number;
        const char* name;
        const char* stem;
    } rows[] = {{1, "frame_000001.png", "frame_000001"},
                {42, "frame_000042.png", "frame_000042"},
                {600, "frame_000600.png", "frame_000600"},
                {999999, "frame_999999.png", "frame_999999"}};
    for (const auto& row : rows)
    {
        EXPECT_EQ(FrameFile::name(row.number), row.name);
        EXPECT_EQ(FrameFile::stem(row.number), row.stem);
        EXPECT_TRUE(FrameFile::isFrame(row.name)) << row.name;
        // ffmpeg, which encodes the frames of a scaled render, must number them the same way.
        char fromFfmpeg[64];
        std::snprintf(fromFfmpeg, sizeof fromFfmpeg, FrameFile::FfmpegPattern, static_cast<int>(row.number));
        EXPECT_EQ(std::string(fromFfmpeg), row.name);
    }
}

// Only the frames of a render are replaced by the next one: other files in the folder stay.
TEST(FrameFile, OnlyFrameNamesAreFrames)
{
    const char* const others[] = {
        "frame_00001.png",  "frame_0000001.png", "frame_00000a.png", "frame_000001.PNG", "frame_000001.png.writing",
        "Frame_000001.png", "xframe_000001.png", "frame_000001",     "notes.txt",        ""};
    for (const char* name : others)
        EXPECT_FALSE(FrameFile::isFrame(name)) << name;
    // The console's word for them matches them too.
    const std::string pattern = FrameFile::Pattern;
    const std::string name = FrameFile::name(7);
    EXPECT_EQ(name.compare(0, pattern.find('*'), pattern, 0, pattern.find('*')), 0);
    EXPECT_EQ(name.substr(name.size() - 4), pattern.substr(pattern.find('*') + 1));
}
