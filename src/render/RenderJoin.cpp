#include "render/RenderJoin.hpp"

#include "render/Ffmpeg.hpp"
#include "render/FrameFile.hpp"
#include "render/FrameWriter.hpp"
#include "render/RenderPart.hpp"
#include "render/SoundTrack.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <zlib.h>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

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

std::uint32_t getBe(const unsigned char* at)
{
    return (static_cast<std::uint32_t>(at[0]) << 24) | (at[1] << 16) | (at[2] << 8) | at[3];
}

// A PNG file as a reader finds it: the signature, then chunks whose checksums hold, the header
// first, up to the end chunk. A copy cut short or damaged fails; empty otherwise, or what is wrong.
std::string pngProblem(const fs::path& path, std::vector<unsigned char>& data)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "is missing";
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (data.size() < 8 || !std::equal(signature, signature + 8, data.begin()))
        return "is not a PNG file";
    std::size_t at = 8;
    bool first = true;
    for (;;)
    {
        if (data.size() - at < 12)
            return "is cut short (" + std::to_string(data.size()) + " bytes)";
        const std::uint32_t length = getBe(&data[at]);
        if (length > data.size() - at - 12)
            return "is cut short (" + std::to_string(data.size()) + " bytes)";
        const std::string type(reinterpret_cast<const char*>(&data[at + 4]), 4);
        if (first && type != "IHDR")
            return "does not start with a PNG header";
        first = false;
        const uLong sum = crc32(crc32(0L, Z_NULL, 0), &data[at + 4], length + 4);
        if (sum != getBe(&data[at + 8 + length]))
            return "is damaged (the checksum of its " + type + " chunk does not match)";
        at += 12 + length;
        if (type == "IEND")
            return "";
    }
}

// The sample frames a WAV file of the sound track holds, or -1 when its header or its length is wrong.
long long wavSamples(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char header[12];
    if (!in.read(reinterpret_cast<char*>(header), 12) || std::string(reinterpret_cast<char*>(header), 4) != "RIFF")
        return -1;
    for (;;)
    {
        unsigned char chunk[8];
        if (!in.read(reinterpret_cast<char*>(chunk), 8))
            return -1;
        const std::uint32_t size = getLe(chunk + 4);
        if (std::string(reinterpret_cast<char*>(chunk), 4) == "data")
        {
            std::error_code code;
            const auto bytes = fs::file_size(path, code);
            if (code || bytes < static_cast<std::uintmax_t>(in.tellg()) + size)
                return -1;
            return size / (SoundTrack::Channels * 2);
        }
        in.seekg(size, std::ios::cur);
    }
}

} // namespace

std::string RenderJoin::partProblem(const OutputFormat& format, const std::string& partFolder, const RenderPart& part)
{
    const fs::path folder(partFolder);
    if (!format.isVideo())
    {
        std::vector<unsigned char> data;
        for (long n = part.partFirst; n <= part.partLast; ++n)
        {
            const std::string problem = pngProblem(folder / FrameFile::name(n), data);
            if (!problem.empty())
                return FrameFile::name(n) + " " + problem;
        }
    }
    else if (part.frames > 0)
    {
        const std::string video = "video." + format.videoExtension();
        long frames = 0;
        double seconds = 0.0;
        std::string error;
        if (!fs::exists(folder / video))
            return video + " is missing";
        if (!Ffmpeg::probe((folder / video).string(), frames, seconds, error))
            return video + ": " + error;
        const double wanted = static_cast<double>(part.frames) / part.fps;
        if (frames != part.frames || std::abs(seconds - wanted) > 0.5 / part.fps)
        {
            char line[160];
            std::snprintf(line, sizeof line, " holds %ld frames lasting %.3f s, not the %ld frames (%.3f s) part.json lists",
                          frames, seconds, part.frames, wanted);
            return video + line;
        }
        const long long samples = wavSamples(folder / RenderPart::SoundName);
        if (samples != part.samples)
            return std::string(RenderPart::SoundName) +
                   (samples < 0 ? " is missing or cut short"
                                : " holds " + std::to_string(samples) + " samples, not the " +
                                      std::to_string(part.samples) + " part.json lists");
    }
    if (part.manifest)
    {
        std::ifstream in(folder / RenderPart::HashesName);
        long lines = 0;
        std::string line;
        while (std::getline(in, line))
            ++lines;
        if (lines != part.frames)
            return std::string(RenderPart::HashesName) + " holds " + std::to_string(lines) + " lines, not " +
                   std::to_string(part.frames);
    }
    return "";
}

namespace
{
// Links a file (no copy on one file system), or copies it.
bool linkOrCopy(const fs::path& from, const fs::path& to)
{
    std::error_code code;
    fs::create_hard_link(from, to, code);
    if (!code)
        return true;
    return fs::copy_file(from, to, fs::copy_options::overwrite_existing, code) && !code;
}

// The manifest of the join: the parts' lines, and, for a range, the earlier lines of other frames,
// ordered by frame.
bool writeManifest(const std::string& out, const std::vector<std::string>& folders, const std::vector<std::size_t>& order,
                   bool range, const std::string& beside)
{
    std::map<std::string, std::string> lines;
    auto take = [&lines](std::istream& in) {
        std::string line;
        while (std::getline(in, line))
            if (line.size() > 66)
                lines[line.substr(66)] = line;
    };
    if (range)
    {
        std::ifstream earlier(RenderPart::hashesBeside(out));
        take(earlier);
    }
    for (std::size_t i : order)
    {
        std::ifstream in(fs::path(folders[i]) / RenderPart::HashesName);
        take(in);
    }
    std::ofstream hashes(beside);
    for (const auto& entry : lines)
        hashes << entry.second << "\n";
    hashes.close();
    return !hashes.fail();
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
                          const std::vector<double>& durations, const std::string& sound, int fps,
                          const std::string& out, std::string& error)
{
    const std::string list = out + ".concat.part";
    if (format.kind() == OutputFormat::Kind::Gif)
    {
        // A GIF's delays are whole hundredths of a second, and players read one under 2 as 10: a
        // clip of more than 50 frames per second keeps every other frame (60: 30 per second, delays
        // of 3 and 4 hundredths that add up to the clip's length).
        int keep = 1;
        while (fps / keep > 50 || fps % keep != 0)
            ++keep;
        const std::string step = "framestep=" + std::to_string(keep);
        // One palette for the whole clip, then the clip through it.
        const std::string palette = out + ".palette.part";
        std::vector<std::string> first = Ffmpeg::command(inputsOf(videos, durations, list));
        first.insert(first.end(), {"-vf", step + ",palettegen=stats_mode=full", "-f", "image2", "-c:v", "png", palette});
        std::vector<std::string> second = Ffmpeg::command(inputsOf(videos, durations, list));
        second.insert(second.end(),
                      {"-i", palette, "-lavfi", "[0:v]" + step + "[v];[v][1:v]paletteuse", "-f", "gif", out});
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

    // Every part is checked whole before anything is written, so that a refused join can be retried.
    for (std::size_t i : order)
    {
        const std::string problem = partProblem(format, folders[i], parts[i]);
        if (!problem.empty())
        {
            std::cerr << "kestrune: --join: part " << parts[i].part << "/" << parts[i].parts << " in " << folders[i]
                      << ": " << problem << std::endl;
            return 2;
        }
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
    // The output is made beside OUT and renamed into place; the parts stay until then.
    const std::string beside = out + ".joining";
    const std::string hashesBeside = RenderPart::hashesBeside(out) + ".joining";
    auto fail = [&](const std::string& why) {
        std::error_code code;
        fs::remove_all(beside, code);
        fs::remove(hashesBeside, code);
        std::cerr << "kestrune: " << why << std::endl;
        return 1;
    };
    std::error_code code;
    fs::remove_all(beside, code);
    std::vector<std::string> frames;
    if (format.isVideo())
    {
        std::vector<std::string> videos;
        std::vector<double> durations;
        std::vector<std::string> tracks;
        for (std::size_t i : order)
        {
            if (parts[i].frames == 0)
                continue;
            durations.push_back(static_cast<double>(parts[i].frames) / parts[i].fps);
            videos.push_back((fs::path(folders[i]) / ("video." + format.videoExtension())).string());
            tracks.push_back((fs::path(folders[i]) / RenderPart::SoundName).string());
        }
        const std::string sound = out + ".wav.part";
        const bool withSound = music && format.holdsSound();
        bool made = false;
        if (!withSound && videos.size() == 1 && format.kind() != OutputFormat::Kind::Gif)
        {
            made = linkOrCopy(videos[0], beside);
            if (!made)
                error = "cannot write " + beside;
        }
        else
            made = (!withSound || joinSound(tracks, sound, error)) &&
                   assemble(format, videos, durations, withSound ? sound : std::string(), any.fps, beside, error);
        std::remove(sound.c_str());
        if (!made)
            return fail(error);
    }
    else
    {
        fs::create_directories(beside, code);
        for (std::size_t i : order)
            for (long n = parts[i].partFirst; n <= parts[i].partLast; ++n)
            {
                frames.push_back(FrameFile::name(n));
                if (!linkOrCopy(fs::path(folders[i]) / FrameFile::name(n), fs::path(beside) / FrameFile::name(n)))
                    return fail("--join: cannot write " + (fs::path(beside) / FrameFile::name(n)).string());
            }
    }
    if (any.manifest && !writeManifest(out, folders, order, any.range, hashesBeside))
        return fail("cannot write " + hashesBeside);

    // Everything is written: into place.
    if (format.isVideo())
    {
        fs::rename(beside, out, code);
        if (code)
            return fail("cannot write " + out + ": " + code.message());
    }
    else
    {
        fs::create_directories(out, code);
        // A range fills the folder beside other ranges; a whole render replaces the earlier frames.
        std::set<std::string> joined(frames.begin(), frames.end());
        std::vector<fs::path> earlier;
        if (!any.range)
            for (const auto& entry : fs::directory_iterator(out, code))
                if (FrameFile::isFrame(entry.path().filename().string()))
                    earlier.push_back(entry.path());
        for (const std::string& name : frames)
        {
            fs::rename(fs::path(beside) / name, fs::path(out) / name, code);
            if (code)
                return fail("--join: cannot move " + (fs::path(beside) / name).string() + " into " + out + ": " +
                            code.message() + "; the parts are kept, run the join again");
        }
        for (const fs::path& path : earlier)
            if (!joined.count(path.filename().string()))
                fs::remove(path, code);
        fs::remove_all(beside, code);
        if (!earlier.empty())
            std::cout << "kestrune: removed " << earlier.size() << " " << FrameFile::Pattern
                      << " files of an earlier render from " << out << std::endl;
    }
    if (any.manifest)
    {
        fs::rename(hashesBeside, RenderPart::hashesBeside(out), code);
        if (code)
            return fail("cannot write " + RenderPart::hashesBeside(out) + ": " + code.message());
    }
    for (const std::string& folder : folders)
        fs::remove_all(folder, code);
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
