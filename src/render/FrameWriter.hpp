#pragma once

#include "render/PngEncoder.hpp"
#include "render/Sha256.hpp"

#include <sys/types.h>

#include <array>
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

    // The first frame's number (frame_000001.png unless a range starts later).
    void numberFrom(long first) { firstNumber = first; }
    // Keeps the SHA-256 of each frame's RGB pixels, top row first, for up to `capacity` frames.
    void keepHashes(long capacity);

    // Creates the folder when missing. With `removeEarlier` the frame_*.png files of an earlier
    // render there are removed, so that the folder holds exactly this render's frames;
    // `removedFrames` tells how many.
    bool prepareFolder(const std::string& folder, bool removeEarlier, std::string& error);
    // Writes frame_NNNNNN.png files into the prepared folder.
    bool openFolder(const std::string& folder, std::string& error);
    // Starts ffmpeg taking the raw frames at `fps`; `output` is the rest of its command (filters,
    // codec, container, path: OutputFormat's).
    bool openVideo(const std::vector<std::string>& output, int fps, std::string& error);

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

    // The kept hashes, in frame order (hex), of the frames written.
    const char* hash(long index) const { return hashes[static_cast<std::size_t>(index)].data(); }
    long hashCount() const { return hashesKept; }

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
    void hashFrame(unsigned worker, const Slot& slot);

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
    long firstNumber = 1;

    // Per worker: a hasher and one RGB row; the hashes by frame.
    std::vector<std::unique_ptr<Sha256>> hashers;
    std::vector<std::vector<std::uint8_t>> hashRows;
    std::vector<std::array<char, 65>> hashes;
    long hashesKept = 0;

    std::atomic<long long> encodeNanos{0};
    std::atomic<long long> writeNanos{0};
    long long waitNanos = 0;
};
