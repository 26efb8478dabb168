#include "scene/Animator.hpp"

#include "report/Problem.hpp"


namespace
{
double totalDuration(const Animation& animation)
{
    double total = 0.0;
    for (const auto& frame : animation.frames)
        total += static_cast<double>(frame->d);
    return total;
}
} // namespace

void Animator::attach(AnimationCollection* target)
{
    collection = target;
    animation = nullptr;
    frame = nullptr;
    playing = false;
}

void Animator::play(const std::string& name)
{
    if (collection == nullptr)
    {
        Problem::report(Problem("Animator") << "Unable to play animations since no AnimationCollection has been added.");
        return;
    }

    Animation* found = collection->find(name);
    if (found == nullptr)
    {
        // Said as the collection's finding, with a second line of its own.
        Problem::report(Problem("Animator").headed("AnimationCollection").detail("ERROR!!!!")
                        << "No animation with name [" << name << "] exists in this collection.");
        // Only the animation is forgotten: `playing` keeps its value and the frame pointer (still
        // owned by the collection) keeps the object on the frame it showed, instead of an empty
        // rectangle and an error line every step.
        animation = nullptr;
        return;
    }

    animation = found;
    loop = found->loop;
    frameCount = static_cast<std::int32_t>(found->frames.size());
    cycleDuration = totalDuration(*found);
    index = 0;
    playing = true;
    setupFrame();
    // An animation without frames has nothing to show or advance through.
    if (frame == nullptr)
        playing = false;
    timeLeft = frameDuration;
}

void Animator::setupFrame()
{
    if (animation == nullptr)
    {
        Problem::report(Problem("Animator") << "No animation. Can't setup frame.");
        frame = nullptr;
        frameDuration = 0.f;
        return;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= animation->frames.size())
    {
        Problem::report(Problem("Animator") << "No animation frame. can't setup frame");
        frame = nullptr;
        frameDuration = 0.f;
        return;
    }
    frame = animation->frames[static_cast<std::size_t>(index)].get();
    frameDuration = frame->d;
}

void Animator::update(float dt)
{
    // A failed play can leave the animator flagged as playing with nothing to advance.
    if (!playing || animation == nullptr || frame == nullptr)
        return;

    timeLeft -= dt;
    // Overshoot carries into the next frames. A looping cycle that does not raise timeLeft
    // (durations adding up to zero or less, or too small to register) would wrap forever, so
    // after such a cycle the animator rests on the frame it reached and drops the debt.
    std::int32_t advancesInCycle = 0;
    float timeLeftAtCycleStart = timeLeft;
    while (timeLeft <= 0.f)
    {
        if (!advance())
            return;
        timeLeft += frameDuration;
        if (++advancesInCycle < frameCount)
            continue;
        if (!(cycleDuration > 0.0) || !(timeLeft > timeLeftAtCycleStart))
        {
            timeLeft = 0.f;
            return;
        }
        advancesInCycle = 0;
        timeLeftAtCycleStart = timeLeft;
    }
}

bool Animator::advance()
{
    ++index;
    if (index >= frameCount)
    {
        if (!loop)
        {
            // The last frame stays current; the scene object goes back to its own rectangle.
            playing = false;
            return false;
        }
        index = 0;
    }
    setupFrame();
    return true;
}

sf::IntRect Animator::frameRect() const
{
    if (frame == nullptr)
    {
        Problem::report(Problem("Animator").headed("Animator:") << "ERROR! Returning nullptr. Should not happen!!");
        return sf::IntRect(0, 0, 0, 0);
    }
    return sf::IntRect(frame->x, frame->y, frame->w, frame->h);
}
