// The particle catalog: any bytes as particles.json into a fresh catalog; entries may name the
// demo's own particle-system files. Every loaded system then runs and draws for a few steps.
#include "FuzzSupport.hpp"

#include "effects/ParticleSystem.hpp"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::DemoStage& stage = fuzz::demoStage();
    ParticleManager particles(stage.sprites);
    particles.load(fuzz::writeInput(data, size, "particles.json"));
    for (const auto& entry : particles.systems())
    {
        ParticleSystem* system = particles.getParticleSystem(entry.first);
        system->setActive(true);
        for (int step = 0; step < 10; ++step)
            system->update(1.f / 60.f);
        system->spawnAt(10.f, 10.f);
        system->draw(stage.target);
        system->reset();
    }
    return 0;
}
