#pragma once

#include <string>

// How a rendered frame is named in its folder: frame_000001.png for the render's first frame. The
// writer, the joins, ffmpeg's frame encoder and the manifests all name frames here.
class FrameFile
{
public:
    // "frame_000042.png".
    static std::string name(long number);
    // The name without its extension, as a manifest line names the frame: "frame_000042".
    static std::string stem(long number);
    // True for a file name that name() could have made: the frames a render replaces.
    static bool isFrame(const std::string& fileName);
    // The names as ffmpeg's image2 muxer numbers them from printf's %d.
    static constexpr const char* FfmpegPattern = "frame_%06d.png";
    // The frames in a console line: "removed 12 frame_*.png files".
    static constexpr const char* Pattern = "frame_*.png";
};
