#include "catalogs/DemoConfig.hpp"
#include "catalogs/CatalogTestSupport.hpp"
#include "catalogs/MusicManager.hpp"

namespace
{
const char* const Loaded = "config.json: Loaded configuration.\n";
const char* const SyntaxError = R"({"fullscreen": true, "vsync": fal)";

std::string ignoring(const char* key, const char* why)
{
    return std::string("config.json: Ignoring key \"") + key +
           "\", keeping its default: [json.exception.type_error.302] " + why + "\n";
}

class DemoConfigTest : public TempFolderTest
{
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        MusicManager& music = MusicManager::instance();
        wasMuted = music.muted;
        volume = music.stream().getVolume();
        music.muted = false;
    }

    void TearDown() override
    {
        MusicManager& music = MusicManager::instance();
        music.muted = wasMuted;
        music.stream().setVolume(volume);
        TempFolderTest::TearDown();
    }

    bool wasMuted = false;
    float volume = 100.f;
};
} // namespace

TEST_F(DemoConfigTest, ReadsEachKeyOverItsDefault)
{
    const struct
    {
        const char* what;
        const char* text; // null: no config.json
        std::string out;
        std::string err;
        bool fullscreen;
        bool music;
        bool vsync;
        const char* title;
    } cases[] = {
        {"a missing file keeps the defaults", nullptr, "", "Config.json missing.\n", false, true, true,
         "Kestrune Demo"},
        {"every key applied, an unknown one ignored",
         R"({"fullscreen": true, "vsync": false, "title": "Night", "other": 3})", Loaded, "", true, true, false,
         "Night"},
        {"a syntax error applies nothing, not even what came before it", SyntaxError, "",
         "config.json: Error while parsing JSON.\n" + parseErrorOf(SyntaxError) + "\n", false, true, true,
         "Kestrune Demo"},
        {"an array holds no keys", "[true, false]", Loaded, "", false, true, true, "Kestrune Demo"},
        {"a number holds no keys", "7", Loaded, "", false, true, true, "Kestrune Demo"},
        {"a wrong type keeps that default and the rest apply, reported in the rows' order",
         R"({"title": ["a"], "vsync": false, "fullscreen": "yes"})", Loaded,
         ignoring("fullscreen", "type must be boolean, but is string") +
             ignoring("title", "type must be string, but is array"),
         false, true, false, "Kestrune Demo"},
        {"music off", R"({"music": false})", Loaded, "", false, false, true, "Kestrune Demo"},
        {"music on", R"({"music": true})", Loaded, "", false, true, true, "Kestrune Demo"},
        {"music as a number is refused", R"({"music": 0})", Loaded,
         ignoring("music", "type must be boolean, but is number"), false, true, true, "Kestrune Demo"},
    };
    for (const auto& c : cases)
    {
        if (c.text)
            write("config.json", c.text);
        else
            std::filesystem::remove("config.json");
        MusicManager::instance().muted = false;
        DemoConfig config;
        const Console console = captured([&] { config.load("config.json"); });
        EXPECT_EQ(console, (Console{c.out, c.err})) << c.what;
        EXPECT_EQ(config.fullscreen, c.fullscreen) << c.what;
        EXPECT_EQ(config.music, c.music) << c.what;
        EXPECT_EQ(config.vsync, c.vsync) << c.what;
        EXPECT_EQ(config.title, c.title) << c.what;
        // "music": false turns the player's stream off as the key is read.
        EXPECT_EQ(MusicManager::instance().muted, !c.music) << c.what;
        if (!c.music)
        {
            EXPECT_EQ(MusicManager::instance().stream().getVolume(), 0.f) << c.what;
        }
    }
}
