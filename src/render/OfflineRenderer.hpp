#pragma once

#include "motion/StepRate.hpp"
#include "player/FrameStats.hpp"
#include "render/OutputFormat.hpp"

#include <algorithm>
#include <cmath>
#include <string>

class FrameWriter;
class Player;
class SoundTrack;

// What to render: the output, where to start, which frames, at what frame rate and size.
struct RenderSettings
{
    std::string out;       // a folder of PNG frames, or a video (.mp4, .webm, .mkv, .mov, .gif)
    std::string start;     // --start; empty: from the beginning
    long frames = -1;      // -1: until the demo ends
    double seconds = -1.0; // -1: until the demo ends
    int fps = StepRate::StepsPerSecond;
    long rangeFirst = -1;  // --range: the first frame (1: the first of the render); -1: none
    long rangeLast = -1;   // --range: the last frame; -1: until the demo ends
    int part = 0;          // --part K/N: K (1..N); 0: the whole selection
    int parts = 0;         //             N
    std::string size;      // --size WxH; empty: as drawn
    bool manifest = false; // --manifest: a SHA-256 per frame
    bool drawAll = false;  // --draw-all (handed on to the processes of --jobs)

    // The frames --frames or --seconds asks for (a time to the nearest frame, at least one);
    // -1: until the demo ends.
    long framesAsked() const
    {
        if (frames > 0)
            return frames;
        if (seconds > 0)
            return std::max(1L, std::lround(seconds * fps));
        return -1;
    }
};

// kestrune --render: plays the demo without a clock, one fixed step per frame, and writes every
// frame (the window's picture, drawn off-screen) to a folder of PNG files or, through ffmpeg, to
// a video with the music of the script in its sound track. A range or a part of the render
// starts with an exact seek to its first frame and numbers its frames as the whole render does.
class OfflineRenderer
{
public:
    // Ten minutes of demo time: a demo without an end stops there unless --frames or --seconds
    // asks for more.
    static constexpr long CapSteps = 10L * 60L * StepRate::StepsPerSecond;

    explicit OfflineRenderer(const RenderSettings& settings);

    // The name of the video format of a path ("mp4", "webm", "mkv", "mov", "gif"); empty otherwise.
    static std::string videoFormat(const std::string& path);

    // The exit status: 0 when every frame was written; 1 when the output failed; 2 when --start or
    // the range cannot be reached; -1 when the post-processing shader cannot be loaded.
    int run(Player& player);

private:
    int renderWith(Player& player, SoundTrack& track);
    // Resolves the frames to render (range, part) and seeks to the first; 0, or the exit status.
    int chooseFrames(Player& player);
    long stepOf(long frame) const { return baseStep + (frame - 1) * stride; }
    bool renderFrames(Player& player, FrameWriter& writer);
    // Adds the sound track to the video when music played; otherwise the video is the output.
    bool finishVideo(SoundTrack& track);
    bool writeHashes(const FrameWriter& writer, const std::string& path) const;
    bool writePartManifest(const SoundTrack& track, const std::string& demoHash) const;
    void reportProgress(long frames, long steps, double elapsed, bool last) const;
    void showProgress(long frames, long steps, double elapsed, bool last) const;
    void printSummary(const FrameWriter& writer, double elapsed) const;
    void printWhyNoSound(const SoundTrack& track) const;

    RenderSettings options;
    OutputFormat format;
    std::string partDir;   // --part: the folder the part is written into
    std::string videoPart; // the silent video while it is encoded (a part's video)
    std::string trackPart; // the sound track while it is mixed (a part's sound)
    long stride = 1;       // steps per written frame
    long target = -1;      // frames to write; -1: until the demo ends
    bool progress = false;
    int progressFd = -1;   // --jobs: where a part reports its frames
    bool capped = false;

    // The frames of this run, numbered as in the whole render.
    long baseStep = 1;     // the step frame 1 shows
    long firstFrame = 1;
    long lastFrame = -1;   // -1: until the demo ends (or the cap)
    long selectionFirst = 1;
    long selectionLast = -1;
    bool selectionEndsWithDemo = false;
    bool stepFirst = true;
    int lastSteps = 0;     // steps already run whose sound belongs to the first frame
    double seekSeconds = 0.0;

    long framesWritten = 0;
    long firstStep = 0; // the step the render starts after (--start, a range)
    long stepsRun = 0;
    double updateSeconds = 0.0;
    double drawSeconds = 0.0;
    double readbackSeconds = 0.0;
    double finishSeconds = 0.0;
    FrameStats stats;
};
