#pragma once

#include "profile/Profiler.hpp"

// Names the stored lines of the script that runs (its file:line, command and what it draws), for
// the profiler: asked once per line, the first time the line runs after a load.
class LineSource
{
public:
    virtual ~LineSource() = default;
    virtual void describeLine(int line, Profiler::Name& out) = 0;
};
