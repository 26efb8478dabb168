#include "audio/SongLibrary.hpp"

#include "audio/TempoGrid.hpp"
#include "catalogs/MusicManager.hpp"

void SongLibrary::analyse(const std::vector<std::string>& files, const std::set<std::string>& refresh)
{
    for (const std::string& file : files)
    {
        if (analyses.count(file) != 0 && refresh.count(file) == 0)
            continue;
        auto analysis = std::make_unique<SongAnalysis>();
        std::string error;
        if (analysis->analyseFile(file, error))
            analyses[file] = std::move(analysis);
        else
            analyses.erase(file);
    }
}

const SongAnalysis* SongLibrary::find(const std::string& file) const
{
    const auto found = analyses.find(file);
    return found == analyses.end() ? nullptr : found->second.get();
}

void SongLibrary::frameNow(const MusicManager& music, const TempoGrid& tempo, MusicFrame& out) const
{
    const SongClock& clock = music.songClock();
    const SongAnalysis* analysis =
        clock.song && clock.state == sf::SoundSource::Playing ? find(clock.song->file) : nullptr;
    if (analysis)
        analysis->frameAt(clock.position, music.streamVolume() / 100.f, out);
    else
        out.silence();
    out.beats = clock.songStartStep >= 0 ? static_cast<float>(tempo.beatsAt(clock.step, clock.songStartStep)) : 0.f;
}
