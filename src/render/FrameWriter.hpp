#pragma once

#include "render/PngEncoder.hpp"

#include <sys/types.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Takes the frames an offline render reads back and writes them out on worker threads, so that
// encoding overlaps the drawing of the next frames: PNG files into a folder, or raw pixels piped
// into ffmpeg, which encodes the video. Frame buffers are allocated once and cycle through a
// small ring.
class FrameWriter
{
public:
    FrameWriter(unsigned width, unsigned height);
    ~FrameWriter();
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // Writes frame_000001.png, ... into the folder (created when missing). The frame_*.png files
    // of an earlier render there are removed, so that the folder holds exactly this render's
    // frames; `removedFrames` tells how many.
    bool openFolder(const std::string& folder, std::string& error);
    // Starts ffmpeg encoding a silent video at `fps` into `path` (container chosen by `format`).
    bool openVideo(const std::string& path, const std::string& format, int fps, std::string& error);

    // A free buffer for the next frame (RGBA, bottom row first); waits while every one is busy.
    std::uint8_t* acquire();
    // Hands the buffer from acquire() to the workers as the next frame.
    void submit(std::uint8_t* pixels);
    // Waits for every frame to be written; false when writing or ffmpeg failed (reported).
    bool finish();
    // True once a frame could not be written: rendering more is pointless.
    bool hasFailed();

    // Seconds the workers spent encoding and writing, and the caller waiting in acquire().
    double encodeSeconds() const { return encodeNanos.load() * 1e-9; }
    double writeSeconds() const { return writeNanos.load() * 1e-9; }
    double waitSeconds() const { return waitNanos * 1e-9; }

    long removedFrames = 0;

private:
    struct Slot
    {
        std::vector<std::uint8_t> pixels;
        long number = 0;
    };

    void startWorkers(unsigned count);
    void work(unsigned worker);
    bool writePng(PngEncoder& encoder, const Slot& slot);
    bool writeToPipe(const Slot& slot);

    unsigned width;
    unsigned height;
    std::string folder;
    int pipeFd = -1;
    pid_t ffmpeg = -1;

    std::vector<Slot> slots;
    std::vector<int> freeSlots;  // stack of free slot indices
    std::vector<int> readySlots; // ring of submitted slot indices, in frame order
    std::size_t readyHead = 0;
    std::size_t readyCount = 0;
    long submitted = 0;
    bool closing = false;
    bool failed = false;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::thread> workers;
    std::vector<std::unique_ptr<PngEncoder>> encoders;

    std::atomic<long long> encodeNanos{0};
    std::atomic<long long> writeNanos{0};
    long long waitNanos = 0;
};
