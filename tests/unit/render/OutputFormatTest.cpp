#include "render/OutputFormat.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
std::string joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}
} // namespace

// One row per container: what ffmpeg is asked for, what the sound track is, and what the
// option parsing and the documents are told.
TEST(OutputFormat, EachContainerFromItsRow)
{
    const std::string yuv709 = " -colorspace bt709 -color_primaries bt709 -color_trc bt709 -color_range tv";
    const std::string setparams = ",setparams=colorspace=bt709:color_primaries=bt709:color_trc=bt709:range=tv";
    struct Row
    {
        std::string path;
        OutputFormat::Kind kind;
        std::string encode; // encodeVideo("", "o")
        std::string audio;
        std::string encoded; // videoExtension()
        bool sound;
    };
    const Row rows[] = {
        {"a.mp4", OutputFormat::Kind::Mp4,
         "-vf vflip,scale=out_color_matrix=bt709:out_range=tv,format=yuv420p" + setparams +
             " -c:v libx264 -preset veryfast -crf 18" + yuv709 + " -f mp4 o",
         "-c:a aac -b:a 192k", "mp4", true},
        {"a.WEBM", OutputFormat::Kind::Webm,
         "-vf vflip,scale=out_color_matrix=bt709:out_range=tv,format=yuv420p" + setparams +
             " -c:v libvpx -deadline realtime -cpu-used 8 -b:v 16M" + yuv709 + " -f webm o",
         "-c:a libopus -b:a 192k", "webm", true},
        {"a.mkv", OutputFormat::Kind::Mkv, "-vf vflip -pix_fmt bgr0 -c:v ffv1 -level 3 -g 1 -f matroska o",
         "-c:a flac", "mkv", true},
        {"a.mov", OutputFormat::Kind::Mov,
         "-vf vflip,scale=out_color_matrix=bt709:out_range=tv,format=yuv422p10le" + setparams +
             " -c:v prores_ks -profile:v 3 -movflags +write_colr" + yuv709 + " -f mov o",
         "-c:a pcm_s16le", "mov", true},
        {"a.gif", OutputFormat::Kind::Gif, "-vf vflip -pix_fmt bgr0 -c:v ffv1 -level 3 -g 1 -f matroska o",
         "-c:a aac -b:a 192k", "mkv", false},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.path);
        const OutputFormat format(row.path);
        EXPECT_EQ(format.kind(), row.kind);
        EXPECT_TRUE(format.isVideo());
        EXPECT_EQ(joined(format.encodeVideo("", "o")), row.encode);
        EXPECT_EQ(joined(format.audioCodec()), row.audio);
        EXPECT_EQ(format.videoExtension(), row.encoded);
        EXPECT_EQ(format.holdsSound(), row.sound);
    }
    EXPECT_EQ(OutputFormat("frames").kind(), OutputFormat::Kind::Frames);
    EXPECT_EQ(OutputFormat("a.png").kind(), OutputFormat::Kind::Unknown);
    EXPECT_EQ(OutputFormat::outputKinds(), "a folder (a name without an extension) or a .mp4, .webm, .mkv, .mov or .gif file");
}
