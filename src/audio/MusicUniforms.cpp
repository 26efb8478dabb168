#include "audio/MusicUniforms.hpp"

#include <SFML/Window/GlResource.hpp>

// The uniform query of GL 2.0, which the system's GL library exports.
#define GL_GLEXT_PROTOTYPES
#include <SFML/OpenGL.hpp>

#include <string>

namespace
{
enum Uniform : std::uint32_t
{
    Spectrum,
    Bass,
    Mid,
    Treble,
    Level,
    Beat,
    Beats
};

// Strings made once, so that setting a uniform never builds one.
const std::string Names[] = {"iSpectrum", "iBass", "iMid", "iTreble", "iLevel", "iBeat", "iBeats"};

// A GL context for the queries, the one already active on the thread if there is one.
class ContextLock : private sf::GlResource
{
private:
    TransientContextLock lock;
};

float value(const MusicFrame& frame, std::uint32_t uniform)
{
    switch (uniform)
    {
    case Bass:
        return frame.bass;
    case Mid:
        return frame.mid;
    case Treble:
        return frame.treble;
    case Level:
        return frame.level;
    case Beat:
        return frame.beat;
    case Beats:
        return frame.beats;
    default:
        return 0.f;
    }
}
} // namespace

MusicUniforms::MusicUniforms() : pixels(static_cast<std::size_t>(MusicFrame::Bins) * 2 * 4, 0) {}

void MusicUniforms::bind(const std::vector<sf::Shader*>& shaders)
{
    users.clear();
    spectrumUsed = false;
    ContextLock lock;
    for (sf::Shader* shader : shaders)
    {
        std::uint32_t uses = 0;
        for (std::uint32_t u = Spectrum; u <= Beats; ++u)
        {
            if (glGetUniformLocation(shader->getNativeHandle(), Names[u].c_str()) >= 0)
                uses |= 1u << u;
        }
        if (uses == 0)
            continue;
        users.push_back({shader, uses});
        spectrumUsed = spectrumUsed || (uses & (1u << Spectrum)) != 0;
    }
    if (spectrumUsed && spectrum.getSize().x == 0)
        spectrum.create(MusicFrame::Bins, 2);
    apply(MusicFrame());
}

void MusicUniforms::upload()
{
    // sf::Texture::update flushes GL after every upload, which with a software renderer waits
    // for the whole frame drawn so far; the shaders read the texture in their own later draws.
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, spectrum.getNativeHandle());
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, MusicFrame::Bins, 2, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
}

void MusicUniforms::apply(const MusicFrame& frame)
{
    if (spectrumUsed)
    {
        frame.toPixels(pixels.data());
        upload();
    }
    for (const User& user : users)
    {
        for (std::uint32_t u = Spectrum; u <= Beats; ++u)
        {
            if ((user.uses & (1u << u)) == 0)
                continue;
            if (u == Spectrum)
                user.shader->setUniform(Names[u], spectrum);
            else
                user.shader->setUniform(Names[u], value(frame, u));
        }
    }
}
