// The music catalog: any bytes as music.json, then every song played, paused, resumed and
// faded, so that the entry values reach the audio library (on OpenAL's silent driver).
#include "FuzzSupport.hpp"

#include "catalogs/MusicManager.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace
{
// The catalog keeps its keys private; the seeds and the dictionary use these.
const std::vector<std::string> Keys = {"arpeggio", "song", "theme", "a", "b", "0", ""};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::enterWorkdir();
    MusicManager music;
    music.load(fuzz::writeInput(data, size, "music.json"));
    for (const std::string& key : Keys)
    {
        if (!music.hasSong(key))
            continue;
        music.play(true, key);
        music.fadeOut(0.05f);
        music.updateFade(1.f / 60.f);
        music.pause();
        music.resume();
        music.updateFade(1.f);
    }
    return 0;
}
