// Particle-system files: any bytes through the reader (pool of 64), then the system runs, spawns
// at a point and draws for a few steps with the demo's own sprites.
#include "FuzzSupport.hpp"

#include "effects/ParticleSystem.hpp"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::DemoStage& stage = fuzz::demoStage();
    ParticleSystem system;
    if (!system.loadFromFile(fuzz::writeInput(data, size, "system.json"), 64, stage.sprites))
        return 0;
    system.setActive(true);
    for (int step = 0; step < 30; ++step)
    {
        system.update(1.f / 60.f);
        if (step % 10 == 0)
        {
            system.spawnAt(5.f, 5.f);
            system.draw(stage.target);
        }
    }
    return 0;
}
