#pragma once

#include <set>
#include <string>

// What a shader's source declares, read without a compiler.
class ShaderSource
{
public:
    // The names of the uniforms the GLSL text declares ("uniform float amount, wave;" declares
    // two), comments left out.
    static std::set<std::string> uniforms(const std::string& glsl);
};
