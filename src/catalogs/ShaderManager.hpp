#pragma once

#include "catalogs/DemoPaths.hpp"
#include "catalogs/JsonFormat.hpp"

#include <SFML/Graphics/Shader.hpp>

#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class TextureManager;

// The keys of assets/shaders.json and its entries.
namespace ShaderKeys
{
inline constexpr JsonKey Fragment{"fragment", JsonType::String, true};
inline constexpr JsonKey Texture{"texture", JsonType::String, false};
inline constexpr JsonKey Uniforms{"uniforms", JsonType::Object, false};
inline constexpr JsonKey Keys[] = {Fragment, Texture, Uniforms};
inline constexpr JsonFormat Format{"shaders", Keys};
} // namespace ShaderKeys

// Catalog of fragment shaders (all paired with one vertex file), filled once from "assets/shaders.json".
class ShaderManager
{
public:
    static constexpr const char* VertexFile = DemoPaths::Vertex;

    explicit ShaderManager(TextureManager& textures);
    static ShaderManager& instance();

    bool load(const std::string& path);
    // Forgets every entry, so that author mode can read the catalog again; nothing may point into
    // it any more.
    void clear();
    sf::Shader* addShader(const std::string& key, const std::string& fragmentPath);
    bool hasShader(const std::string& key) const;
    // The key of a shader of the catalog ("" when it is none of them).
    std::string keyOf(const sf::Shader* shader) const;
    // Every shader of the catalog, in no particular order.
    std::vector<sf::Shader*> all() const;

    // The shared shader, or null after "ShaderManager: Shader with key <key> does not exist.".
    sf::Shader* getShader(const std::string& key);

    // sf::Shader::loadFromFile, for regular files only: the library sizes its buffer by seeking
    // to the end of the file, which on some file systems gives a folder an end near 2^63 and
    // ends the program in a failed allocation.
    static bool loadFiles(sf::Shader& shader, const std::string& vertexPath, const std::string& fragmentPath);

    // Every float uniform of every shader back to its value after loading: the script changes
    // them (object_set_uniform, uniform tweens), and a rewind to the start undoes that.
    void restart();
    // The current value of every float uniform restart() knows, read back from the shaders, and
    // back (a snapshot of a playing demo).
    void saveUniforms(std::vector<float>& out) const;
    void restoreUniforms(const std::vector<float>& values);

private:
    struct FloatUniform
    {
        sf::Shader* shader;
        std::string name;
        float value;
    };

    void loadEntry(const std::string& key, const nlohmann::json& entry);
    // Reads back the value of every active float uniform of the shader.
    void recordUniforms(sf::Shader& shader);

    TextureManager& textures;
    std::unordered_map<std::string, std::unique_ptr<sf::Shader>> shaders;
    std::vector<FloatUniform> asLoaded;
};
