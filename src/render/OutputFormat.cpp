#include "render/OutputFormat.hpp"

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

std::string filters(const std::string& size)
{
    std::string chain = "vflip";
    if (!size.empty())
    {
        std::string scale = size;
        std::replace(scale.begin(), scale.end(), 'x', ':');
        chain += ",scale=" + scale + ":flags=lanczos";
    }
    return chain;
}
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
    std::vector<std::string> args = {"-vf", filters(size)};
    switch (which)
    {
    case Kind::Webm:
        args.insert(args.end(), {"-pix_fmt", "yuv420p", "-c:v", "libvpx", "-deadline", "realtime", "-cpu-used", "8",
                                 "-b:v", "16M"});
        break;
    case Kind::Mkv:
    case Kind::Gif:
        // Lossless RGB, every frame a key frame: it decodes to exactly the pixels drawn, and parts
        // join at any frame.
        args.insert(args.end(), {"-pix_fmt", "bgr0", "-c:v", "ffv1", "-level", "3", "-g", "1"});
        break;
    case Kind::Mov:
        // ProRes 422 HQ, what editing suites take in.
        args.insert(args.end(), {"-pix_fmt", "yuv422p10le", "-c:v", "prores_ks", "-profile:v", "3"});
        break;
    default:
        args.insert(args.end(), {"-pix_fmt", "yuv420p", "-c:v", "libx264", "-preset", "veryfast", "-crf", "18"});
        break;
    }
    args.insert(args.end(), {"-f", muxer(), path});
    return args;
}

std::vector<std::string> OutputFormat::encodeFrames(const std::string& size, long first, const std::string& folder)
{
    return {"-vf", filters(size), "-c:v", "png", "-f", "image2", "-start_number", std::to_string(first),
            folder + "/frame_%06d.png"};
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
