#include "app/OfflineRenderer.hpp"

#include "app/Application.hpp"
#include "app/CommandLine.hpp"
#include "app/FrameTimer.hpp"
#include "app/FrameWriter.hpp"
#include "app/LaunchCheck.hpp"
#include "app/SoundTrack.hpp"
#include "catalogs/MusicManager.hpp"

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
#include <sstream>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool onPath(const char* program)
{
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':'))
        if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0)
            return true;
    return false;
}

// Runs ffmpeg to completion; true when it exits with 0.
bool runFfmpeg(std::vector<std::string> args)
{
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t child = -1;
    if (posix_spawnp(&child, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string clockText(double seconds)
{
    const long total = static_cast<long>(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}
} // namespace

OfflineRenderer::OfflineRenderer(const CommandLine& commandLine) : options(commandLine)
{
    videoPart = options.renderOut + ".video.part";
    trackPart = options.renderOut + ".wav.part";
    videoFormat = CommandLine::videoFormat(options.renderOut);
    stride = 60 / options.fps;
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

bool OfflineRenderer::checkEnvironment() const
{
    if (!videoFormat.empty() && !onPath("ffmpeg"))
    {
        std::cerr << "kestrune: a video render needs ffmpeg, which is not installed (Debian: apt-get install ffmpeg); "
                     "a folder of PNG frames needs nothing more"
                  << std::endl;
        return false;
    }
    std::string reason;
    if (!LaunchCheck::hasDisplay(reason))
    {
        std::cerr << "kestrune: --render needs an X display for its GL context (it shows no window), and " << reason
                  << "; run it under a virtual screen: " << LaunchCheck::underVirtualScreen(options.commandLine)
                  << std::endl;
        return false;
    }
    return true;
}

int OfflineRenderer::run(Application& app)
{
    // The music is rebuilt into the sound track; nothing should sound while rendering.
    sf::Listener::setGlobalVolume(0.f);
    SoundTrack track;
    const int status = renderWith(app, track);
    MusicManager::instance().listener = nullptr;
    app.soundTrack = nullptr;
    if (!videoFormat.empty())
    {
        std::remove(videoPart.c_str());
        std::remove(trackPart.c_str());
    }
    return status;
}

int OfflineRenderer::renderWith(Application& app, SoundTrack& track)
{
    std::string error;
    if (!videoFormat.empty())
    {
        if (!track.open(trackPart, error))
        {
            std::cerr << "kestrune: " << error << std::endl;
            return 1;
        }
        MusicManager::instance().listener = &track;
        app.soundTrack = &track;
    }

    app.loadConfig();
    if (!app.prepare())
        return -1;
    if (!options.start.empty() && !app.fastForward(options.start))
        return 2;
    track.startRecording(!options.start.empty());

    FrameWriter writer(Application::Width, Application::Height);
    const bool opened = videoFormat.empty() ? writer.openFolder(options.renderOut, error)
                                            : writer.openVideo(videoPart, videoFormat, options.fps, error);
    if (!opened)
    {
        std::cerr << "kestrune: " << error << std::endl;
        return 1;
    }
    if (writer.removedFrames > 0)
        std::cout << "kestrune: removed " << writer.removedFrames << " frame_*.png files of an earlier render from "
                  << options.renderOut << std::endl;
    // Steps and demo time count from the start of the demo, also after --start.
    firstStep = app.steps;
    stepsRun = firstStep;

    const auto start = Clock::now();
    bool ok = renderFrames(app, writer);
    const auto finishStart = Clock::now();
    ok = writer.finish() && ok;
    MusicManager::instance().listener = nullptr;
    if (ok && !videoFormat.empty())
        ok = finishVideo(track);
    finishSeconds = secondsSince(finishStart);
    if (!ok)
        return 1;

    if (capped)
        std::cerr << "kestrune: the demo was still running after " << CapSteps / 3600
                  << " minutes of demo time; the render stops there (use --frames or --seconds for more)" << std::endl;
    printSummary(writer, secondsSince(start));
    return 0;
}

bool OfflineRenderer::renderFrames(Application& app, FrameWriter& writer)
{
    sf::RenderTexture screen;
    if (!screen.create(Application::Width, Application::Height, sf::ContextSettings()))
    {
        std::cerr << "kestrune: cannot create the off-screen picture of " << Application::Width << " x "
                  << Application::Height << " pixels" << std::endl;
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
            app.updateStep(FrameTimer::Step);
            ++stepsRun;
        }
        stepFirst = true;
        const auto drawStart = Clock::now();
        updateSeconds += std::chrono::duration<double>(drawStart - frameStart).count();

        // Every step is drawn, as playing draws it: the script's render section may change what
        // later frames show. Only the frames the output keeps are read back.
        app.drawFrame(screen);
        screen.display();
        const bool kept = (frame - 1) % stride == 0;
        if (kept)
        {
            screen.setActive(true);
            glFinish();
            drawSeconds += secondsSince(drawStart);
            std::uint8_t* pixels = writer.acquire();
            const auto readStart = Clock::now();
            glReadPixels(0, 0, Application::Width, Application::Height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
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
        if (target < 0 && !app.running)
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
        std::filesystem::rename(videoPart, options.renderOut, code);
        if (code)
            std::cerr << "kestrune: cannot write " << options.renderOut << ": " << code.message() << std::endl;
        return !code;
    }
    // The video is copied as it is; only the sound is encoded.
    std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y"};
    args.insert(args.end(), {"-i", videoPart, "-i", trackPart, "-map", "0:v", "-map", "1:a", "-c:v", "copy"});
    args.insert(args.end(), {"-c:a", videoFormat == "webm" ? "libopus" : "aac", "-b:a", "192k"});
    args.insert(args.end(), {"-f", videoFormat, options.renderOut});
    const bool muxed = runFfmpeg(args);
    if (!muxed)
        std::cerr << "kestrune: ffmpeg failed while adding the sound track to " << options.renderOut << std::endl;
    return muxed;
}

void OfflineRenderer::showProgress(long frames, long steps, double elapsed, bool last) const
{
    const double fps = elapsed > 0.0 ? frames / elapsed : 0.0;
    char line[160];
    int used = std::snprintf(line, sizeof line, "\rframe %ld", frames);
    if (target > 0)
        used += std::snprintf(line + used, sizeof line - used, "/%ld", target);
    used += std::snprintf(line + used, sizeof line - used, "  demo %s.%02ld  %.1f fps", clockText(steps / 60.0).c_str(),
                          (steps % 60) * 100 / 60, fps);
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
    std::cout << "kestrune: rendered " << framesWritten << " frames (" << stepsRun << " steps, " << stepsRun / 60.0
              << " s of demo time";
    if (firstStep > 0)
        std::cout << ", from " << firstStep / 60.0 << " s";
    std::cout << ") to " << options.renderOut << " in " << elapsed << " s, " << framesWritten / std::max(elapsed, 1e-9)
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
