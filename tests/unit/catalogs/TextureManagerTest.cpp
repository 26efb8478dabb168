#include "catalogs/TextureManager.hpp"

#include <SFML/Graphics/Image.hpp>
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

// Each test gets a fresh catalog and a fresh folder of image and catalog files. The graphics
// library's own error lines go to a side buffer so that the catalog's lines can be compared exactly.
class TextureManagerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        static int counter = 0;
        dir = fs::temp_directory_path() /
              ("kestrune_textures_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(dir);
        sfmlErrors = sf::err().rdbuf(sfmlOutput.rdbuf());
    }

    void TearDown() override
    {
        sf::err().rdbuf(sfmlErrors);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    std::string image(const std::string& name, unsigned width = 4, unsigned height = 2) const
    {
        sf::Image picture;
        picture.create(width, height, sf::Color::Blue);
        EXPECT_TRUE(picture.saveToFile(path(name)));
        return path(name);
    }

    std::string catalog(const std::string& text) const
    {
        std::ofstream(path("textures.json")) << text;
        return path("textures.json");
    }

    // Loads a catalog text and returns what went to standard error.
    std::string loadErrors(const std::string& text, bool expected = true)
    {
        const std::string file = catalog(text);
        CaptureStderr();
        EXPECT_EQ(textures.load(file), expected);
        return GetCapturedStderr();
    }

    fs::path dir;
    TextureManager textures;
    std::ostringstream sfmlOutput;
    std::streambuf* sfmlErrors = nullptr;
};
} // namespace

TEST_F(TextureManagerTest, LoadsEntriesInByteOrderOfKeys)
{
    const std::string errors = loadErrors(R"({"textures": {"a": {"file": ")" + path("a.png") +
                                          R"("}, "B": {"file": ")" + path("B.png") + R"("}}})");
    EXPECT_EQ(errors, "TextureManager: Unable to load file " + path("B.png") +
                          ".\nTextureManager: Unable to load file " + path("a.png") + ".\n");
}

TEST_F(TextureManagerTest, RepeatedDefaultsToFalse)
{
    const std::string file = image("tile.png", 4, 2);
    const std::string errors = loadErrors(R"({"textures": {"plain": {"file": ")" + file + R"("}, )" +
                                          R"("tiled": {"file": ")" + file + R"(", "repeated": true}}})");
    EXPECT_EQ(errors, "");

    sf::Texture* plain = textures.getTexture("plain");
    sf::Texture* tiled = textures.getTexture("tiled");
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(tiled, nullptr);
    EXPECT_FALSE(plain->isRepeated());
    EXPECT_TRUE(tiled->isRepeated());
    EXPECT_FALSE(plain->isSmooth());
    EXPECT_EQ(plain->getSize(), sf::Vector2u(4, 2));
    EXPECT_NE(plain, tiled);
    EXPECT_EQ(textures.getTexture("plain"), plain);
}

TEST_F(TextureManagerTest, EntryThatIsNotAnObjectLacksFile)
{
    const std::string file = image("ok.png");
    const std::string errors = loadErrors(R"({"textures": {"a": "x.png", "b": 5, "c": {"file": ")" + file +
                                          R"("}, "d": {"repeated": true}, "e": null}})");
    EXPECT_EQ(errors, "TextureManager: Missing FILE property for [a]\n"
                      "TextureManager: Missing FILE property for [b]\n"
                      "TextureManager: Missing FILE property for [d]\n"
                      "TextureManager: Missing FILE property for [e]\n");
    EXPECT_TRUE(textures.hasTexture("c"));
    EXPECT_FALSE(textures.hasTexture("a"));
    EXPECT_FALSE(textures.hasTexture("d"));
}

TEST_F(TextureManagerTest, UnloadableImageIsAbsentAndLookupReportsMiss)
{
    std::ofstream(path("broken.png")) << "not an image";
    const std::string errors = loadErrors(R"({"textures": {"broken": {"file": ")" + path("broken.png") + R"("}}})");
    EXPECT_EQ(errors, "TextureManager: Unable to load file " + path("broken.png") + ".\n");
    EXPECT_FALSE(textures.hasTexture("broken"));

    CaptureStderr();
    EXPECT_EQ(textures.getTexture("broken"), nullptr);
    EXPECT_EQ(GetCapturedStderr(), "TextureManager: Texture with key broken does not exist.\n");
    EXPECT_FALSE(textures.hasTexture("broken"));
}

TEST_F(TextureManagerTest, ArrayIsKeyedByIndex)
{
    const std::string file = image("ok.png");
    EXPECT_EQ(loadErrors(R"({"textures": [{"file": ")" + file + R"("}, "x", {"file": ")" + file + R"("}]})"),
              "TextureManager: Missing FILE property for [1]\n");
    EXPECT_TRUE(textures.hasTexture("0"));
    EXPECT_FALSE(textures.hasTexture("1"));
    EXPECT_TRUE(textures.hasTexture("2"));
}

TEST_F(TextureManagerTest, EmptyOrNullTexturesLoadNothing)
{
    EXPECT_EQ(loadErrors(R"({"textures": {}})"), "");
    EXPECT_EQ(loadErrors(R"({"textures": null, "other": 1})"), "");
}

TEST_F(TextureManagerTest, MissingTexturesKeyFailsWithTwoLines)
{
    const std::string expected = "validateJson: Missing prop: textures.\n"
                                 "TextureManager: Missing properties in texturesfile.\n";
    EXPECT_EQ(loadErrors(R"({"sprites": {}})", false), expected);
    EXPECT_EQ(loadErrors(R"([{"textures": {}}])", false), expected);
}

TEST_F(TextureManagerTest, UnopenableCatalogFails)
{
    CaptureStderr();
    EXPECT_FALSE(textures.load(path("nowhere.json")));
    EXPECT_EQ(GetCapturedStderr(), "TextureManager: Unable to open file " + path("nowhere.json") + ".\n");
}

TEST_F(TextureManagerTest, DuplicateKeepsFirstTexture)
{
    const std::string wide = image("wide.png", 8, 1);
    const std::string tall = image("tall.png", 1, 8);
    CaptureStderr();
    EXPECT_TRUE(textures.addTexture("t", wide, false));
    sf::Texture* first = textures.getTexture("t");
    EXPECT_FALSE(textures.addTexture("t", tall, true));
    EXPECT_EQ(GetCapturedStderr(), "TextureManager: Texture with key t already exists.\n");
    EXPECT_EQ(textures.getTexture("t"), first);
    EXPECT_EQ(first->getSize(), sf::Vector2u(8, 1));
    EXPECT_FALSE(first->isRepeated());
}

TEST_F(TextureManagerTest, TypeErrorsSkipOnlyTheirEntry)
{
    const std::string file = image("ok.png");
    const std::string errors =
        loadErrors(R"({"textures": {"a": {"file": 5}, "b": {"file": ")" + file + R"(", "repeated": "yes"}, )" +
                   R"("c": {"file": ")" + file + R"(", "repeated": 1}, "d": {"file": ")" + file + R"("}}})");
    EXPECT_EQ(errors, "TextureManager: Skipping [a]: [json.exception.type_error.302] type must be string, but is "
                      "number\n"
                      "TextureManager: Skipping [b]: [json.exception.type_error.302] type must be boolean, but is "
                      "string\n"
                      "TextureManager: Skipping [c]: [json.exception.type_error.302] type must be boolean, but is "
                      "number\n");
    EXPECT_FALSE(textures.hasTexture("a"));
    EXPECT_FALSE(textures.hasTexture("b"));
    EXPECT_FALSE(textures.hasTexture("c"));
    EXPECT_TRUE(textures.hasTexture("d"));
}
