#pragma once

#include "render/OfflineRenderer.hpp"
#include "render/RenderPart.hpp"

#include <functional>
#include <string>
#include <vector>

// kestrune --render OUT --jobs N: the render split into N contiguous parts, rendered by N copies of
// this program at once (each seeking exactly to its first frame), then joined. It shows one
// progress line for the whole render and prints what a part said only once.
class RenderJobs
{
public:
    // How the program spells a render's settings as its own options (the option table lives in a
    // room above this one, so the caller hands its spelling down).
    using Spelling = std::function<std::vector<std::string>(const RenderSettings& settings)>;

    RenderJobs(const RenderSettings& settings, int jobs, Spelling spelling);

    // The exit status: as a render's (the first failing part's status).
    int run();

    // The command line of part `part` (1..N): the render's own options and --part K/N.
    std::vector<std::string> partArguments(int part) const;

private:
    // True when an earlier run of this command finished part `part`, as part.json says.
    bool finished(const RenderPart& done, const std::string& demo, int part) const;
    void showProgress(long frames, long total, double elapsed, bool last) const;

    RenderSettings options;
    int jobs;
    Spelling spelling;
};
