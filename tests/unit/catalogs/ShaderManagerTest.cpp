#include "catalogs/ShaderManager.hpp"
#include "catalogs/TextureManager.hpp"

#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/Sprite.hpp>
#include <SFML/System/Err.hpp>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace
{
namespace fs = std::filesystem;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

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
void main()
{
    gl_FragColor = vec4(amount, speed, 0.0, 1.0);
}
)";

// Shows the catalog texture bound to "inputTexture" instead of the drawn one.
const char* const InputFragment = R"(#version 120
uniform sampler2D inputTexture;
void main()
{
    gl_FragColor = texture2D(inputTexture, gl_TexCoord[0].xy);
}
)";

// The shader catalog names its vertex file relative to the working directory, so each test runs
// inside a fresh folder holding "assets/shaders/passthrough.vert" and its fragment files.
class ShaderManagerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        static int counter = 0;
        dir = fs::temp_directory_path() /
              ("kestrune_shaders_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(dir / "assets" / "shaders");
        previousDir = fs::current_path();
        fs::current_path(dir);
        sfmlErrors = sf::err().rdbuf(sfmlOutput.rdbuf());

        write(ShaderManager::VertexFile, PassthroughVertex);
        write("color.frag", ColorFragment);
        write("input.frag", InputFragment);
        write("broken.frag", "#version 120\nvoid main() { gl_FragColor = nonsense; }\n");
        addTexture("red", sf::Color::Red);
        addTexture("green", sf::Color::Green);
    }

    void TearDown() override
    {
        sf::err().rdbuf(sfmlErrors);
        fs::current_path(previousDir);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    static void write(const std::string& name, const std::string& text) { std::ofstream(name) << text; }

    void addTexture(const std::string& key, const sf::Color& color)
    {
        sf::Image picture;
        picture.create(4, 4, color);
        ASSERT_TRUE(picture.saveToFile(key + ".png"));
        ASSERT_TRUE(textures.addTexture(key, key + ".png", false));
    }

    std::string loadErrors(const std::string& text, bool expected = true)
    {
        write("shaders.json", text);
        CaptureStderr();
        EXPECT_EQ(shaders.load("shaders.json"), expected);
        return GetCapturedStderr();
    }

    // The colour of a pixel of the red texture drawn through the shader.
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

    fs::path dir;
    fs::path previousDir;
    TextureManager textures;
    ShaderManager shaders{textures};
    std::ostringstream sfmlOutput;
    std::streambuf* sfmlErrors = nullptr;
};
} // namespace

TEST_F(ShaderManagerTest, SetsFloatUniformsAtLoad)
{
    ASSERT_TRUE(sf::Shader::isAvailable());
    EXPECT_EQ(loadErrors(R"({"shaders": {"mix": {"fragment": "color.frag",
                                                 "uniforms": {"speed": 0.5, "amount": true}}}})"),
              "");
    const sf::Color color = drawnThrough("mix");
    EXPECT_EQ(color.r, 255);
    EXPECT_NEAR(color.g, 128, 1);
    EXPECT_EQ(color.b, 0);
}

TEST_F(ShaderManagerTest, BindsCatalogTextureAsInputTexture)
{
    EXPECT_EQ(loadErrors(R"({"shaders": {"tint": {"fragment": "input.frag", "texture": "green"}}})"), "");
    EXPECT_EQ(drawnThrough("tint"), sf::Color::Green);
}

TEST_F(ShaderManagerTest, EmptyTextureMakesNoLookup)
{
    EXPECT_EQ(loadErrors(R"({"shaders": {"plain": {"fragment": "color.frag", "texture": ""},
                                         "bare": {"fragment": "color.frag", "uniforms": null}}})"),
              "");
    EXPECT_TRUE(shaders.hasShader("plain"));
    EXPECT_TRUE(shaders.hasShader("bare"));
}

TEST_F(ShaderManagerTest, UnknownTextureIsReportedAndShaderStillRegistered)
{
    EXPECT_EQ(loadErrors(R"({"shaders": {"tint": {"fragment": "input.frag", "texture": "blue"}}})"),
              "TextureManager: Texture with key blue does not exist.\n");
    EXPECT_TRUE(shaders.hasShader("tint"));
}

TEST_F(ShaderManagerTest, FailingFragmentLeavesKeyUnregistered)
{
    EXPECT_EQ(loadErrors(R"({"shaders": {"bad": {"fragment": "broken.frag", "texture": "green"},
                                         "gone": {"fragment": "absent.frag"},
                                         "good": {"fragment": "color.frag"}}})"),
              "ShaderManager: Unable to load file broken.frag.\n"
              "ShaderManager: Unable to load file absent.frag.\n");
    EXPECT_FALSE(shaders.hasShader("bad"));
    EXPECT_FALSE(shaders.hasShader("gone"));
    EXPECT_TRUE(shaders.hasShader("good"));

    CaptureStderr();
    EXPECT_EQ(shaders.getShader("bad"), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "ShaderManager: Shader with key bad does not exist.\n");
}

TEST_F(ShaderManagerTest, MissingFragmentIsReportedPerEntry)
{
    EXPECT_EQ(loadErrors(R"({"shaders": {"a": {"texture": "green"}, "b": "color.frag",
                                         "c": {"fragment": "color.frag"}}})"),
              "ShaderManager: Missing FRAGMENT property for [a]\n"
              "ShaderManager: Missing FRAGMENT property for [b]\n");
    EXPECT_FALSE(shaders.hasShader("a"));
    EXPECT_TRUE(shaders.hasShader("c"));
}

TEST_F(ShaderManagerTest, DuplicateKeepsRegisteredShader)
{
    CaptureStderr();
    sf::Shader* first = shaders.addShader("s", "color.frag");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(shaders.addShader("s", "input.frag"), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "ShaderManager: Shader with key s already exists.\n");
    EXPECT_EQ(shaders.getShader("s"), first);
}

TEST_F(ShaderManagerTest, TypeErrorsSkipOnlyTheirEntry)
{
    EXPECT_EQ(loadErrors(R"({"shaders": {"a": {"fragment": 1},
                                         "b": {"fragment": "color.frag", "uniforms": {"amount": 1, "speed": "fast"}},
                                         "c": {"fragment": "color.frag", "uniforms": [0.5]},
                                         "d": {"fragment": "color.frag", "texture": 5},
                                         "e": {"fragment": "color.frag", "uniforms": {"amount": 0.25}}}})"),
              "ShaderManager: Skipping [a]: [json.exception.type_error.302] type must be string, but is number\n"
              "ShaderManager: Skipping [b]: [json.exception.type_error.302] type must be number, but is string\n"
              "ShaderManager: Skipping [c]: [json.exception.type_error.302] type must be object, but is array\n"
              "ShaderManager: Skipping [d]: [json.exception.type_error.302] type must be string, but is number\n");
    EXPECT_FALSE(shaders.hasShader("a"));
    EXPECT_FALSE(shaders.hasShader("b"));
    EXPECT_FALSE(shaders.hasShader("c"));
    EXPECT_FALSE(shaders.hasShader("d"));
    EXPECT_TRUE(shaders.hasShader("e"));
}

TEST_F(ShaderManagerTest, CatalogLevelFailures)
{
    EXPECT_EQ(loadErrors(R"({"shader": {}})", false),
              "validateJson: Missing prop: shaders.\nShaderManager: Missing properties in shadersfile.\n");

    CaptureStderr();
    EXPECT_FALSE(shaders.load("absent.json"));
    EXPECT_EQ(GetCapturedStderr(), "ShaderManager: Unable to open file absent.json.\n");

    CaptureStderr();
    EXPECT_EQ(shaders.getShader("nothing"), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "ShaderManager: Shader with key nothing does not exist.\n");
}
