#pragma once

#include "player/FrameStats.hpp"
#include "player/FrameTimer.hpp"

#include <string>

class FrameWriter;
class Player;
class SoundTrack;

// What to render: the output, where to start, how long, at what frame rate.
struct RenderSettings
{
    std::string out;       // a folder of PNG frames, or a video (.mp4, .webm)
    std::string start;     // --start; empty: from the beginning
    long frames = -1;      // -1: until the demo ends
    double seconds = -1.0; // -1: until the demo ends
    int fps = FrameTimer::StepsPerSecond;
};

// kestrune --render: plays the demo without a clock, one fixed step per frame, and writes every
// frame (the window's picture, drawn off-screen) to a folder of PNG files or, through ffmpeg, to
// a video with the music of the script in its sound track.
class OfflineRenderer
{
public:
    // Ten minutes of demo time: a demo without an end stops there unless --frames or --seconds
    // asks for more.
    static constexpr long CapSteps = 10L * 60L * FrameTimer::StepsPerSecond;

    explicit OfflineRenderer(const RenderSettings& settings);

    // "mp4" or "webm" for an output path with that extension (in any case); empty otherwise.
    static std::string videoFormat(const std::string& path);

    // The exit status: 0 when every frame was written; 1 when the output failed; 2 when --start cannot be reached; -1
    // when the post-processing shader cannot be loaded.
    int run(Player& player);

private:
    long targetFrames() const;
    int renderWith(Player& player, SoundTrack& track);
    bool renderFrames(Player& player, FrameWriter& writer);
    // Adds the sound track to the video when music played; otherwise the video is the output.
    bool finishVideo(SoundTrack& track);
    void showProgress(long frames, long steps, double elapsed, bool last) const;
    void printSummary(const FrameWriter& writer, double elapsed) const;

    RenderSettings options;
    std::string format;    // "mp4" or "webm"; empty for a folder of PNG files
    std::string videoPart; // the silent video while it is encoded
    std::string trackPart; // the sound track while it is mixed
    long stride = 1;       // steps per written frame
    long target = -1;      // frames to write; -1: until the demo ends
    bool progress = false;
    bool capped = false;
    long framesWritten = 0;
    long firstStep = 0; // the step the render starts after (--start)
    long stepsRun = 0;
    double updateSeconds = 0.0;
    double drawSeconds = 0.0;
    double readbackSeconds = 0.0;
    double finishSeconds = 0.0;
    FrameStats stats;
};
