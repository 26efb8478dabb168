#pragma once

#include "audio/MusicFrame.hpp"
#include "audio/SongAnalysis.hpp"

#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

class MusicManager;
class TempoGrid;

// The analyses of the songs a demo names, each made once when the song is loaded (and again when
// its file is saved), and the frame the music player makes heard at the current step.
class SongLibrary
{
public:
    // Analyses every file not analysed yet, and again those in `refresh`. A file that cannot be
    // decoded stays silent here; playing it reports the failure.
    void analyse(const std::vector<std::string>& files, const std::set<std::string>& refresh);
    const SongAnalysis* find(const std::string& file) const;
    void clear() { analyses.clear(); }

    // What the music player plays at its clock's step (song, position, volume and fade), with
    // iBeats from the tempo grid; silence when nothing plays. Allocates nothing.
    void frameNow(const MusicManager& music, const TempoGrid& tempo, MusicFrame& out) const;

private:
    std::unordered_map<std::string, std::unique_ptr<SongAnalysis>> analyses;
};
