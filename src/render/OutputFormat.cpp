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

const std::vector<OutputFormat::Container>& OutputFormat::containers()
{
    // Lossless RGB with every frame a key frame (.mkv, and a GIF before its palette is made from
    // the whole clip): it decodes to exactly the pixels drawn, and parts join at any frame.
    static const std::vector<std::string> lossless = {"-pix_fmt", "bgr0", "-c:v", "ffv1", "-level", "3", "-g", "1"};
    static const std::vector<Container> rows = {
        {Kind::Mp4, "mp4", "", "yuv420p", {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18"},
         {"-c:a", "aac", "-b:a", "192k"}, "mp4", "mp4", true, true},
        {Kind::Webm, "webm", "", "yuv420p",
         {"-c:v", "libvpx", "-deadline", "realtime", "-cpu-used", "8", "-b:v", "16M"},
         {"-c:a", "libopus", "-b:a", "192k"}, "webm", "webm", true, true},
        {Kind::Mkv, "mkv", "lossless", "", lossless, {"-c:a", "flac"}, "matroska", "mkv", true, false},
        // ProRes 422 HQ, what editing suites take in; the mov muxer writes the colour tags only
        // when asked.
        {Kind::Mov, "mov", "ProRes", "yuv422p10le", {"-c:v", "prores_ks", "-profile:v", "3", "-movflags", "+write_colr"},
         {"-c:a", "pcm_s16le"}, "mov", "mov", true, true},
        {Kind::Gif, "gif", "", "", lossless, {"-c:a", "aac", "-b:a", "192k"}, "matroska", "mkv", false, false},
    };
    return rows;
}

OutputFormat::OutputFormat(const std::string& path)
{
    extension = lowerExtension(path);
    if (extension.empty())
    {
        which = Kind::Frames;
        return;
    }
    for (const Container& row : containers())
        if (extension == row.extension)
        {
            which = row.kind;
            return;
        }
    extension.clear();
}

const OutputFormat::Container* OutputFormat::container() const
{
    for (const Container& row : containers())
        if (row.kind == which)
            return &row;
    return nullptr;
}

std::string OutputFormat::outputKinds()
{
    const std::vector<Container>& rows = containers();
    std::string text = "a folder (a name without an extension) or a ";
    for (std::size_t i = 0; i < rows.size(); ++i)
        text += std::string(i == 0 ? "" : i + 1 == rows.size() ? " or " : ", ") + "." + rows[i].extension;
    return text + " file";
}

std::string OutputFormat::videoName(const std::string& path)
{
    const OutputFormat format(path);
    return format.isVideo() ? format.name() : std::string();
}

std::vector<std::string> OutputFormat::encodeVideo(const std::string& size, const std::string& path) const
{
    const Container* row = container();
    if (!row)
        row = &containers().front();
    std::vector<std::string> args = {"-vf", filters(size, row->pixels)};
    args.insert(args.end(), row->codec.begin(), row->codec.end());
    // A YUV picture is converted as BT.709 by filters(), which the tags say.
    if (std::string(row->pixels).rfind("yuv", 0) == 0)
        args.insert(args.end(), Bt709Tags.begin(), Bt709Tags.end());
    args.insert(args.end(), {"-f", muxer(), path});
    return args;
}

std::vector<std::string> OutputFormat::encodeFrames(const std::string& size, long first, const std::string& folder)
{
    // RGB like the full-size frames: the picture has no transparency to keep.
    return {"-vf", filters(size, "rgb24"), "-c:v", "png", "-f", "image2", "-start_number", std::to_string(first),
            folder + "/frame_%06d.png"};
}

std::string OutputFormat::videoExtension() const
{
    const Container* row = container();
    return row ? row->encoded : extension;
}

std::vector<std::string> OutputFormat::audioCodec() const
{
    const Container* row = container();
    return row ? row->audio : containers().front().audio;
}

std::string OutputFormat::muxer() const
{
    const Container* row = container();
    return row ? row->muxer : extension;
}
