#include "render/RenderJoin.hpp"
#include "render/RenderPart.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace
{
RenderPart somePart()
{
    RenderPart part;
    part.demo = "abc";
    part.output = "mp4";
    part.fps = 30;
    part.size = "640x360";
    part.start = "intro";
    part.drawAll = true;
    part.manifest = true;
    part.first = 5;
    part.last = 95;
    part.endsWithDemo = true;
    part.parts = 3;
    part.part = 2;
    part.partFirst = 35;
    part.partLast = 64;
    part.frames = 30;
    part.music = true;
    part.songFailed = true;
    part.capped = true;
    part.range = true;
    part.samples = 36750;
    return part;
}

fs::path scratch(const std::string& name)
{
    const fs::path dir = fs::temp_directory_path() / ("kestrune-part-" + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir / name;
}
} // namespace

TEST(RenderPart, WrittenAndReadBackTheSame)
{
    const RenderPart written = somePart();
    const std::string path = scratch("part.json").string();
    ASSERT_TRUE(written.write(path));
    RenderPart read;
    std::string error;
    ASSERT_TRUE(read.read(path, error)) << error;
    EXPECT_EQ(read.differenceFrom(written), "");
    EXPECT_EQ(read.part, 2);
    EXPECT_EQ(read.partFirst, 35);
    EXPECT_EQ(read.partLast, 64);
    EXPECT_EQ(read.frames, 30);
    EXPECT_TRUE(read.music);
    EXPECT_FALSE(read.muted);
    EXPECT_TRUE(read.songFailed);
    EXPECT_TRUE(read.capped);
    EXPECT_TRUE(read.range);
    EXPECT_EQ(read.samples, 36750);
    // Written beside and renamed: nothing is left beside it.
    EXPECT_FALSE(fs::exists(path + ".part"));

    std::ofstream(path) << "{\"demo\": \"abc\"}";
    EXPECT_FALSE(read.read(path, error));
    EXPECT_EQ(error, path + " is not the manifest of a render part");
    fs::remove_all(fs::path(path).parent_path());
}

TEST(RenderPart, PartsOfOtherRendersAreTold)
{
    struct Row
    {
        std::function<void(RenderPart&)> change;
        std::string difference;
    };
    const Row rows[] = {
        // What only this part has does not matter.
        {[](RenderPart& p) { p.part = 3; p.partFirst = 65; p.partLast = 95; p.frames = 31; p.music = false; p.samples = 1; }, ""},
        {[](RenderPart& p) { p.demo = "abd"; }, "they were rendered from different demos"},
        {[](RenderPart& p) { p.output = "frames"; }, "one is mp4, another frames"},
        {[](RenderPart& p) { p.fps = 60; }, "their --fps differs"},
        {[](RenderPart& p) { p.size = ""; }, "their --size differs"},
        {[](RenderPart& p) { p.start = "3"; }, "their --start differs"},
        {[](RenderPart& p) { p.drawAll = false; }, "one was rendered with --draw-all, another without"},
        {[](RenderPart& p) { p.manifest = false; }, "one was rendered with --manifest, another without"},
        {[](RenderPart& p) { p.first = 1; }, "they select different frames (--frames, --seconds or --range)"},
        {[](RenderPart& p) { p.last = 96; }, "they select different frames (--frames, --seconds or --range)"},
        {[](RenderPart& p) { p.endsWithDemo = false; }, "they select different frames (--frames, --seconds or --range)"},
        {[](RenderPart& p) { p.range = false; }, "they select different frames (--frames, --seconds or --range)"},
        {[](RenderPart& p) { p.parts = 4; }, "one is a part of 3, another of 4"},
    };
    for (const Row& row : rows)
    {
        RenderPart other = somePart();
        row.change(other);
        SCOPED_TRACE(row.difference);
        EXPECT_EQ(somePart().differenceFrom(other), row.difference);
    }
}

TEST(RenderJoin, SoundTracksJoinSampleForSample)
{
    // Two tracks as the sound track writes them (44-byte header, 16-bit stereo), the second with
    // an extra chunk before its samples.
    auto track = [](const fs::path& path, const std::vector<std::int16_t>& samples, bool extraChunk) {
        std::ofstream out(path, std::ios::binary);
        auto le = [&](std::uint32_t v, int n) {
            for (int i = 0; i < n; ++i)
                out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
        };
        const std::uint32_t bytes = static_cast<std::uint32_t>(samples.size() * 2);
        out.write("RIFF", 4);
        le(36 + bytes + (extraChunk ? 12 : 0), 4);
        out.write("WAVEfmt ", 8);
        le(16, 4);
        le(1, 2);
        le(2, 2);
        le(44100, 4);
        le(44100 * 4, 4);
        le(4, 2);
        le(16, 2);
        if (extraChunk)
        {
            out.write("LIST", 4);
            le(4, 4);
            out.write("abcd", 4);
        }
        out.write("data", 4);
        le(bytes, 4);
        for (std::int16_t s : samples)
            le(static_cast<std::uint16_t>(s), 2);
    };
    const fs::path a = scratch("a.wav");
    const fs::path b = scratch("b.wav");
    const fs::path joined = scratch("joined.wav");
    track(a, {1, -1, 2, -2}, false);
    track(b, {3, -3}, true);
    std::string error;
    ASSERT_TRUE(RenderJoin::joinSound({a.string(), b.string()}, joined.string(), error)) << error;
    std::ifstream in(joined, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 44u + 12u);
    EXPECT_EQ(std::string(bytes.data() + 36, 4), "data");
    EXPECT_EQ(static_cast<unsigned char>(bytes[40]), 12u);
    const std::vector<char> samples(bytes.begin() + 44, bytes.end());
    const std::vector<char> expected = {1, 0, -1, -1, 2, 0, -2, -1, 3, 0, -3, -1};
    EXPECT_EQ(samples, expected);

    EXPECT_FALSE(RenderJoin::joinSound({scratch("none.wav").string()}, joined.string(), error));
    EXPECT_EQ(error, "cannot read the sound track " + scratch("none.wav").string());
    fs::remove_all(a.parent_path());
}
