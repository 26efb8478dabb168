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

    struct Place
    {
        int line = 0;   // 1-based
        int column = 0; // 1-based
    };
    // Where the line and column of a compiler message lie in the GLSL text. The driver's
    // preprocessor hands the compiler every run of white space and comments as one space, and a
    // block comment that runs over lines joins them into the first; its columns count in that
    // text. When the message names a token (`name'), the column lands on the nearest occurrence
    // of it. A place beyond the text comes back unchanged.
    static Place sourcePlace(const std::string& glsl, int line, int column, const std::string& message);
};
