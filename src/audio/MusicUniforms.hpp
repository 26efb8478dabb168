#pragma once

#include "audio/MusicFrame.hpp"

#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Texture.hpp>

#include <cstdint>
#include <vector>

// The music uniforms of the shaders that declare them: iSpectrum (512 x 2: the spectrum, then
// the waveform), iBass, iMid, iTreble, iLevel, iBeat and iBeats. A shader that declares none of
// them is left alone.
class MusicUniforms
{
public:
    MusicUniforms();
    // Looks, once, which of the shaders use which music uniform. Needs a GL context.
    void bind(const std::vector<sf::Shader*>& shaders);
    // True when some shader uses a music uniform.
    bool any() const { return !users.empty(); }
    // Gives every using shader the frame's values. Allocates nothing.
    void apply(const MusicFrame& frame);

private:
    void upload();

    struct User
    {
        sf::Shader* shader;
        std::uint32_t uses; // one bit per uniform, in the order of the table
    };

    std::vector<User> users;
    bool spectrumUsed = false;
    sf::Texture spectrum;
    std::vector<std::uint8_t> pixels;
};
