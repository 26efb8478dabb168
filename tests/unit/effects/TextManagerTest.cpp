#include "effects/TextManager.hpp"
#include "catalogs/CatalogTestSupport.hpp"
#include "catalogs/SpriteManager.hpp"
#include "catalogs/TextureManager.hpp"
#include "effects/ParticleManager.hpp"
#include "effects/TextTestSupport.hpp"

namespace
{
class TextManagerTest : public TempFolderTest
{
protected:
    Console load(const std::string& text, bool expected = true)
    {
        write("text.json", text);
        return captured([&] { EXPECT_EQ(texts.load("text.json"), expected); });
    }

    // A description of the bundled font with extra members.
    static std::string description(const std::string& extra = "")
    {
        return R"({"font": ")" + texttest::fontPath() + R"(", "size": 30)" + (extra.empty() ? "" : ", " + extra) + "}";
    }

    TextSystem* system(const std::string& key)
    {
        TextSystem* found = nullptr;
        EXPECT_EQ(captured([&] { found = texts.getTextSystem(key); }), Console());
        return found;
    }

    TextureManager textures;
    SpriteManager sprites{textures};
    ParticleManager particles{sprites};
    TextManager texts{particles};
};

const std::string NotMade = "TextSystem: Unable to create textsystem. Bad JSON formatting.\n";
const std::string TypeError = ": [json.exception.type_error.302] ";
} // namespace

TEST_F(TextManagerTest, BrokenCatalogFiles)
{
    EXPECT_EQ(captured([&] { EXPECT_FALSE(texts.load("none.json")); }),
              errLines("TextManager: Unable to open file none.json.\n"));
    EXPECT_EQ(load(R"({"texts": {}})", false),
              errLines("validateJson: Missing prop: textsystems.\nTextManager: Missing properties in textsfile.\n"));
    EXPECT_EQ(load("", false), errLines("TextManager: Error while parsing JSON.\n" + parseErrorOf("") +
                                        "\nvalidateJson: Missing prop: textsystems.\n"
                                        "TextManager: Missing properties in textsfile.\n"));
}

TEST_F(TextManagerTest, BadDescriptionsAreLeftOutAndTheOthersLoad)
{
    EXPECT_EQ(load(R"({"textsystems": {"ok": )" + description() + R"(, "a": {"size": 10}, "e": 5,
                      "b": {"font": "missing.ttf", "size": 10},
                      "c": )" +
                   description(R"("duration": "long")") + R"(,
                      "d": )" +
                   description(R"("fade_out": 1)") + R"(,
                      "f": )" +
                   description(R"("particles_in": 3)") + R"(,
                      "g": )" +
                   description(R"("num_instances": 100000)") + R"(,
                      "h": {"font": ")" +
                   texttest::fontPath() + R"(", "size": 30000},
                      "i": )" +
                   description(R"("outlinecolor_width": -5000)") + R"(,
                      "z": )" +
                   description(R"("particles_out": "sparks", "particles_in": "")") + "}}"),
              errLines("validateJson: Missing prop: font.\nTextSystem: Missing properties in textdata.\n" + NotMade +
                       "TextSystem: Missing FONT property.\n" + NotMade + "TextManager: Skipping [c]" + TypeError +
                       "type must be number, but is string\n"
                       "TextManager: Skipping [d]" +
                       TypeError + "type must be boolean, but is number\n" + "validateJson: Missing prop: font.\n" +
                       "TextSystem: Missing properties in textdata.\n" + NotMade + "TextManager: Skipping [f]" +
                       TypeError + "type must be string, but is number\n" + "TextManager: Skipping [g]" + TypeError +
                       "number 100000 is out of the range of 0 to 10000 instances\n" + "TextManager: Skipping [h]" +
                       TypeError + "number 30000 is out of the range of 0 to 2048 pixels\n" +
                       "TextManager: Skipping [i]" + TypeError +
                       "number -5000 is out of the range of -256 to 256 pixels\n" +
                       "ParticleManager: ParticleSystem with key sparks does not exist.\n"));
    EXPECT_NE(sfmlOutput.str().find("missing.ttf"), std::string::npos) << "the library's own report comes first";

    EXPECT_EQ(captured([&] { EXPECT_EQ(texts.getTextSystem("b"), nullptr); }),
              errLines("TextManager: No such text system [b]\n"));
    ASSERT_NE(system("ok"), nullptr);
    TextSystem* z = system("z");
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(z->instances[0]->style.particles_out, nullptr);
    EXPECT_EQ(captured([&] { texts.create("ok", nlohmann::json::parse(description())); }),
              errLines("TextSystem: TextSystem with key ok already exists.\n"));
}

TEST_F(TextManagerTest, DefaultsAndConversions)
{
    EXPECT_EQ(load(R"({"textsystems": {"plain": {"font": ")" + texttest::fontPath() + R"(", "size": 33.9},
                      "styled": )" +
                   description(R"("fillcolor_r": 300, "fillcolor_g": 12.9, "fillcolor_b": true,
                          "outlinecolor_width": 2.7, "ease_in": 9.5, "fade_in": true, "delay": 0.25,
                          "num_instances": 2, "num_particles_in": 3.9)") +
                   R"(,
                      "none": )" +
                   description(R"("num_instances": -3)") + "}}"),
              Console());

    TextSystem* plain = system("plain");
    ASSERT_NE(plain, nullptr);
    ASSERT_EQ(plain->instances.size(), 5u);
    const TextStyle& defaults = plain->instances[4]->style;
    EXPECT_EQ(defaults.characterSize, 33u);
    EXPECT_EQ(std::make_tuple(defaults.fillR, defaults.fillG, defaults.fillB), std::make_tuple(255, 255, 255));
    EXPECT_EQ(std::make_tuple(defaults.outlineR, defaults.outlineG, defaults.outlineB, defaults.outlineWidth),
              std::make_tuple(0, 0, 0, 0));
    EXPECT_EQ(defaults.duration, 5.f);
    EXPECT_EQ(defaults.fade_duration, 0.5f);
    EXPECT_EQ(std::make_tuple(defaults.letterdelay, defaults.worddelay, defaults.delay, defaults.tween_duration_in,
                              defaults.tween_duration_out, defaults.x_in, defaults.scale_out),
              std::make_tuple(0.f, 0.f, 0.f, 0.f, 0.f, 0.f, 0.f));
    EXPECT_FALSE(defaults.fade_in);
    EXPECT_FALSE(defaults.fade_out);
    EXPECT_EQ(defaults.particles_in, nullptr);
    EXPECT_EQ(defaults.num_particles_out, 0);
    EXPECT_FALSE(plain->instances[0]->busy);
    EXPECT_EQ(plain->instances[0]->remaining, 0.f);

    TextSystem* styled = system("styled");
    ASSERT_NE(styled, nullptr);
    ASSERT_EQ(styled->instances.size(), 2u);
    const TextStyle& style = styled->instances[1]->style;
    EXPECT_EQ(std::make_tuple(style.fillR, style.fillG, style.fillB), std::make_tuple(300, 12, 1));
    EXPECT_EQ(style.outlineWidth, 2);
    EXPECT_EQ(style.ease_in, 9);
    EXPECT_EQ(style.num_particles_in, 3);
    EXPECT_TRUE(style.fade_in);
    EXPECT_EQ(styled->instances[1]->delay, 0.25f);

    // The letters all start together, white, and show the low 8 bits of the colour.
    styled->display("AB", 0.f, 0.f, 0.f, -1.f);
    EXPECT_EQ(styled->instances[0]->letters[1].delay, 0.f);
    for (int i = 0; i < 30; ++i)
        texts.update(texttest::Step);
    EXPECT_EQ(styled->instances[0]->letters[1].glyph.getFillColor(), sf::Color(44, 12, 1, 255));

    TextSystem* none = system("none");
    ASSERT_NE(none, nullptr);
    EXPECT_TRUE(none->instances.empty());
    EXPECT_EQ(captured([&] { none->display("X", 0.f, 0.f, 0.f, 1.f); }), Console());
}

TEST_F(TextManagerTest, DisplaysGoToTheFirstIdleInstanceAndAreDroppedWhenAllAreBusy)
{
    load(R"({"textsystems": {"two": )" + description(R"("num_instances": 2)") + "}}");
    TextSystem* two = system("two");
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(captured([&] {
                  two->display("first", 0.f, 0.f, 0.f, 0.1f);
                  two->display("second", 0.f, 0.f, 0.f, 1.f);
                  two->display("third", 0.f, 0.f, 0.f, 1.f);
              }),
              Console());
    EXPECT_EQ(two->instances[0]->text, "first");
    EXPECT_EQ(two->instances[1]->text, "second");

    for (int i = 0; i < 10; ++i)
        texts.update(texttest::Step);
    EXPECT_FALSE(two->instances[0]->busy);
    EXPECT_TRUE(two->instances[1]->busy);
    two->display("fourth", 0.f, 0.f, 0.f, 1.f);
    EXPECT_EQ(two->instances[0]->text, "fourth");
}
