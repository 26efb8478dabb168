#include "render/FrameWriter.hpp"

#include "render/Ffmpeg.hpp"
#include "render/FrameFile.hpp"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

#include <signal.h>
#include <unistd.h>

namespace
{
long long nanosSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
}

// Two workers overlap encoding with drawing on a small machine; more only add memory.
unsigned pngWorkers()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores >= 4 ? 3 : 2;
}
} // namespace

FrameWriter::FrameWriter(unsigned w, unsigned h) : width(w), height(h) {}

FrameWriter::~FrameWriter()
{
    finish();
}

void FrameWriter::keepHashes(long capacity)
{
    hashes.assign(static_cast<std::size_t>(std::max(0L, capacity)), std::array<char, 65>{});
}

bool FrameWriter::prepareFolder(const std::string& path, bool removeEarlier, std::string& error)
{
    namespace fs = std::filesystem;
    std::error_code code;
    fs::create_directories(path, code);
    if (!fs::is_directory(path, code))
    {
        error = "cannot create the folder " + path;
        return false;
    }
    if (!removeEarlier)
        return true;
    // The folder then holds exactly this render's frames.
    for (const auto& entry : fs::directory_iterator(path, code))
        if (FrameFile::isFrame(entry.path().filename().string()) && fs::remove(entry.path(), code))
            ++removedFrames;
    return true;
}

bool FrameWriter::openFolder(const std::string& path, std::string& error)
{
    (void)error;
    folder = path;
    startWorkers(pngWorkers());
    return true;
}

bool FrameWriter::openVideo(const std::vector<std::string>& output, int fps, std::string& error)
{
    const std::string size = std::to_string(width) + "x" + std::to_string(height);
    const std::string rate = std::to_string(fps);
    std::vector<std::string> args =
        Ffmpeg::command({"-f", "rawvideo", "-pix_fmt", "rgba", "-s", size, "-r", rate, "-i", "-"});
    args.insert(args.end(), output.begin(), output.end());

    ffmpeg = Ffmpeg::start(args, pipeFd, error);
    if (ffmpeg < 0)
        return false;
    // A failing ffmpeg must turn into a write error, not kill the player.
    signal(SIGPIPE, SIG_IGN);
    // The video takes the frames in order: one worker.
    startWorkers(1);
    return true;
}

void FrameWriter::startWorkers(unsigned count)
{
    const std::size_t frameBytes = static_cast<std::size_t>(width) * height * 4;
    const unsigned slotCount = count + 2;
    slots.resize(slotCount);
    for (unsigned i = 0; i < slotCount; ++i)
    {
        slots[i].pixels.resize(frameBytes);
        freeSlots.push_back(static_cast<int>(i));
    }
    readySlots.assign(slotCount, -1);
    for (unsigned i = 0; i < count; ++i)
    {
        if (!folder.empty())
            encoders.push_back(std::make_unique<PngEncoder>(width, height));
        if (!hashes.empty())
        {
            hashers.push_back(std::make_unique<Sha256>());
            hashRows.emplace_back(static_cast<std::size_t>(width) * 3);
        }
        workers.emplace_back(&FrameWriter::work, this, i);
    }
}

std::uint8_t* FrameWriter::acquire()
{
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return !freeSlots.empty(); });
    const int index = freeSlots.back();
    freeSlots.pop_back();
    waitNanos += nanosSince(start);
    return slots[static_cast<std::size_t>(index)].pixels.data();
}

void FrameWriter::submit(std::uint8_t* pixels)
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::size_t index = 0;
        while (slots[index].pixels.data() != pixels)
            ++index;
        slots[index].number = firstNumber + submitted++;
        readySlots[(readyHead + readyCount) % readySlots.size()] = static_cast<int>(index);
        ++readyCount;
    }
    changed.notify_all();
}

void FrameWriter::work(unsigned worker)
{
    for (;;)
    {
        int index = -1;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return readyCount > 0 || closing; });
            if (readyCount == 0)
                return;
            index = readySlots[readyHead];
            readyHead = (readyHead + 1) % readySlots.size();
            --readyCount;
        }
        const Slot& slot = slots[static_cast<std::size_t>(index)];
        if (!hashers.empty())
            hashFrame(worker, slot);
        const bool written = folder.empty() ? writeToPipe(slot) : writePng(*encoders[worker], slot);
        {
            std::lock_guard<std::mutex> lock(mutex);
            freeSlots.push_back(index);
            failed = failed || !written;
        }
        changed.notify_all();
    }
}

void FrameWriter::hashFrame(unsigned worker, const Slot& slot)
{
    const std::size_t index = static_cast<std::size_t>(slot.number - firstNumber);
    if (index >= hashes.size())
        return;
    Sha256& hasher = *hashers[worker];
    std::vector<std::uint8_t>& row = hashRows[worker];
    hasher.begin();
    for (unsigned y = height; y-- > 0;)
    {
        const std::uint8_t* rgba = slot.pixels.data() + static_cast<std::size_t>(y) * width * 4;
        for (unsigned x = 0; x < width; ++x)
        {
            row[3 * x] = rgba[4 * x];
            row[3 * x + 1] = rgba[4 * x + 1];
            row[3 * x + 2] = rgba[4 * x + 2];
        }
        hasher.add(row.data(), row.size());
    }
    hasher.finish(hashes[index].data());
    std::lock_guard<std::mutex> lock(mutex);
    hashesKept = std::max(hashesKept, static_cast<long>(index) + 1);
}

bool FrameWriter::writePng(PngEncoder& encoder, const Slot& slot)
{
    const auto start = std::chrono::steady_clock::now();
    encoder.encode(slot.pixels.data());
    encodeNanos += nanosSince(start);
    const auto writeStart = std::chrono::steady_clock::now();
    const std::string path = folder + "/" + FrameFile::name(slot.number);
    const bool written = encoder.writeFile(path);
    writeNanos += nanosSince(writeStart);
    if (!written)
        std::cerr << "kestrune: cannot write " << path << std::endl;
    return written;
}

bool FrameWriter::writeToPipe(const Slot& slot)
{
    const auto start = std::chrono::steady_clock::now();
    const std::uint8_t* at = slot.pixels.data();
    std::size_t left = slot.pixels.size();
    while (left > 0)
    {
        const ssize_t n = write(pipeFd, at, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            writeNanos += nanosSince(start);
            return false;
        }
        at += n;
        left -= static_cast<std::size_t>(n);
    }
    writeNanos += nanosSince(start);
    return true;
}

bool FrameWriter::hasFailed()
{
    std::lock_guard<std::mutex> lock(mutex);
    return failed;
}

bool FrameWriter::finish()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        closing = true;
    }
    changed.notify_all();
    for (std::thread& worker : workers)
        worker.join();
    workers.clear();
    bool ok = !failed;
    if (pipeFd >= 0)
    {
        close(pipeFd);
        pipeFd = -1;
        const bool encoded = Ffmpeg::finish(ffmpeg);
        ffmpeg = -1;
        if (!encoded)
        {
            std::cerr << "kestrune: ffmpeg failed while encoding the video" << std::endl;
            ok = false;
        }
        else if (failed)
            std::cerr << "kestrune: ffmpeg stopped taking frames" << std::endl;
    }
    failed = !ok;
    return ok;
}
