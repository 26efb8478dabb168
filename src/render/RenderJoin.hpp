#pragma once

#include "render/OutputFormat.hpp"
#include "render/RenderPart.hpp"

#include <string>
#include <vector>

// kestrune --join OUT PARTS...: puts together what the parts of one render left (--part K/N, or the
// processes of --jobs) into the output the whole render would have written. PNG frames move into
// OUT under their numbers; videos are joined by ffmpeg's concat without encoding them again, with
// the parts' sound tracks joined sample for sample and encoded once, so nothing shows at a seam.
class RenderJoin
{
public:
    // The exit status: 0 when joined; 1 when the output could not be written; 2 when the parts do
    // not make one render (other demos or settings, a part missing or twice), after one line.
    // `summary`: say what was joined (--jobs prints its own).
    static int run(const std::string& out, const std::vector<std::string>& parts, bool summary = true);

    // Makes the output from encoded videos (joined in order, each lasting its `durations` in
    // seconds) and a WAV sound track (empty: none): the sound is encoded and muxed, the video
    // copied; a GIF gets a palette made for the clip and at most 50 of the `fps` frames per second.
    static bool assemble(const OutputFormat& format, const std::vector<std::string>& videos,
                         const std::vector<double>& durations, const std::string& sound, int fps,
                         const std::string& out, std::string& error);

    // Empty when the part in `folder` holds everything its part.json (`part`) says it wrote: each
    // PNG frame whole, or the video's decoded frames and duration and the sound's samples, and the
    // manifest's lines. Otherwise what is wrong, naming the file.
    static std::string partProblem(const OutputFormat& format, const std::string& folder, const RenderPart& part);

    // Joins the samples of WAV files written by the sound track into one.
    static bool joinSound(const std::vector<std::string>& tracks, const std::string& out, std::string& error);
};
