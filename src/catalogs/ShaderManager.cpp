#include "catalogs/ShaderManager.hpp"

#include "report/Problem.hpp"

#include "catalogs/CatalogJson.hpp"
#include "catalogs/JsonFormat.hpp"
#include "catalogs/TextureManager.hpp"

#include <SFML/Window/GlResource.hpp>

// The uniform queries of GL 2.0, which the system's GL library exports.
#define GL_GLEXT_PROTOTYPES
#include <SFML/OpenGL.hpp>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using namespace ShaderKeys;

namespace
{
const char* const Component = "ShaderManager";

using UniformValues = std::vector<std::pair<std::string, float>>;

// A GL context for the queries, the one already active on the thread if there is one.
class ContextLock : private sf::GlResource
{
private:
    TransientContextLock lock;
};

// All uniform values are read before the shader is created, so a bad one skips the whole entry
// instead of leaving a half-configured shader registered.
UniformValues readUniforms(const nlohmann::json& entry)
{
    UniformValues uniforms;
    if (!entry.contains(Uniforms.name) || entry.at(Uniforms.name).is_null())
        return uniforms;
    const nlohmann::json& members = entry.at(Uniforms.name);
    if (!members.is_object())
        throw nlohmann::json::type_error::create(302, std::string("type must be object, but is ") + members.type_name(),
                                                 &members);
    for (const auto& member : members.items())
        uniforms.emplace_back(member.key(), jsonFloat(member.value()));
    return uniforms;
}
} // namespace

ShaderManager::ShaderManager(TextureManager& textures) : textures(textures) {}

ShaderManager& ShaderManager::instance()
{
    static ShaderManager manager(TextureManager::instance());
    return manager;
}

bool ShaderManager::load(const std::string& path)
{
    return loadCatalog(path, Component, Format.topLevel, "Missing properties in shadersfile.",
                       [this](const std::string& key, const nlohmann::json& entry) { loadEntry(key, entry); });
}

void ShaderManager::loadEntry(const std::string& key, const nlohmann::json& entry)
{
    if (!hasRequired(Component, key, entry, Fragment.name))
        return;
    guardEntry(Component, key, [&] {
        const std::string fragment = keyString(entry, Fragment);
        const UniformValues uniforms = readUniforms(entry);
        const std::string textureKey = keyString(entry, Texture);

        sf::Shader* shader = addShader(key, fragment);
        if (!shader)
            return;
        shader->setUniform("currentTexture", sf::Shader::CurrentTexture);
        if (!textureKey.empty())
        {
            if (const sf::Texture* texture = textures.getTexture(textureKey))
                shader->setUniform("inputTexture", *texture);
        }
        for (const auto& uniform : uniforms)
            shader->setUniform(uniform.first, uniform.second);
        recordUniforms(*shader);
    });
}

void ShaderManager::recordUniforms(sf::Shader& shader)
{
    // The catalog set some values; the others are what the shader's source gives them.
    ContextLock lock;
    const GLuint program = shader.getNativeHandle();
    GLint count = 0;
    GLint longest = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    glGetProgramiv(program, GL_ACTIVE_UNIFORM_MAX_LENGTH, &longest);
    std::string name(static_cast<std::size_t>(std::max(longest, 1)), '\0');
    for (GLint i = 0; i < count; ++i)
    {
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, static_cast<GLuint>(i), static_cast<GLsizei>(name.size()), &length, &size, &type,
                           &name[0]);
        if (type != GL_FLOAT)
            continue;
        // An array is listed once, as its first element; each element can be set by its name.
        const std::string listed(name.data(), static_cast<std::size_t>(length));
        const std::string array = listed.substr(0, listed.find('['));
        for (GLint element = 0; element < size; ++element)
        {
            const std::string uniform = size > 1 ? array + "[" + std::to_string(element) + "]" : listed;
            const GLint location = glGetUniformLocation(program, uniform.c_str());
            if (location < 0)
                continue;
            GLfloat value = 0.f;
            glGetUniformfv(program, location, &value);
            asLoaded.push_back({&shader, uniform, value});
        }
    }
}

std::vector<sf::Shader*> ShaderManager::all() const
{
    std::vector<sf::Shader*> list;
    for (const auto& entry : shaders)
        list.push_back(entry.second.get());
    return list;
}

void ShaderManager::restart()
{
    for (const FloatUniform& uniform : asLoaded)
        uniform.shader->setUniform(uniform.name, uniform.value);
}

void ShaderManager::saveUniforms(std::vector<float>& out) const
{
    ContextLock lock;
    out.clear();
    for (const FloatUniform& uniform : asLoaded)
    {
        const GLuint program = uniform.shader->getNativeHandle();
        GLfloat value = 0.f;
        glGetUniformfv(program, glGetUniformLocation(program, uniform.name.c_str()), &value);
        out.push_back(value);
    }
}

void ShaderManager::restoreUniforms(const std::vector<float>& values)
{
    for (std::size_t i = 0; i < values.size() && i < asLoaded.size(); ++i)
        asLoaded[i].shader->setUniform(asLoaded[i].name, values[i]);
}

sf::Shader* ShaderManager::addShader(const std::string& key, const std::string& fragmentPath)
{
    if (hasShader(key))
    {
        Problem::report(Problem(Component) << "Shader with key " << key << " already exists.");
        return nullptr;
    }
    auto shader = std::make_unique<sf::Shader>();
    if (!loadFiles(*shader, VertexFile, fragmentPath))
    {
        Problem::report(Problem(Component).file(fragmentPath) << "Unable to load file " << fragmentPath << ".");
        return nullptr;
    }
    sf::Shader* registered = shader.get();
    shaders.emplace(key, std::move(shader));
    return registered;
}

bool ShaderManager::loadFiles(sf::Shader& shader, const std::string& vertexPath, const std::string& fragmentPath)
{
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(vertexPath, ignored) ||
        !std::filesystem::is_regular_file(fragmentPath, ignored))
        return false;
    return shader.loadFromFile(vertexPath, fragmentPath);
}

bool ShaderManager::hasShader(const std::string& key) const
{
    return shaders.find(key) != shaders.end();
}

sf::Shader* ShaderManager::getShader(const std::string& key)
{
    const auto found = shaders.find(key);
    if (found == shaders.end())
    {
        Problem::report(Problem(Component) << "Shader with key " << key << " does not exist.");
        return nullptr;
    }
    return found->second.get();
}

void ShaderManager::clear()
{
    asLoaded.clear();
    shaders.clear();
}

std::string ShaderManager::keyOf(const sf::Shader* shader) const
{
    for (const auto& entry : shaders)
        if (entry.second.get() == shader)
            return entry.first;
    return std::string();
}
