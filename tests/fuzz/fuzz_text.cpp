// The text catalog: any bytes as text.json into a fresh catalog (fonts and particle systems are
// the demo's own), then every system shows a line and runs and draws for a few steps.
#include "FuzzSupport.hpp"

#include "effects/TextManager.hpp"
#include "effects/TextSystem.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace
{
// The catalog keeps its keys private; the seeds use these.
const std::vector<std::string> Keys = {"headline", "caption", "a", "b", "0", ""};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::DemoStage& stage = fuzz::demoStage();
    TextManager texts(stage.particles);
    texts.load(fuzz::writeInput(data, size, "text.json"));
    for (const std::string& key : Keys)
        if (TextSystem* system = texts.getTextSystem(key))
            system->display("Hi there", 10.f, 10.f, 0.f, 0.2f);
    for (int step = 0; step < 20; ++step)
    {
        texts.update(1.f / 20.f);
        if (step % 5 == 0)
            texts.draw(stage.target);
    }
    return 0;
}
