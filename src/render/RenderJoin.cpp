#include "render/RenderJoin.hpp"

#include "render/Ffmpeg.hpp"
#include "render/FrameWriter.hpp"
#include "render/RenderPart.hpp"
#include "render/SoundTrack.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace fs = std::filesystem;

namespace
{
void putLe(std::ostream& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::uint32_t getLe(const unsigned char* at)
{
    return at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<std::uint32_t>(at[3]) << 24);
}

std::string frameName(long number)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame_%06ld.png", number);
    return name;
}

// Moves a file, or copies it when it lies on another file system.
bool moveFile(const fs::path& from, const fs::path& to)
{
    std::error_code code;
    fs::rename(from, to, code);
    if (!code)
        return true;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, code);
    return !code && fs::remove(from, code);
}

// ffmpeg's input options for videos joined in order: one file as it is, more through a concat list.
// Each part's exact length is given, so that the parts' own rounded container durations do not
// add up into the timestamps.
std::vector<std::string> inputsOf(const std::vector<std::string>& videos, const std::vector<double>& durations,
                                  const std::string& list)
{
    if (videos.size() == 1)
        return {"-i", videos[0]};
    std::ofstream out(list);
    for (std::size_t i = 0; i < videos.size(); ++i)
    {
        std::string quoted;
        for (char c : fs::absolute(videos[i]).string())
            quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        out << "file '" << quoted << "'\n";
        if (i < durations.size())
        {
            char line[64];
            std::snprintf(line, sizeof line, "duration %.6f\n", durations[i]);
            out << line;
        }
    }
    return {"-f", "concat", "-safe", "0", "-i", list};
}
} // namespace

bool RenderJoin::joinSound(const std::vector<std::string>& tracks, const std::string& out, std::string& error)
{
    std::ofstream wav(out, std::ios::binary | std::ios::trunc);
    wav.write(std::string(44, '\0').data(), 44);
    std::uint64_t bytes = 0;
    std::vector<char> buffer(1 << 16);
    for (const std::string& track : tracks)
    {
        std::ifstream in(track, std::ios::binary);
        unsigned char header[12];
        if (!in.read(reinterpret_cast<char*>(header), 12) || std::string(reinterpret_cast<char*>(header), 4) != "RIFF")
        {
            error = "cannot read the sound track " + track;
            return false;
        }
        // Chunks up to the samples.
        std::uint32_t size = 0;
        for (;;)
        {
            unsigned char chunk[8];
            if (!in.read(reinterpret_cast<char*>(chunk), 8))
            {
                error = "cannot read the sound track " + track;
                return false;
            }
            size = getLe(chunk + 4);
            if (std::string(reinterpret_cast<char*>(chunk), 4) == "data")
                break;
            in.seekg(size, std::ios::cur);
        }
        while (size > 0 && in)
        {
            in.read(buffer.data(), static_cast<std::streamsize>(std::min<std::size_t>(size, buffer.size())));
            wav.write(buffer.data(), in.gcount());
            bytes += static_cast<std::uint64_t>(in.gcount());
            size -= static_cast<std::uint32_t>(in.gcount());
        }
    }
    wav.seekp(0);
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(bytes);
    wav.write("RIFF", 4);
    putLe(wav, 36 + dataBytes, 4);
    wav.write("WAVEfmt ", 8);
    putLe(wav, 16, 4);
    putLe(wav, 1, 2);
    putLe(wav, SoundTrack::Channels, 2);
    putLe(wav, SoundTrack::Rate, 4);
    putLe(wav, SoundTrack::Rate * SoundTrack::Channels * 2, 4);
    putLe(wav, SoundTrack::Channels * 2, 2);
    putLe(wav, 16, 2);
    wav.write("data", 4);
    putLe(wav, dataBytes, 4);
    wav.close();
    if (wav.fail())
    {
        error = "cannot write the sound track " + out;
        return false;
    }
    return true;
}

bool RenderJoin::assemble(const OutputFormat& format, const std::vector<std::string>& videos,
                          const std::vector<double>& durations, const std::string& sound, const std::string& out,
                          std::string& error)
{
    const std::string list = out + ".concat.part";
    if (format.kind() == OutputFormat::Kind::Gif)
    {
        // One palette for the whole clip, then the clip through it.
        const std::string palette = out + ".palette.part";
        std::vector<std::string> first = Ffmpeg::command(inputsOf(videos, durations, list));
        first.insert(first.end(), {"-vf", "palettegen=stats_mode=full", "-f", "image2", "-c:v", "png", palette});
        std::vector<std::string> second = Ffmpeg::command(inputsOf(videos, durations, list));
        second.insert(second.end(), {"-i", palette, "-lavfi", "[0:v][1:v]paletteuse", "-f", "gif", out});
        const bool made = Ffmpeg::run(first) && Ffmpeg::run(second);
        std::remove(palette.c_str());
        std::remove(list.c_str());
        if (!made)
            error = "ffmpeg failed while making the GIF " + out;
        return made;
    }
    if (sound.empty() && videos.size() == 1)
    {
        std::error_code code;
        fs::rename(videos[0], out, code);
        if (code)
            error = "cannot write " + out + ": " + code.message();
        return !code;
    }
    std::vector<std::string> args = Ffmpeg::command(inputsOf(videos, durations, list));
    if (sound.empty())
        args.insert(args.end(), {"-map", "0:v", "-c", "copy"});
    else
    {
        // The video is copied as it is; only the sound is encoded.
        args.insert(args.end(), {"-i", sound, "-map", "0:v", "-map", "1:a", "-c:v", "copy"});
        const std::vector<std::string> audio = format.audioCodec();
        args.insert(args.end(), audio.begin(), audio.end());
    }
    args.insert(args.end(), {"-f", format.muxer(), out});
    const bool muxed = Ffmpeg::run(args);
    std::remove(list.c_str());
    if (!muxed)
        error = sound.empty() ? "ffmpeg failed while joining the parts into " + out
                              : "ffmpeg failed while adding the sound track to " + out;
    return muxed;
}

int RenderJoin::run(const std::string& out, const std::vector<std::string>& folders, bool summary)
{
    const OutputFormat format(out);
    std::vector<RenderPart> parts(folders.size());
    for (std::size_t i = 0; i < folders.size(); ++i)
    {
        std::string error;
        if (!parts[i].read((fs::path(folders[i]) / RenderPart::ManifestName).string(), error))
        {
            std::cerr << "kestrune: --join: " << folders[i] << " is not a render part (" << error << ")" << std::endl;
            return 2;
        }
    }
    for (std::size_t i = 1; i < parts.size(); ++i)
    {
        const std::string difference = parts[0].differenceFrom(parts[i]);
        if (!difference.empty())
        {
            std::cerr << "kestrune: --join: " << folders[0] << " and " << folders[i]
                      << " are not parts of one render: " << difference << std::endl;
            return 2;
        }
    }
    const RenderPart& any = parts[0];
    const std::string wanted = format.isVideo() ? format.name() : "frames";
    if (any.output != wanted)
    {
        std::cerr << "kestrune: --join " << out << ": the parts are " << (any.output == "frames" ? "PNG frames" : "a ." + any.output + " video")
                  << ", not " << (wanted == "frames" ? "PNG frames" : "a ." + wanted + " video") << std::endl;
        return 2;
    }
    // In part order, each once, each following on the one before.
    std::vector<std::size_t> order(parts.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return parts[a].part < parts[b].part; });
    for (int k = 1; k <= any.parts; ++k)
    {
        const long found = std::count_if(parts.begin(), parts.end(), [k](const RenderPart& p) { return p.part == k; });
        if (found != 1)
        {
            std::cerr << "kestrune: --join: part " << k << "/" << any.parts << (found == 0 ? " is missing" : " is given twice")
                      << std::endl;
            return 2;
        }
    }
    long next = any.first;
    for (std::size_t i : order)
    {
        const RenderPart& part = parts[i];
        if (part.partFirst != next || part.frames != part.partLast - part.partFirst + 1)
        {
            std::cerr << "kestrune: --join: part " << part.part << "/" << part.parts << " in " << folders[i]
                      << " does not hold frames " << next << " to its end" << std::endl;
            return 2;
        }
        next = part.partLast + 1;
    }
    if (next != any.last + 1)
    {
        std::cerr << "kestrune: --join: the parts end at frame " << next - 1 << ", not " << any.last << std::endl;
        return 2;
    }

    std::string error;
    bool music = false;
    bool muted = false;
    bool songFailed = false;
    for (const RenderPart& part : parts)
    {
        music = music || part.music;
        muted = muted || part.muted;
        songFailed = songFailed || part.songFailed;
    }
    if (format.isVideo())
    {
        std::vector<std::string> videos;
        std::vector<double> durations;
        std::vector<std::string> tracks;
        for (std::size_t i : order)
        {
            durations.push_back(static_cast<double>(parts[i].frames) / parts[i].fps);
            videos.push_back((fs::path(folders[i]) / ("video." + format.videoExtension())).string());
            tracks.push_back((fs::path(folders[i]) / RenderPart::SoundName).string());
        }
        const std::string sound = out + ".wav.part";
        const bool withSound = music && format.holdsSound();
        const bool made = (!withSound || joinSound(tracks, sound, error)) &&
                          assemble(format, videos, durations, withSound ? sound : std::string(), out, error);
        std::remove(sound.c_str());
        if (!made)
        {
            std::cerr << "kestrune: " << error << std::endl;
            return 1;
        }
    }
    else
    {
        FrameWriter folder(1, 1);
        if (!folder.prepareFolder(out, true, error))
        {
            std::cerr << "kestrune: " << error << std::endl;
            return 1;
        }
        if (folder.removedFrames > 0)
            std::cout << "kestrune: removed " << folder.removedFrames
                      << " frame_*.png files of an earlier render from " << out << std::endl;
        for (std::size_t i : order)
            for (long n = parts[i].partFirst; n <= parts[i].partLast; ++n)
                if (!moveFile(fs::path(folders[i]) / frameName(n), fs::path(out) / frameName(n)))
                {
                    std::cerr << "kestrune: --join: cannot move " << (fs::path(folders[i]) / frameName(n)).string()
                              << " into " << out << std::endl;
                    return 1;
                }
    }
    if (any.manifest)
    {
        std::ofstream hashes(RenderPart::hashesBeside(out));
        for (std::size_t i : order)
            hashes << std::ifstream(fs::path(folders[i]) / RenderPart::HashesName).rdbuf();
        hashes.close();
        if (hashes.fail())
        {
            std::cerr << "kestrune: cannot write " << RenderPart::hashesBeside(out) << std::endl;
            return 1;
        }
    }
    for (const std::string& folder : folders)
    {
        std::error_code code;
        fs::remove_all(folder, code);
    }
    if (summary)
        std::cout << "kestrune: joined " << parts.size() << " parts: frames " << any.first << " to " << any.last
                  << " to " << out << std::endl;
    if (format.isVideo() && !(music && format.holdsSound()))
        std::cout << "kestrune: " << out << " has no sound track: "
                  << (!format.holdsSound() ? "a GIF holds no sound"
                      : muted              ? "config.json turns the music off"
                      : songFailed         ? "its song could not be played"
                                           : "no song plays in the rendered frames")
                  << std::endl;
    return 0;
}
