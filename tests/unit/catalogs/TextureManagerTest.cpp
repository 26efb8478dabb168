#include "catalogs/TextureManager.hpp"
#include "catalogs/CatalogTestSupport.hpp"

namespace
{
class TextureManagerTest : public TempFolderTest
{
protected:
    Console load(const std::string& text, bool expected = true)
    {
        write("textures.json", text);
        return captured([&] { EXPECT_EQ(textures.load("textures.json"), expected); });
    }

    TextureManager textures;
};
} // namespace

TEST_F(TextureManagerTest, LoadsEntriesInKeyOrderAndSkipsTheBadOnes)
{
    image("tile.png", 4, 2);
    write("broken.png", "not an image");
    const std::string skip = ": [json.exception.type_error.302] type must be ";
    EXPECT_EQ(load(R"({"textures": {"z": {"file": "broken.png"}, "plain": {"file": "tile.png"},
                      "tiled": {"file": "tile.png", "repeated": true}, "a": "x.png", "b": 5, "c": {"repeated": true},
                      "d": null, "B": {"file": "absent.png"}, "t1": {"file": 5},
                      "t2": {"file": "tile.png", "repeated": "yes"}, "t3": {"file": "tile.png", "repeated": 1}},
                      "x": 1})"),
              errLines("TextureManager: Unable to load file absent.png.\n"
                       "TextureManager: Missing FILE property for [a]\n"
                       "TextureManager: Missing FILE property for [b]\n"
                       "TextureManager: Missing FILE property for [c]\n"
                       "TextureManager: Missing FILE property for [d]\n"
                       "TextureManager: Skipping [t1]" +
                       skip +
                       "string, but is number\n"
                       "TextureManager: Skipping [t2]" +
                       skip +
                       "boolean, but is string\n"
                       "TextureManager: Skipping [t3]" +
                       skip +
                       "boolean, but is number\n"
                       "TextureManager: Unable to load file broken.png.\n"));

    sf::Texture* plain = textures.getTexture("plain");
    sf::Texture* tiled = textures.getTexture("tiled");
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(tiled, nullptr);
    EXPECT_NE(plain, tiled);
    EXPECT_EQ(textures.getTexture("plain"), plain);
    EXPECT_EQ(plain->getSize(), sf::Vector2u(4, 2));
    EXPECT_FALSE(plain->isRepeated());
    EXPECT_FALSE(plain->isSmooth());
    EXPECT_TRUE(tiled->isRepeated());

    // A lookup miss reports and never inserts.
    for (int i = 0; i < 2; ++i)
    {
        EXPECT_EQ(captured([&] { EXPECT_EQ(textures.getTexture("z"), nullptr); }),
                  errLines("TextureManager: Texture with key z does not exist.\n"));
        EXPECT_FALSE(textures.hasTexture("z"));
    }
    for (const char* key : {"a", "b", "c", "d", "B", "t1", "t2", "t3"})
        EXPECT_FALSE(textures.hasTexture(key)) << key;
}

TEST_F(TextureManagerTest, ArrayNullAndScalarCatalogs)
{
    image("ok.png");
    EXPECT_EQ(load(R"({"textures": [{"file": "ok.png"}, "x", {"file": "ok.png"}]})"),
              errLines("TextureManager: Missing FILE property for [1]\n"));
    EXPECT_TRUE(textures.hasTexture("0"));
    EXPECT_FALSE(textures.hasTexture("1"));
    EXPECT_TRUE(textures.hasTexture("2"));

    // Null has no members; any other scalar is one member with the empty key.
    TextureManager other;
    write("empty.json", R"({"textures": {}})");
    write("null.json", R"({"textures": null})");
    write("scalar.json", R"({"textures": 5})");
    EXPECT_EQ(captured([&] {
                  EXPECT_TRUE(other.load("empty.json"));
                  EXPECT_TRUE(other.load("null.json"));
                  EXPECT_TRUE(other.load("scalar.json"));
              }),
              errLines("TextureManager: Missing FILE property for []\n"));
}

TEST_F(TextureManagerTest, CatalogLevelFailures)
{
    const std::string missingKey = "validateJson: Missing prop: textures.\n"
                                   "TextureManager: Missing properties in texturesfile.\n";
    EXPECT_EQ(load(R"({"sprites": {}})", false), errLines(missingKey));
    EXPECT_EQ(load(R"([{"textures": {}}])", false), errLines(missingKey));
    EXPECT_EQ(captured([&] { EXPECT_FALSE(textures.load("nowhere.json")); }),
              errLines("TextureManager: Unable to open file nowhere.json.\n"));

    // Broken before the first complete value: the document stays null.
    EXPECT_EQ(load("", false),
              errLines("TextureManager: Error while parsing JSON.\n" + parseErrorOf("") + "\n" + missingKey));

    // Cut off after the key of a third entry: the complete ones still load.
    image("one.png");
    const std::string partial = R"({"textures": {"a": {"file": "one.png"}, "b": {"file": "one.png"}, "c":)";
    EXPECT_EQ(load(partial), errLines("TextureManager: Error while parsing JSON.\n" + parseErrorOf(partial) +
                                      "\nTextureManager: Missing FILE property for [c]\n"));
    EXPECT_TRUE(textures.hasTexture("a"));
    EXPECT_TRUE(textures.hasTexture("b"));
    EXPECT_FALSE(textures.hasTexture("c"));

    // A second registration of a key keeps the first texture.
    image("tall.png", 1, 8);
    sf::Texture* first = textures.getTexture("a");
    EXPECT_EQ(captured([&] { EXPECT_FALSE(textures.addTexture("a", "tall.png", true)); }),
              errLines("TextureManager: Texture with key a already exists.\n"));
    EXPECT_EQ(textures.getTexture("a"), first);
    EXPECT_EQ(first->getSize(), sf::Vector2u(2, 2));
    EXPECT_FALSE(first->isRepeated());
}

TEST_F(TextureManagerTest, KnowsWhichTexturesAreFullyOpaque)
{
    image("solid.png", 3, 2, sf::Color(10, 20, 30, 255));
    image("glass.png", 3, 2, sf::Color(10, 20, 30, 254));
    load(R"({"textures": {"solid": {"file": "solid.png"}, "glass": {"file": "glass.png"}}})");
    EXPECT_TRUE(textures.isOpaque(textures.getTexture("solid")));
    EXPECT_FALSE(textures.isOpaque(textures.getTexture("glass")));
    EXPECT_FALSE(textures.isOpaque(nullptr));
}

// A PNG whose header claims 30000 x 30000 pixels is refused before anything is decoded (the
// file holds no pixel data at all).
TEST_F(TextureManagerTest, RefusesImagesLargerThanTheLargestTexture)
{
    std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
    for (int side = 0; side < 2; ++side)
        png += std::string("\0\0\x75\x30", 4); // 30000, big-endian
    png += std::string("\x08\0\0\0\0\0\0\0\0", 9);
    write("huge.png", png);
    const std::string largest = std::to_string(sf::Texture::getMaximumSize());
    EXPECT_EQ(captured([&] { EXPECT_FALSE(textures.addTexture("huge", "huge.png", false)); }),
              errLines("TextureManager: Image huge.png is 30000 x 30000 pixels, more than the largest texture (" +
                       largest + " x " + largest + ").\nTextureManager: Unable to load file huge.png.\n"));
    EXPECT_FALSE(textures.hasTexture("huge"));
}
