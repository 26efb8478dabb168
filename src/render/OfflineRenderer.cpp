#include "render/OfflineRenderer.hpp"

#include "catalogs/MusicManager.hpp"
#include "player/Player.hpp"
#include "player/StartPoint.hpp"
#include "render/Ffmpeg.hpp"
#include "render/FrameWriter.hpp"
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
#include <iostream>
#include <vector>

#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string clockText(double seconds)
{
    const long total = static_cast<long>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}
} // namespace

std::string OfflineRenderer::videoFormat(const std::string& path)
{
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".mp4" || extension == ".webm" ? extension.substr(1) : std::string();
}

OfflineRenderer::OfflineRenderer(const RenderSettings& settings) : options(settings)
{
    videoPart = options.out + ".video.part";
    trackPart = options.out + ".wav.part";
    format = videoFormat(options.out);
    stride = FrameTimer::StepsPerSecond / options.fps;
    target = targetFrames();
    progress = isatty(STDERR_FILENO) != 0;
}

long OfflineRenderer::targetFrames() const
{
    if (options.frames > 0)
        return options.frames;
    if (options.seconds > 0)
        return std::max(1L, std::lround(options.seconds * options.fps));
    return -1;
}

int OfflineRenderer::run(Player& player)
{
    // The music is rebuilt into the sound track; nothing should sound while rendering.
    sf::Listener::setGlobalVolume(0.f);
    SoundTrack track;
    const int status = renderWith(player, track);
    MusicManager::instance().listener = nullptr;
    player.observe(nullptr);
    if (!format.empty())
    {
        std::remove(videoPart.c_str());
        std::remove(trackPart.c_str());
    }
    return status;
}

int OfflineRenderer::renderWith(Player& player, SoundTrack& track)
{
    std::string error;
    if (!format.empty())
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
    track.startRecording(!options.start.empty());

    FrameWriter writer(Player::Width, Player::Height);
    const bool opened = format.empty() ? writer.openFolder(options.out, error)
                                       : writer.openVideo(videoPart, format, options.fps, error);
    if (!opened)
    {
        std::cerr << "kestrune: " << error << std::endl;
        return 1;
    }
    if (writer.removedFrames > 0)
        std::cout << "kestrune: removed " << writer.removedFrames << " frame_*.png files of an earlier render from "
                  << options.out << std::endl;
    // Steps and demo time count from the start of the demo, also after --start.
    firstStep = player.steps();
    stepsRun = firstStep;

    const auto start = Clock::now();
    bool ok = renderFrames(player, writer);
    const auto finishStart = Clock::now();
    ok = writer.finish() && ok;
    MusicManager::instance().listener = nullptr;
    if (ok && !format.empty())
        ok = finishVideo(track);
    finishSeconds = secondsSince(finishStart);
    if (!ok)
        return 1;

    if (capped)
        std::cerr << "kestrune: the demo was still running after " << CapSteps / (60 * FrameTimer::StepsPerSecond)
                  << " minutes of demo time; the render stops there (use --frames or --seconds for more)" << std::endl;
    printSummary(writer, secondsSince(start));
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
    bool stepFirst = options.start.empty();
    for (long frame = 1;; ++frame)
    {
        const auto frameStart = Clock::now();
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
        const bool kept = (frame - 1) % stride == 0;
        if (kept)
        {
            screen.setActive(true);
            glFinish();
            drawSeconds += secondsSince(drawStart);
            std::uint8_t* pixels = writer.acquire();
            const auto readStart = Clock::now();
            glReadPixels(0, 0, Player::Width, Player::Height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
            writer.submit(pixels);
            readbackSeconds += secondsSince(readStart);
            ++framesWritten;
        }
        else
            drawSeconds += secondsSince(drawStart);
        stats.addFrame(secondsSince(frameStart), stepped);

        if (progress && (secondsSince(lastProgress) >= 0.25))
        {
            lastProgress = Clock::now();
            showProgress(framesWritten, stepsRun, secondsSince(start), false);
        }
        if (writer.hasFailed())
            break;
        if (target > 0 && framesWritten >= target && kept)
            break;
        if (target < 0 && !player.running())
            break;
        if (target < 0 && frame >= CapSteps)
        {
            capped = true;
            break;
        }
    }
    if (progress)
        showProgress(framesWritten, stepsRun, secondsSince(start), true);
    return true;
}

bool OfflineRenderer::finishVideo(SoundTrack& track)
{
    if (!track.close())
    {
        std::cerr << "kestrune: cannot write the sound track " << trackPart << std::endl;
        return false;
    }
    if (!track.hasMusic())
    {
        std::error_code code;
        std::filesystem::rename(videoPart, options.out, code);
        if (code)
            std::cerr << "kestrune: cannot write " << options.out << ": " << code.message() << std::endl;
        return !code;
    }
    // The video is copied as it is; only the sound is encoded.
    std::vector<std::string> args =
        Ffmpeg::command({"-i", videoPart, "-i", trackPart, "-map", "0:v", "-map", "1:a", "-c:v", "copy"});
    args.insert(args.end(), {"-c:a", format == "webm" ? "libopus" : "aac", "-b:a", "192k"});
    args.insert(args.end(), {"-f", format, options.out});
    const bool muxed = Ffmpeg::run(args);
    if (!muxed)
        std::cerr << "kestrune: ffmpeg failed while adding the sound track to " << options.out << std::endl;
    return muxed;
}

void OfflineRenderer::showProgress(long frames, long steps, double elapsed, bool last) const
{
    const double fps = elapsed > 0.0 ? frames / elapsed : 0.0;
    char line[160];
    int used = std::snprintf(line, sizeof line, "\rframe %ld", frames);
    if (target > 0)
        used += std::snprintf(line + used, sizeof line - used, "/%ld", target);
    used += std::snprintf(line + used, sizeof line - used, "  demo %s.%02ld  %.1f fps",
                          clockText(static_cast<double>(steps) / FrameTimer::StepsPerSecond).c_str(),
                          (steps % FrameTimer::StepsPerSecond) * 100 / FrameTimer::StepsPerSecond, fps);
    if (target > 0 && fps > 0.0)
        used += std::snprintf(line + used, sizeof line - used, "  ETA %s",
                              clockText(static_cast<double>(target - frames) / fps).c_str());
    std::snprintf(line + used, sizeof line - used, "    %s", last ? "\n" : "");
    std::fputs(line, stderr);
    std::fflush(stderr);
}

void OfflineRenderer::printSummary(const FrameWriter& writer, double elapsed) const
{
    const double frames = std::max(1L, framesWritten);
    std::cout << "kestrune: rendered " << framesWritten << " frames (" << stepsRun << " steps, "
              << static_cast<double>(stepsRun) / FrameTimer::StepsPerSecond << " s of demo time";
    if (firstStep > 0)
        std::cout << ", from " << static_cast<double>(firstStep) / FrameTimer::StepsPerSecond << " s";
    std::cout << ") to " << options.out << " in " << elapsed << " s, " << framesWritten / std::max(elapsed, 1e-9)
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
