#pragma once

#include <string>
#include <vector>

// What --render OUT makes, by OUT's extension: a folder of PNG frames, or a video container with
// its codecs. Every video is encoded and muxed by ffmpeg; this only names the options.
class OutputFormat
{
public:
    enum class Kind
    {
        Frames,
        Mp4,
        Webm,
        Mkv,
        Mov,
        Gif,
        Unknown
    };

    // By extension, in any case; Frames for a name without one.
    explicit OutputFormat(const std::string& path);

    Kind kind() const { return which; }
    bool isVideo() const { return which != Kind::Frames && which != Kind::Unknown; }
    // "mp4", "webm", "mkv", "mov", "gif"; empty for frames.
    const std::string& name() const { return extension; }
    // A GIF carries no sound.
    bool holdsSound() const { return which != Kind::Gif && which != Kind::Frames; }

    // ffmpeg's options after the raw frames' input: flipped (the GL hands rows bottom first),
    // scaled to `size` ("WxH"; empty: as drawn), encoded, and muxed into `path`. A GIF is first
    // encoded losslessly (FFV1 in Matroska), since its palette is made from the whole clip.
    std::vector<std::string> encodeVideo(const std::string& size, const std::string& path) const;
    // The same for PNG frames through ffmpeg (only when scaled), numbered from `first`.
    static std::vector<std::string> encodeFrames(const std::string& size, long first, const std::string& folder);
    // The file extension of the encoded video before any sound is added ("mkv" for a GIF).
    std::string videoExtension() const;
    // The codec options for the sound track in this container.
    std::vector<std::string> audioCodec() const;
    // ffmpeg's name of the container ("matroska" for .mkv).
    std::string muxer() const;

    // "mp4", "webm", "mkv", "mov" or "gif" for a path with that extension; empty otherwise.
    static std::string videoName(const std::string& path);

private:
    Kind which = Kind::Unknown;
    std::string extension;
};
