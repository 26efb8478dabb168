#pragma once

#include <SFML/Graphics/Shader.hpp>

#include <nlohmann/json_fwd.hpp>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class TextureManager;

// Catalog of fragment shaders (all paired with one vertex file), filled once from "assets/shaders.json".
class ShaderManager
{
public:
    static constexpr const char* VertexFile = "assets/shaders/passthrough.vert";

    explicit ShaderManager(TextureManager& textures);
    static ShaderManager& instance();

    bool load(const std::string& path);
    sf::Shader* addShader(const std::string& key, const std::string& fragmentPath);
    bool hasShader(const std::string& key) const;

    // The shared shader, or null after "ShaderManager: Shader with key <key> does not exist.".
    sf::Shader* getShader(const std::string& key);

    // Every float uniform of every shader back to its value after loading: the script changes
    // them (object_set_uniform, uniform tweens), and a rewind to the start undoes that.
    void restart();

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
