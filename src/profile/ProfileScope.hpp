#pragma once

#include "profile/Profiler.hpp"

// A scope of the active profiler named by a text of the program; nothing when profiling is off.
class ProfileScope
{
public:
    ProfileScope(const char* text, Profiler::Track track, Profiler::Kind kind = Profiler::Kind::Section,
                 bool pass = false)
        : profiler(Profiler::active)
    {
        if (profiler)
            open = profiler->begin(profiler->fixedName(text, kind), track, pass);
    }
    ~ProfileScope()
    {
        if (profiler)
            profiler->end(open);
    }
    ProfileScope(const ProfileScope&) = delete;
    ProfileScope& operator=(const ProfileScope&) = delete;

private:
    Profiler* profiler;
    Profiler::Open open{};
};
