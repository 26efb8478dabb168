#pragma once

#include "motion/StepRate.hpp"

#include <string>

// What a --part render leaves beside its frames or video (part.json in the part's folder): the
// demo it was made from and the settings of the whole render, so that --join can refuse parts
// that do not belong together.
struct RenderPart
{
    static constexpr const char* ManifestName = "part.json";
    static constexpr const char* SoundName = "sound.wav";
    static constexpr const char* HashesName = "frames.sha256";

    // The folder part K of N of the render to OUT is written into: "OUT.part-K-of-N".
    static std::string folder(const std::string& out, int part, int parts);
    // The SHA-256 of the demo in the working directory: config.json and every file under assets/
    // (names and contents).
    static std::string demoHash();
    // The file of per-frame hashes beside an output: "OUT.frames.sha256".
    static std::string hashesBeside(const std::string& out);

    // The whole render's settings.
    std::string demo;
    std::string output; // "frames", "mp4", ...
    int fps = StepRate::StepsPerSecond;
    std::string size;
    std::string start;
    bool drawAll = false;
    bool manifest = false;
    bool range = false; // --range: the folder may hold other ranges' frames
    long first = 1; // the frames the whole render selects
    long last = 1;
    bool endsWithDemo = false;
    int parts = 1;
    // This part's.
    int part = 1;
    long partFirst = 1;
    long partLast = 1;
    long frames = 0; // written
    long long samples = -1; // sample frames of sound.wav; -1: no sound track (PNG frames)
    bool music = false;      // some song played in its frames
    bool muted = false;      // config.json turns the music off
    bool songFailed = false; // a song could not be played or decoded
    bool capped = false;

    bool write(const std::string& path) const;
    // False with a one-line reason when the file cannot be read or is not a part's.
    bool read(const std::string& path, std::string& error);
    // Empty when `other` belongs to the same render; otherwise what differs ("the demo", "--fps").
    std::string differenceFrom(const RenderPart& other) const;
};
