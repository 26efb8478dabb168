#pragma once

#include "catalogs/MusicManager.hpp"
#include "player/StepObserver.hpp"

#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

// An offline render's sound track. It follows what the music player does (which song, started,
// paused, resumed, at what volume) step by step, and mixes the same audio from the decoded music
// files into a WAV file: one step's worth of samples per fixed step, so the track is exact and the
// same on every run, however fast the frames are drawn.
class SoundTrack : public MusicListener, public StepObserver
{
public:
    static constexpr unsigned Rate = 44100;
    static constexpr unsigned Channels = 2;

    // Creates the WAV file; false (with a reason in `error`) when it cannot be written.
    bool open(const std::string& path, std::string& error);
    // The most steps startRecording can take back.
    static constexpr int MaxLastSteps = 2;

    // Steps before recording starts (a fast-forward) still move the songs on, silently. The track
    // begins with the `lastSteps` steps that just ran (up to MaxLastSteps): the step whose frame
    // comes first after a fast-forward, or every step since the frame before it.
    void startRecording(int lastSteps);
    // Mixes (when recording) and advances one fixed step at the stream volume the step left.
    void endStep(float volume);
    // Before recording: back to step 0 with no song, as the player's rewind to the start.
    void rewind();
    // The player's steps: endStep at the music's stream volume, and rewind.
    void stepEnded() override;
    void rewound() override;
    // Completes the WAV header; false when writing failed.
    bool close();

    // The sample frames (one per channel pair) written so far.
    std::uint64_t samples() const { return framesWritten; }
    // True when some recorded step had a song playing.
    bool hasMusic() const { return heardMusic; }
    // True when a song could not be opened or decoded.
    bool refusedSong() const { return refused; }

    void songStarted(const Song& song, bool loop) override;
    void songStopped() override;
    void paused() override;
    void resumed() override;

private:
    struct Decoded
    {
        unsigned rate = 0;
        unsigned channels = 0;
        std::uint64_t frames = 0;
        std::vector<std::int16_t> samples;
    };

    enum class Status
    {
        Stopped,
        Playing,
        Paused
    };

    struct Voice
    {
        const Decoded* song = nullptr;
        Status status = Status::Stopped;
        bool loop = false;
        double loopFrom = 0.0; // song frames
        double position = 0.0; // song frames
    };

    const Decoded* decode(const std::string& file);
    void mixStep(std::uint64_t step, float gain);
    void mixFrame(float gain, std::int16_t* out);
    void advanceFrame();

    std::map<std::string, std::unique_ptr<Decoded>> decoded;
    Voice voice;
    // The voice and gain each of the last steps was mixed from, by step number modulo MaxLastSteps.
    Voice lastVoices[MaxLastSteps];
    float lastGains[MaxLastSteps] = {};

    bool recording = false;
    bool heardMusic = false;
    bool refused = false;
    std::uint64_t steps = 0;
    std::uint64_t framesWritten = 0;
    std::vector<std::int16_t> stepBuffer;
    std::ofstream wav;
};
