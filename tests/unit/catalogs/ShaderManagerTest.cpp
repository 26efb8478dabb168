#include "catalogs/ShaderManager.hpp"
#include "catalogs/CatalogTestSupport.hpp"
#include "catalogs/TextureManager.hpp"

#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/Sprite.hpp>

namespace
{
const char* const PassthroughVertex = R"(#version 120
void main()
{
    gl_Position = gl_ModelViewProjectionMatrix * gl_Vertex;
    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
}
)";

// Shows two float uniforms as the red and green channels.
const char* const ColorFragment = R"(#version 120
uniform float amount;
uniform float speed;
void main() { gl_FragColor = vec4(amount, speed, 0.0, 1.0); }
)";

// A uniform with an initial value in the source, and an array.
const char* const InitialFragment = R"(#version 120
uniform float amount;
uniform float start = 0.25;
uniform float levels[2];
void main() { gl_FragColor = vec4(amount, start, levels[1], 1.0); }
)";

// Shows the catalog texture bound to "inputTexture" instead of the drawn one.
const char* const InputFragment = R"(#version 120
uniform sampler2D inputTexture;
void main() { gl_FragColor = texture2D(inputTexture, gl_TexCoord[0].xy); }
)";

// The shared vertex file sits where the catalog looks for it, beside the fragments and two
// catalog textures, "red" and "green".
class ShaderManagerTest : public TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        std::filesystem::create_directories("assets/shaders");
        write(ShaderManager::VertexFile, PassthroughVertex);
        write("color.frag", ColorFragment);
        write("input.frag", InputFragment);
        write("initial.frag", InitialFragment);
        write("broken.frag", "#version 120\nvoid main() { gl_FragColor = nonsense; }\n");
        ASSERT_TRUE(textures.addTexture("red", image("red.png", 4, 4, sf::Color::Red), false));
        ASSERT_TRUE(textures.addTexture("green", image("green.png", 4, 4, sf::Color::Green), false));
    }

    Console load(const std::string& text, bool expected = true)
    {
        write("shaders.json", text);
        return captured([&] { EXPECT_EQ(shaders.load("shaders.json"), expected); });
    }

    // A pixel of the red texture drawn through the shader.
    sf::Color drawnThrough(const std::string& key)
    {
        sf::Shader* shader = shaders.getShader(key);
        EXPECT_NE(shader, nullptr);
        sf::RenderTexture target;
        EXPECT_TRUE(target.create(4, 4));
        target.clear(sf::Color::Black);
        target.draw(sf::Sprite(*textures.getTexture("red")), sf::RenderStates(shader));
        target.display();
        return target.getTexture().copyToImage().getPixel(1, 1);
    }

    TextureManager textures;
    ShaderManager shaders{textures};
};
} // namespace

TEST_F(ShaderManagerTest, SetsLoadTimeUniforms)
{
    ASSERT_TRUE(sf::Shader::isAvailable());
    // An empty "texture" makes no lookup (it would print a miss line); an unknown one is reported and
    // the shader is registered without "inputTexture".
    EXPECT_EQ(load(R"({"shaders": {"mix": {"fragment": "color.frag", "uniforms": {"speed": 0.5, "amount": true}},
                                   "tint": {"fragment": "input.frag", "texture": "green"},
                                   "plain": {"fragment": "color.frag", "texture": ""},
                                   "bare": {"fragment": "color.frag", "uniforms": null},
                                   "ghost": {"fragment": "input.frag", "texture": "blue"}}})"),
              errLines("TextureManager: Texture with key blue does not exist.\n"));
    const sf::Color mixed = drawnThrough("mix");
    EXPECT_EQ(mixed.r, 255);
    EXPECT_NEAR(mixed.g, 128, 1);
    EXPECT_EQ(mixed.b, 0);
    EXPECT_EQ(drawnThrough("tint"), sf::Color::Green);
    for (const char* key : {"plain", "bare", "ghost"})
        EXPECT_TRUE(shaders.hasShader(key)) << key;
}

// Scripts change uniforms of the shared shaders; a rewind to the start gives every float uniform
// back the value it had after loading: the catalog's, the source's own, or 0.
TEST_F(ShaderManagerTest, RestartGivesUniformsTheirValuesAfterLoading)
{
    load(R"({"shaders": {"mix": {"fragment": "color.frag", "uniforms": {"speed": 0.5}},
                         "initial": {"fragment": "initial.frag", "uniforms": {"amount": 1}}}})");
    const sf::Color mix = drawnThrough("mix");
    const sf::Color initial = drawnThrough("initial");
    EXPECT_EQ(initial.r, 255);
    EXPECT_NEAR(initial.g, 64, 1);
    EXPECT_EQ(initial.b, 0);
    shaders.getShader("mix")->setUniform("speed", 1.f);
    shaders.getShader("mix")->setUniform("amount", 1.f);
    shaders.getShader("initial")->setUniform("amount", 0.f);
    shaders.getShader("initial")->setUniform("start", 1.f);
    shaders.getShader("initial")->setUniform("levels[1]", 1.f);
    EXPECT_EQ(drawnThrough("initial"), sf::Color(0, 255, 255));
    shaders.restart();
    EXPECT_EQ(drawnThrough("mix"), mix);
    EXPECT_EQ(drawnThrough("initial"), initial);
}

TEST_F(ShaderManagerTest, FailuresLeaveTheKeyUnregistered)
{
    const std::string skip = ": [json.exception.type_error.302] type must be ";
    EXPECT_EQ(load(R"({"shaders": {"bad": {"fragment": "broken.frag", "texture": "green"},
                     "gone": {"fragment": "absent.frag"}, "good": {"fragment": "color.frag"},
                     "dir": {"fragment": "assets/shaders"},
                     "a": {"texture": "green"}, "b": "color.frag", "t1": {"fragment": 1},
                     "t2": {"fragment": "color.frag", "uniforms": {"amount": 1, "speed": "fast"}},
                     "t3": {"fragment": "color.frag", "uniforms": [0.5]},
                     "t4": {"fragment": "color.frag", "texture": 5}}})"),
              errLines("ShaderManager: Missing FRAGMENT property for [a]\n"
                       "ShaderManager: Missing FRAGMENT property for [b]\n"
                       "ShaderManager: Unable to load file broken.frag.\n"
                       "ShaderManager: Unable to load file assets/shaders.\n"
                       "ShaderManager: Unable to load file absent.frag.\n"
                       "ShaderManager: Skipping [t1]" +
                       skip +
                       "string, but is number\n"
                       "ShaderManager: Skipping [t2]" +
                       skip +
                       "number, but is string\n"
                       "ShaderManager: Skipping [t3]" +
                       skip +
                       "object, but is array\n"
                       "ShaderManager: Skipping [t4]" +
                       skip + "string, but is number\n"));
    EXPECT_TRUE(shaders.hasShader("good"));
    for (const char* key : {"a", "b", "bad", "dir", "gone", "t1", "t2", "t3", "t4"})
    {
        EXPECT_EQ(captured([&] { EXPECT_EQ(shaders.getShader(key), nullptr); }),
                  errLines(std::string("ShaderManager: Shader with key ") + key + " does not exist.\n"));
        EXPECT_FALSE(shaders.hasShader(key)) << key;
    }

    sf::Shader* good = shaders.getShader("good");
    EXPECT_EQ(captured([&] { EXPECT_EQ(shaders.addShader("good", "input.frag"), nullptr); }),
              errLines("ShaderManager: Shader with key good already exists.\n"));
    EXPECT_EQ(shaders.getShader("good"), good);

    EXPECT_EQ(load(R"({"shader": {}})", false),
              errLines("validateJson: Missing prop: shaders.\nShaderManager: Missing properties in shadersfile.\n"));
    EXPECT_EQ(captured([&] { EXPECT_FALSE(shaders.load("absent.json")); }),
              errLines("ShaderManager: Unable to open file absent.json.\n"));
}
