#include "render/OutputFormat.hpp"

#include "render/FrameFile.hpp"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace
{
std::string lowerExtension(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension.empty() ? extension : extension.substr(1);
}

// Flipped (the picture is read bottom row first), scaled to `size` when given, and for a YUV
// `pixels` format converted with the BT.709 matrix in limited range, which the video's tags say.
std::string filters(const std::string& size, const std::string& pixels = "")
{
    std::string chain = "vflip";
    std::string scale;
    if (!size.empty())
    {
        std::string dimensions = size;
        std::replace(dimensions.begin(), dimensions.end(), 'x', ':');
        scale = dimensions + ":flags=lanczos";
    }
    if (pixels.rfind("yuv", 0) == 0)
        scale += std::string(scale.empty() ? "" : ":") + "out_color_matrix=bt709:out_range=tv";
    if (!scale.empty())
        chain += ",scale=" + scale;
    if (!pixels.empty())
        chain += ",format=" + pixels;
    // On the frames too: some encoders (ProRes) take their tags only from there.
    if (pixels.rfind("yuv", 0) == 0)
        chain += ",setparams=colorspace=bt709:color_primaries=bt709:color_trc=bt709:range=tv";
    return chain;
}

// The tags of a picture converted by filters(): BT.709 HD video, limited range.
const std::vector<std::string> Bt709Tags = {"-colorspace", "bt709", "-color_primaries", "bt709",
                                            "-color_trc",  "bt709", "-color_range",     "tv"};
} // namespace

OutputFormat::OutputFormat(const std::string& path)
{
    extension = lowerExtension(path);
    if (extension.empty())
        which = Kind::Frames;
    else if (extension == "mp4")
        which = Kind::Mp4;
    else if (extension == "webm")
        which = Kind::Webm;
    else if (extension == "mkv")
        which = Kind::Mkv;
    else if (extension == "mov")
        which = Kind::Mov;
    else if (extension == "gif")
        which = Kind::Gif;
    else
        extension.clear();
}

std::string OutputFormat::videoName(const std::string& path)
{
    const OutputFormat format(path);
    return format.isVideo() ? format.name() : std::string();
}

std::vector<std::string> OutputFormat::encodeVideo(const std::string& size, const std::string& path) const
{
    std::vector<std::string> args;
    switch (which)
    {
    case Kind::Webm:
        args = {"-vf", filters(size, "yuv420p"), "-c:v", "libvpx", "-deadline", "realtime", "-cpu-used", "8",
                "-b:v", "16M"};
        args.insert(args.end(), Bt709Tags.begin(), Bt709Tags.end());
        break;
    case Kind::Mkv:
    case Kind::Gif:
        // Lossless RGB, every frame a key frame: it decodes to exactly the pixels drawn, and parts
        // join at any frame.
        args = {"-vf", filters(size), "-pix_fmt", "bgr0", "-c:v", "ffv1", "-level", "3", "-g", "1"};
        break;
    case Kind::Mov:
        // ProRes 422 HQ, what editing suites take in.
        // The mov muxer writes the colour tags only when asked.
        args = {"-vf", filters(size, "yuv422p10le"), "-c:v", "prores_ks", "-profile:v", "3", "-movflags", "+write_colr"};
        args.insert(args.end(), Bt709Tags.begin(), Bt709Tags.end());
        break;
    default:
        args = {"-vf", filters(size, "yuv420p"), "-c:v", "libx264", "-preset", "veryfast", "-crf", "18"};
        args.insert(args.end(), Bt709Tags.begin(), Bt709Tags.end());
        break;
    }
    args.insert(args.end(), {"-f", muxer(), path});
    return args;
}

std::vector<std::string> OutputFormat::encodeFrames(const std::string& size, long first, const std::string& folder)
{
    // RGB like the full-size frames: the picture has no transparency to keep.
    return {"-vf", filters(size, "rgb24"), "-c:v", "png", "-f", "image2", "-start_number", std::to_string(first),
            folder + "/" + FrameFile::FfmpegPattern};
}

std::string OutputFormat::videoExtension() const
{
    return which == Kind::Gif ? "mkv" : extension;
}

std::vector<std::string> OutputFormat::audioCodec() const
{
    switch (which)
    {
    case Kind::Webm:
        return {"-c:a", "libopus", "-b:a", "192k"};
    case Kind::Mkv:
        return {"-c:a", "flac"};
    case Kind::Mov:
        return {"-c:a", "pcm_s16le"};
    default:
        return {"-c:a", "aac", "-b:a", "192k"};
    }
}

std::string OutputFormat::muxer() const
{
    switch (which)
    {
    case Kind::Mkv:
    case Kind::Gif:
        return "matroska";
    default:
        return extension;
    }
}
