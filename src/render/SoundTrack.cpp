#include "render/SoundTrack.hpp"

#include "motion/StepRate.hpp"
#include "report/Problem.hpp"

#include <SFML/Audio/InputSoundFile.hpp>

#include <algorithm>
#include <cmath>

namespace
{

void putLe(std::ofstream& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void writeHeader(std::ofstream& out, std::uint64_t frames)
{
    const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames * SoundTrack::Channels * 2);
    out.write("RIFF", 4);
    putLe(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    putLe(out, 16, 4);
    putLe(out, 1, 2); // PCM
    putLe(out, SoundTrack::Channels, 2);
    putLe(out, SoundTrack::Rate, 4);
    putLe(out, SoundTrack::Rate * SoundTrack::Channels * 2, 4);
    putLe(out, SoundTrack::Channels * 2, 2);
    putLe(out, 16, 2);
    out.write("data", 4);
    putLe(out, dataBytes, 4);
}
} // namespace

bool SoundTrack::open(const std::string& path, std::string& error)
{
    wav.open(path, std::ios::binary | std::ios::trunc);
    if (!wav)
    {
        error = "cannot write the sound track " + path;
        return false;
    }
    writeHeader(wav, 0);
    // The longest step: Rate / 60 rounded up.
    stepBuffer.assign((Rate + StepRate::StepsPerSecond - 1) / StepRate::StepsPerSecond * Channels, 0);
    return true;
}

bool SoundTrack::close()
{
    wav.seekp(0);
    writeHeader(wav, framesWritten);
    wav.close();
    return !wav.fail();
}

const SoundTrack::Decoded* SoundTrack::decode(const std::string& file)
{
    auto found = decoded.find(file);
    if (found != decoded.end())
        return found->second.get();

    auto result = std::make_unique<Decoded>();
    sf::InputSoundFile input;
    if (input.openFromFile(file) && input.getChannelCount() > 0 && input.getSampleRate() > 0)
    {
        result->rate = input.getSampleRate();
        result->channels = input.getChannelCount();
        result->samples.resize(static_cast<std::size_t>(input.getSampleCount()));
        const std::uint64_t got = input.read(result->samples.data(), result->samples.size());
        result->samples.resize(static_cast<std::size_t>(got));
        result->frames = got / result->channels;
    }
    else
    {
        Problem::report(Problem("SoundTrack").headed("kestrune").file(file)
                        << "the sound track leaves out " << file << ", which cannot be decoded");
        refused = true;
    }
    const Decoded* song = result->frames > 0 ? result.get() : nullptr;
    decoded[file] = std::move(result);
    return song;
}

void SoundTrack::songStarted(const Song& started, bool loopFlag)
{
    voice.song = decode(started.file);
    voice.status = voice.song ? Status::Playing : Status::Stopped;
    voice.loop = loopFlag;
    voice.position = 0.0;
    // The stream refuses a loop start at or past the end (or before the beginning) and keeps
    // looping over the whole song.
    voice.loopFrom = 0.0;
    if (voice.song)
    {
        const double from = std::trunc(started.loopTo) / 1000.0 * voice.song->rate;
        if (from >= 0.0 && from < static_cast<double>(voice.song->frames))
            voice.loopFrom = std::floor(from);
    }
}

void SoundTrack::songStopped()
{
    refused = true;
    voice.song = nullptr;
    voice.status = Status::Stopped;
}

void SoundTrack::paused()
{
    if (voice.status == Status::Playing)
        voice.status = Status::Paused;
}

void SoundTrack::resumed()
{
    if (!voice.song)
        return;
    // A paused song continues; a stopped or a playing one starts again from the beginning.
    if (voice.status != Status::Paused)
        voice.position = 0.0;
    voice.status = Status::Playing;
}

void SoundTrack::mixFrame(float gain, std::int16_t* out)
{
    const Decoded& song = *voice.song;
    // Linear interpolation between the song's frames when its rate differs from the track's.
    const std::uint64_t index = static_cast<std::uint64_t>(voice.position);
    const float fraction = static_cast<float>(voice.position - static_cast<double>(index));
    std::uint64_t next = index + 1;
    if (next >= song.frames)
        next = voice.loop ? static_cast<std::uint64_t>(voice.loopFrom) : index;
    for (unsigned c = 0; c < Channels; ++c)
    {
        const unsigned source = std::min(c, song.channels - 1);
        const float a = song.samples[index * song.channels + source];
        const float b = song.samples[next * song.channels + source];
        const float value = (a + (b - a) * fraction) * gain;
        out[c] = static_cast<std::int16_t>(std::lrint(std::max(-32768.f, std::min(32767.f, value))));
    }
}

void SoundTrack::advanceFrame()
{
    const Decoded& song = *voice.song;
    voice.position += static_cast<double>(song.rate) / Rate;
    if (voice.position < static_cast<double>(song.frames))
        return;
    if (voice.loop)
        voice.position = voice.loopFrom + (voice.position - static_cast<double>(song.frames));
    else
        voice.status = Status::Stopped;
}

void SoundTrack::mixStep(std::uint64_t step, float gain)
{
    // Step k covers the track's frames from k * Rate / 60 up to (k + 1) * Rate / 60.
    const std::uint64_t first = step * Rate / StepRate::StepsPerSecond;
    const std::uint64_t count = (step + 1) * Rate / StepRate::StepsPerSecond - first;
    std::fill(stepBuffer.begin(), stepBuffer.end(), std::int16_t(0));
    for (std::uint64_t i = 0; i < count && voice.status == Status::Playing; ++i)
    {
        if (recording)
        {
            heardMusic = true;
            mixFrame(gain, &stepBuffer[i * Channels]);
        }
        advanceFrame();
    }
    if (!recording)
        return;
    wav.write(reinterpret_cast<const char*>(stepBuffer.data()),
              static_cast<std::streamsize>(count * Channels * sizeof(std::int16_t)));
    framesWritten += count;
}

void SoundTrack::endStep(float volume)
{
    const std::size_t slot = steps % MaxLastSteps;
    lastVoices[slot] = voice;
    lastGains[slot] = std::max(0.f, std::min(100.f, volume)) / 100.f;
    mixStep(steps, lastGains[slot]);
    ++steps;
}

void SoundTrack::stepEnded()
{
    endStep(MusicManager::instance().streamVolume());
}

void SoundTrack::rewound()
{
    rewind();
}

void SoundTrack::rewind()
{
    if (recording)
        return;
    voice = Voice();
    for (int i = 0; i < MaxLastSteps; ++i)
    {
        lastVoices[i] = Voice();
        lastGains[i] = 0.f;
    }
    steps = 0;
}

void SoundTrack::startRecording(int lastSteps)
{
    recording = true;
    const std::uint64_t back = std::min<std::uint64_t>(steps, static_cast<std::uint64_t>(
                                                                  std::max(0, std::min(lastSteps, MaxLastSteps))));
    const Voice now = voice;
    for (std::uint64_t step = steps - back; step < steps; ++step)
    {
        voice = lastVoices[step % MaxLastSteps];
        mixStep(step, lastGains[step % MaxLastSteps]);
    }
    voice = now;
}
