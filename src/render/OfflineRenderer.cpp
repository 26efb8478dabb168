#include "render/OfflineRenderer.hpp"

#include "catalogs/MusicManager.hpp"
#include "motion/StepRate.hpp"
#include "player/Player.hpp"
#include "player/StartPoint.hpp"
#include "profile/ProfileScope.hpp"
#include "render/Ffmpeg.hpp"
#include "render/FrameFile.hpp"
#include "render/FrameWriter.hpp"
#include "render/ProgressPipe.hpp"
#include "render/RenderJoin.hpp"
#include "render/RenderPart.hpp"
#include "render/SoundTrack.hpp"

#include <SFML/Audio/Listener.hpp>
#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/OpenGL.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <vector>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}
} // namespace

std::string OfflineRenderer::videoFormat(const std::string& path)
{
    return OutputFormat::videoName(path);
}

OfflineRenderer::OfflineRenderer(const RenderSettings& settings) : options(settings), format(settings.out)
{
    if (options.parts > 0)
    {
        partDir = RenderPart::folder(options.out, options.part, options.parts);
        videoPart = partDir + "/video." + format.videoExtension();
        trackPart = partDir + "/" + RenderPart::SoundName;
    }
    else
    {
        videoPart = options.out + ".video.part";
        trackPart = options.out + ".wav.part";
    }
    stride = StepRate::StepsPerSecond / options.fps;
    progress = isatty(STDERR_FILENO) != 0;
    // Set by --jobs for the processes it starts.
    progressFd = ProgressPipe::inherited();
    if (progressFd >= 0)
        progress = false;
    // A part of --jobs dies with the process that started it, leaving its part unfinished (no
    // part.json) for the command run again; one whose parent is already gone stops at once.
    if (const char* parent = std::getenv("KESTRUNE_PARENT"))
    {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != static_cast<pid_t>(std::atol(parent)))
            _exit(1);
    }
}

int OfflineRenderer::run(Player& player)
{
    // The music is rebuilt into the sound track; nothing should sound while rendering.
    sf::Listener::setGlobalVolume(0.f);
    SoundTrack track;
    const int status = renderWith(player, track);
    MusicManager::instance().listener = nullptr;
    player.observe(nullptr);
    if (format.isVideo() && partDir.empty())
    {
        std::remove(videoPart.c_str());
        std::remove(trackPart.c_str());
    }
    return status;
}

int OfflineRenderer::chooseFrames(Player& player)
{
    selectionFirst = options.rangeFirst > 0 ? options.rangeFirst : 1;
    if (options.rangeLast > 0)
        selectionLast = options.rangeLast;
    else
        selectionLast = options.framesAsked();
    firstFrame = selectionFirst;
    lastFrame = selectionLast;

    const auto seekStart = Clock::now();
    if (options.parts > 0 && selectionLast < 0)
    {
        // Equal parts of a render that runs until the demo ends: find where it ends, as the whole
        // render would (or the cap).
        const long capFrame = (CapSteps - 1) / stride + 1;
        if (player.seekTo(baseStep + CapSteps - 1))
        {
            selectionLast = capFrame;
            capped = true;
        }
        else
            selectionLast = std::max(0L, player.steps() - baseStep) / stride + 1;
        selectionEndsWithDemo = true;
        if (selectionFirst > selectionLast)
        {
            std::cerr << "kestrune: --range starts at frame " << selectionFirst << ", but the render ends at frame "
                      << selectionLast << std::endl;
            return 2;
        }
    }
    if (options.parts > 0)
    {
        const long count = selectionLast - selectionFirst + 1;
        firstFrame = selectionFirst + (options.part - 1) * count / options.parts;
        lastFrame = selectionFirst + options.part * count / options.parts - 1;
        // More parts than frames: this one is empty, and the join passes over it.
        if (firstFrame > lastFrame)
        {
            target = 0;
            return 0;
        }
        target = lastFrame - firstFrame + 1;
        // The last part of a render to the demo's end runs to the end as the whole render does,
        // with the steps after its last kept frame.
        if (selectionEndsWithDemo && options.part == options.parts)
            lastFrame = -1;
        else
            capped = false;
    }
    else
        target = lastFrame > 0 ? lastFrame - firstFrame + 1 : -1;

    // Where the first frame is: the start of the demo, --start, or a later frame reached by an
    // exact seek. The frame's sound is that of every step since the frame before.
    long firstFrameStep = options.start.empty() ? 0 : baseStep;
    stepFirst = options.start.empty();
    lastSteps = options.start.empty() ? 0 : 1;
    if (firstFrame > 1)
    {
        firstFrameStep = stepOf(firstFrame);
        stepFirst = false;
        lastSteps = static_cast<int>(stride);
    }
    if (player.steps() != firstFrameStep && !player.seekTo(firstFrameStep) &&
        (player.closed() || player.steps() > firstFrameStep))
    {
        std::cerr << "kestrune: the demo ends after " << player.steps() << " steps ("
                  << static_cast<double>(player.steps()) / StepRate::StepsPerSecond << " s), before frame "
                  << firstFrame << " of the render" << std::endl;
        return 2;
    }
    // Past the demo's end one process goes on stepping and drawing every step (what is still
    // moving keeps moving); so does a range or part that starts there.
    while (player.steps() < firstFrameStep)
    {
        player.step();
        player.renderOwed();
    }
    seekSeconds = secondsSince(seekStart);
    return 0;
}

int OfflineRenderer::renderWith(Player& player, SoundTrack& track)
{
    std::string error;
    if (!partDir.empty())
    {
        std::error_code code;
        std::filesystem::create_directories(partDir, code);
        std::filesystem::remove(partDir + "/" + RenderPart::ManifestName, code);
    }
    if (format.isVideo())
    {
        if (!track.open(trackPart, error))
        {
            std::cerr << "kestrune: " << error << std::endl;
            return 1;
        }
        MusicManager::instance().listener = &track;
        player.observe(&track);
    }

    player.loadConfig();
    if (!player.load())
        return -1;
    if (!options.start.empty() && !player.seekTo(StartPoint(options.start)))
        return 2;
    baseStep = options.start.empty() ? 1 : player.steps();
    if (const int status = chooseFrames(player))
        return status;
    if (target == 0)
    {
        // An empty part: its manifest says so, and nothing else is written.
        MusicManager::instance().listener = nullptr;
        const bool written = (!format.isVideo() || track.close()) &&
                             (!options.manifest || writeHashes(FrameWriter(1, 1), partDir + "/" + RenderPart::HashesName)) &&
                             writePartManifest(track, RenderPart::demoHash());
        return written ? 0 : 1;
    }
    track.startRecording(lastSteps);

    FrameWriter writer(Player::Width, Player::Height);
    writer.numberFrom(firstFrame);
    if (options.manifest)
        writer.keepHashes(target > 0 ? target : (CapSteps - 1) / stride + 1);
    const std::string frameFolder = partDir.empty() ? options.out : partDir;
    bool opened = false;
    if (format.isVideo())
        opened = writer.openVideo(format.encodeVideo(options.size, videoPart), options.fps, error);
    else
    {
        // A range leaves the frames of other ranges in the folder, so that ranges can fill it.
        const bool whole = options.rangeFirst < 0 || !partDir.empty();
        opened = writer.prepareFolder(frameFolder, whole, error) &&
                 (options.size.empty()
                      ? writer.openFolder(frameFolder, error)
                      : writer.openVideo(OutputFormat::encodeFrames(options.size, firstFrame, frameFolder), options.fps,
                                         error));
    }
    if (!opened)
    {
        std::cerr << "kestrune: " << error << std::endl;
        return 1;
    }
    if (writer.removedFrames > 0)
        std::cout << "kestrune: removed " << writer.removedFrames << " " << FrameFile::Pattern
                  << " files of an earlier render from " << frameFolder << std::endl;
    // Steps and demo time count from the start of the demo, also after --start.
    firstStep = player.steps();
    stepsRun = firstStep;

    const auto start = Clock::now();
    bool ok = renderFrames(player, writer);
    const auto finishStart = Clock::now();
    ok = writer.finish() && ok;
    MusicManager::instance().listener = nullptr;
    if (ok && format.isVideo() && partDir.empty())
        ok = finishVideo(track);
    if (ok && format.isVideo() && !partDir.empty() && !track.close())
    {
        std::cerr << "kestrune: cannot write the sound track " << trackPart << std::endl;
        ok = false;
    }
    if (ok && options.manifest)
        ok = writeHashes(writer, partDir.empty() ? RenderPart::hashesBeside(options.out)
                                                 : partDir + "/" + RenderPart::HashesName);
    if (ok && !partDir.empty())
        ok = writePartManifest(track, RenderPart::demoHash());
    finishSeconds = secondsSince(finishStart);
    if (!ok)
        return 1;

    if (capped)
        std::cerr << "kestrune: the demo was still running after " << CapSteps / (60 * StepRate::StepsPerSecond)
                  << " minutes of demo time; the render stops there (use --frames or --seconds for more)" << std::endl;
    if (progressFd >= 0)
        return 0;
    printSummary(writer, secondsSince(start));
    if (format.isVideo() && partDir.empty())
        printWhyNoSound(track);
    return 0;
}

bool OfflineRenderer::renderFrames(Player& player, FrameWriter& writer)
{
    sf::RenderTexture screen;
    if (!screen.create(Player::Width, Player::Height, sf::ContextSettings()))
    {
        std::cerr << "kestrune: cannot create the off-screen picture of " << Player::Width << " x " << Player::Height
                  << " pixels" << std::endl;
        return false;
    }

    const auto start = Clock::now();
    auto lastProgress = start;
    // After a fast-forward the frame of its last step comes first, before any further step.
    // Iterations are counted as in the whole render: one per step drawn, from its first frame.
    for (long iteration = (firstFrame - 1) * stride + 1;; ++iteration)
    {
        const auto frameStart = Clock::now();
        Profiler* profiler = Profiler::active;
        if (profiler)
            profiler->beginFrame();
        const bool stepped = stepFirst;
        if (stepped)
        {
            player.step();
            ++stepsRun;
        }
        stepFirst = true;
        const auto drawStart = Clock::now();
        updateSeconds += std::chrono::duration<double>(drawStart - frameStart).count();

        // Every step is drawn, as playing draws it: the script's render section may change what
        // later frames show. Only the frames the output keeps are read back.
        player.renderOwed();
        player.present(screen);
        screen.display();
        const bool kept = (iteration - 1) % stride == 0;
        if (kept)
        {
            screen.setActive(true);
            {
                ProfileScope wait("finish", Profiler::Display);
                glFinish();
            }
            drawSeconds += secondsSince(drawStart);
            std::uint8_t* pixels = nullptr;
            {
                // The encoders work on their own threads: what the frame pays is the wait for a
                // free buffer.
                ProfileScope wait("wait for the encoders", Profiler::Output);
                pixels = writer.acquire();
            }
            const auto readStart = Clock::now();
            {
                ProfileScope readBack("read-back", Profiler::Output);
                glReadPixels(0, 0, Player::Width, Player::Height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
            }
            {
                ProfileScope encode("hand to the encoders", Profiler::Output);
                writer.submit(pixels);
            }
            readbackSeconds += secondsSince(readStart);
            ++framesWritten;
        }
        else
            drawSeconds += secondsSince(drawStart);
        if (profiler)
            profiler->endFrame();
        stats.addFrame(secondsSince(frameStart), stepped);

        if ((progress || progressFd >= 0) && (secondsSince(lastProgress) >= 0.25))
        {
            lastProgress = Clock::now();
            reportProgress(framesWritten, stepsRun, secondsSince(start), false);
        }
        if (writer.hasFailed())
            break;
        if (lastFrame > 0 && kept && (iteration - 1) / stride + 1 >= lastFrame)
            break;
        if (lastFrame < 0 && !player.running())
            break;
        if (lastFrame < 0 && iteration >= CapSteps)
        {
            capped = true;
            break;
        }
    }
    if (progress || progressFd >= 0)
        reportProgress(framesWritten, stepsRun, secondsSince(start), true);
    return true;
}

bool OfflineRenderer::finishVideo(SoundTrack& track)
{
    if (!track.close())
    {
        std::cerr << "kestrune: cannot write the sound track " << trackPart << std::endl;
        return false;
    }
    std::string error;
    const bool sound = track.hasMusic() && format.holdsSound();
    // Beside the output, then renamed: a failed render leaves an earlier video as it was.
    const std::string beside = options.out + ".writing";
    std::error_code code;
    if (!RenderJoin::assemble(format, {videoPart}, {}, sound ? trackPart : std::string(), options.fps, beside, error))
    {
        std::filesystem::remove(beside, code);
        std::cerr << "kestrune: " << error << std::endl;
        return false;
    }
    std::filesystem::rename(beside, options.out, code);
    if (code)
    {
        std::filesystem::remove(beside, code);
        std::cerr << "kestrune: cannot write " << options.out << std::endl;
        return false;
    }
    return true;
}

bool OfflineRenderer::writeHashes(const FrameWriter& writer, const std::string& path) const
{
    // A range fills the manifest beside other ranges' lines, by frame; anything else replaces it.
    std::map<std::string, std::string> lines;
    if (options.rangeFirst > 0 && partDir.empty())
    {
        std::ifstream earlier(path);
        std::string line;
        while (std::getline(earlier, line))
            if (line.size() > 66)
                lines[line.substr(66)] = line;
    }
    for (long i = 0; i < writer.hashCount(); ++i)
    {
        const std::string name = FrameFile::stem(firstFrame + i);
        lines[name] = std::string(writer.hash(i)) + "  " + name;
    }
    const std::string beside = path + ".writing";
    std::ofstream out(beside);
    for (const auto& entry : lines)
        out << entry.second << "\n";
    out.close();
    std::error_code code;
    if (!out.fail())
        std::filesystem::rename(beside, path, code);
    if (out.fail() || code)
    {
        std::filesystem::remove(beside, code);
        std::cerr << "kestrune: cannot write " << path << std::endl;
        return false;
    }
    return true;
}

bool OfflineRenderer::writePartManifest(const SoundTrack& track, const std::string& demoHash) const
{
    RenderPart part;
    part.demo = demoHash;
    part.output = format.isVideo() ? format.name() : "frames";
    part.fps = options.fps;
    part.size = options.size;
    part.start = options.start;
    part.drawAll = options.drawAll;
    part.manifest = options.manifest;
    part.first = selectionFirst;
    part.last = selectionLast;
    part.endsWithDemo = selectionEndsWithDemo;
    part.parts = options.parts;
    part.part = options.part;
    part.partFirst = firstFrame;
    part.partLast = firstFrame + framesWritten - 1;
    part.frames = framesWritten;
    part.music = track.hasMusic();
    part.muted = MusicManager::instance().muted;
    part.songFailed = track.refusedSong();
    part.capped = capped;
    part.range = options.rangeFirst > 0;
    part.samples = format.isVideo() ? static_cast<long long>(track.samples()) : -1;
    const std::string path = partDir + "/" + RenderPart::ManifestName;
    if (!part.write(path))
    {
        std::cerr << "kestrune: cannot write " << path << std::endl;
        return false;
    }
    if (progressFd < 0)
        std::cerr << "kestrune: part " << options.part << "/" << options.parts << ": frames " << firstFrame << " to "
                  << part.partLast << " of " << selectionFirst << " to " << selectionLast << ", in " << partDir
                  << "; reached its first frame in " << seekSeconds << " s" << std::endl;
    return true;
}

void OfflineRenderer::printWhyNoSound(const SoundTrack& track) const
{
    std::string why;
    if (!format.holdsSound())
        why = "a GIF holds no sound";
    else if (track.hasMusic())
        return;
    else if (MusicManager::instance().muted)
        why = "config.json turns the music off";
    else if (track.refusedSong())
        why = "its song could not be played";
    else
        why = "no song plays in the rendered frames";
    std::cout << "kestrune: " << options.out << " has no sound track: " << why << std::endl;
}

void OfflineRenderer::reportProgress(long frames, long steps, double elapsed, bool last) const
{
    if (progressFd < 0)
    {
        showProgress(frames, steps, elapsed, last);
        return;
    }
    ProgressPipe::send(progressFd, frames, target);
}

void OfflineRenderer::showProgress(long frames, long steps, double elapsed, bool last) const
{
    const double fps = elapsed > 0.0 ? frames / elapsed : 0.0;
    char line[160];
    int used = std::snprintf(line, sizeof line, "\rframe %ld", frames);
    if (target > 0)
        used += std::snprintf(line + used, sizeof line - used, "/%ld", target);
    used += std::snprintf(line + used, sizeof line - used, "  demo %s.%02ld  %.1f fps",
                          StepRate::clockText(static_cast<double>(steps) / StepRate::StepsPerSecond).c_str(),
                          (steps % StepRate::StepsPerSecond) * 100 / StepRate::StepsPerSecond, fps);
    if (target > 0 && fps > 0.0)
        used += std::snprintf(line + used, sizeof line - used, "  ETA %s",
                              StepRate::clockText(static_cast<double>(target - frames) / fps).c_str());
    std::snprintf(line + used, sizeof line - used, "    %s", last ? "\n" : "");
    std::fputs(line, stderr);
    std::fflush(stderr);
}

void OfflineRenderer::printSummary(const FrameWriter& writer, double elapsed) const
{
    const double frames = std::max(1L, framesWritten);
    std::cout << "kestrune: rendered " << framesWritten << " frames (" << stepsRun << " steps, "
              << static_cast<double>(stepsRun) / StepRate::StepsPerSecond << " s of demo time";
    if (firstStep > 0)
        std::cout << ", from " << static_cast<double>(firstStep) / StepRate::StepsPerSecond << " s";
    std::cout << ") to " << (partDir.empty() ? options.out : partDir) << " in " << elapsed << " s, " << framesWritten / std::max(elapsed, 1e-9)
              << " frames per second" << std::endl;
    char line[320];
    std::snprintf(line, sizeof line,
                  "kestrune: render time per frame: update %.2f ms, draw %.2f ms, read back %.2f ms, waiting for "
                  "the writer %.2f ms; writer threads: encode %.2f ms, write %.2f ms; finishing %.2f s",
                  updateSeconds * 1000 / frames, drawSeconds * 1000 / frames, readbackSeconds * 1000 / frames,
                  writer.waitSeconds() * 1000 / frames, writer.encodeSeconds() * 1000 / frames,
                  writer.writeSeconds() * 1000 / frames, finishSeconds);
    std::cerr << line << std::endl;
    std::cerr << stats.summary() << std::endl;
}
