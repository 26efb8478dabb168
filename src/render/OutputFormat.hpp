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
    bool holdsSound() const { return container() && container()->sound; }

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

    // One video container: everything that differs between them, in one row, so that the
    // encoder, the option parsing and the documents read the same list.
    struct Container
    {
        Kind kind;
        const char* extension;        // lower case, without the dot
        const char* note;             // what the documents add to the name ("lossless"); may be empty
        const char* pixels;           // the pixel format the filters convert to; empty: as drawn
        std::vector<std::string> codec; // ffmpeg's video codec options after the filters
        std::vector<std::string> audio; // ffmpeg's sound codec options
        const char* muxer;            // ffmpeg's name of the container
        const char* encoded;          // the extension of the video before any sound is added
        bool sound;                   // it carries a sound track
        bool evenSize;                // its codec needs an even width and height
    };
    static const std::vector<Container>& containers();
    // The row of this format; nullptr for frames or an unknown extension.
    const Container* container() const;
    // "a folder (a name without an extension) or a .mp4, .webm, .mkv, .mov or .gif file"
    static std::string outputKinds();

private:
    Kind which = Kind::Unknown;
    std::string extension;
};
