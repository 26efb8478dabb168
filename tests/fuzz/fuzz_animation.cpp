// Animation files: any bytes through the loader, then every animation played for a while.
#include "FuzzSupport.hpp"

#include "scene/AnimationCollection.hpp"
#include "scene/Animator.hpp"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::enterWorkdir();
    AnimationCollection collection;
    collection.loadFromFile(fuzz::writeInput(data, size, "input.anim.json"));

    Animator animator;
    animator.attach(&collection);
    for (const auto& entry : collection.animations)
    {
        animator.play(entry.first);
        for (int step = 0; step < 30; ++step)
        {
            animator.update(1.f / 60.f);
            if (animator.playing)
                animator.frameRect();
        }
    }
    animator.play("no such animation");
    animator.update(1.f / 60.f);
    if (animator.playing)
        animator.frameRect();
    return 0;
}
