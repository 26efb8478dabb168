#include "check/CatalogChecker.hpp"

#include <gtest/gtest.h>

namespace
{
struct Checked
{
    Diagnostics diagnostics;
    DemoIndex index;
    CatalogChecker checker{diagnostics, index};

    std::vector<std::string> lines() const
    {
        std::vector<std::string> result;
        for (const Diagnostics::Entry& entry : diagnostics.entries)
            result.push_back(Diagnostics::format(entry));
        return result;
    }
};
} // namespace

TEST(CatalogChecker, EntryRulesAndCrossReferences)
{
    Checked c;
    c.checker.checkTextures("t", R"({"textures": {"sky": {"file": "sky.png"}, "bad": 3}})");
    c.checker.checkSprites(
        "s", R"({"sprites": {"a": {"texture": "sky"}, "b": {"texture": "sky", "rectW": 4, "rectH": true}}})");
    c.checker.checkMusic("m", R"({"music": {"x": {"file": "x.ogg", "volume": 140, "loopTo": false}}})");
    c.checker.checkParticles("p", R"({"particlesystems": {"fire": {"file": "fire.json", "instances": -1}}})");
    c.checker.checkTexts("x", R"({"textsystems": {"t": {"font": "f.ttf", "size": "big", "particles_out": "fire"}}})");
    EXPECT_EQ(c.lines(), (std::vector<std::string>{
                             "t:1:43: error: texture \"bad\": the entry must be an object, not number",
                             "s:1:14: warning: sprite \"a\": the rectangle is empty (rectW or rectH 0), so the sprite "
                             "draws nothing",
                             "m:1:50: error: song \"x\": \"loopTo\" must be a number (not a boolean), not boolean",
                             "m:1:35: warning: song \"x\": the volume lies outside 0..100",
                             "p:1:52: error: particle system \"fire\": \"instances\" must not be negative",
                             "x:1:41: error: text system \"t\": \"size\" must be a number, not string",
                         }));
    EXPECT_EQ(c.index.textures, std::set<std::string>{"sky"});
    EXPECT_EQ(c.index.sprites, (std::set<std::string>{"a", "b"}));
    EXPECT_EQ(c.index.particleFiles.size(), 1u);
}

TEST(CatalogChecker, AnimationFilesAndParticleFiles)
{
    Checked c;
    c.index.sprites = {"star"};
    const std::set<std::string> names = c.checker.checkAnimationFile(
        "a", R"({"animations": {"idle": {"loop": true}, "run": {"loop": "yes", "frames": []},
                 "zero": {"loop": true, "frames": [{"x": 0, "y": 0, "w": 1, "h": 1, "d": 0}]}}})");
    EXPECT_EQ(names, (std::set<std::string>{"idle", "run", "zero"}));
    c.checker.checkAnimationFile("b", R"({"anims": {}})");
    c.checker.checkParticleFile("f", R"(["not", "an", "object"])");
    EXPECT_EQ(c.lines(), (std::vector<std::string>{
                             "a:1:17: warning: animation \"idle\": has no frames",
                             "a:1:49: error: animation \"run\": \"loop\" must be a boolean, not string",
                             "a:2:18: warning: animation \"zero\": loops over frames whose durations add up to 0",
                             "b:1:1: error: missing top-level key \"animations\"; nothing in this file is loaded",
                             "f:1:1: error: a particle system must be an object, not array",
                         }));
}

// The player skips an entry whose number its reader cannot hold; the checker says so instead of
// converting the value itself (a rectW of 7.7e29 once did, with undefined behaviour).
TEST(CatalogChecker, NumbersBeyondWhatThePlayerReads)
{
    Checked c;
    c.index.textures = {"sky"};
    c.checker.checkSprites("s", R"({"sprites": {"a": {"texture": "sky", "rectW": 7.7e29, "rectH": 1},
                                                "b": {"texture": "sky", "originX": 1e39},
                                                "c": {"texture": "sky", "rectW": 0.5, "rectH": -0.9}}})");
    c.checker.checkShaders("h", R"({"shaders": {"w": {"fragment": "w.frag", "uniforms": {"k": -1e300}}}})");
    c.checker.checkTexts("x", R"({"textsystems": {"t": {"font": "f.ttf", "size": 2049, "outlinecolor_width": -257}}})");
    EXPECT_EQ(c.lines(),
              (std::vector<std::string>{
                  "s:1:38: error: sprite \"a\": \"rectW\" 7.7e+29 is out of the 32-bit range, so the player "
                  "skips this entry",
                  "s:2:73: error: sprite \"b\": \"originX\" 1e+39 is out of the float range, so the player "
                  "skips this entry",
                  "s:3:49: warning: sprite \"c\": the rectangle is empty (rectW or rectH 0), so the sprite "
                  "draws nothing",
                  "h:1:55: error: shader \"w\": uniform \"k\" -1e+300 is out of the float range, so the player "
                  "skips this entry",
                  "x:1:41: error: text system \"t\": \"size\" 2049 is out of the range of 0 to 2048 pixels, so "
                  "the player skips this entry",
                  "x:1:55: error: text system \"t\": \"outlinecolor_width\" -257 is out of the range of -256 "
                  "to 256 pixels, so the player skips this entry",
              }));
}

// The checker takes a text style's limits from the loader's own description of the keys: what the
// player skips is an error, a count of 0 or below only means no instances.
TEST(CatalogChecker, TextStyleLimitsAreTheLoaders)
{
    Checked c;
    c.checker.checkTexts("x", R"({"textsystems": {"a": {"font": "f.ttf", "size": 2048, "num_instances": 10001},
                                                  "b": {"font": "f.ttf", "size": -0.5, "num_instances": -3}}})");
    EXPECT_EQ(c.lines(), (std::vector<std::string>{
                             "x:1:55: error: text system \"a\": \"num_instances\" 10001 is out of the range of 0 to "
                             "10000 instances, so the player skips this entry",
                         }));
}

// What only showed while playing: a uniform the shader does not declare, and the mistakes of a
// particle file named by a catalog that does not parse.
TEST(CatalogChecker, UndeclaredUniformsAndFilesOfABrokenCatalog)
{
    Checked c;
    c.checker.readText = [](const std::string& path, std::string& text) {
        text = "uniform sampler2D texture; // uniform float hidden;\nuniform highp float amount, wave[2];";
        return path == "w.frag";
    };
    c.checker.probe = [](const std::string& path, CatalogChecker::FileKind) {
        return path == "gone.json" ? "file \"" + path + "\" does not exist" : std::string();
    };
    c.checker.checkShaders("h", R"({"shaders": {"w": {"fragment": "w.frag", "uniforms": {"amout": 1, "wave": 0}}}})");
    c.checker.checkParticles("assets/particles.json",
                             R"({"particlesystems": {"fire": {"file": "fire.json" "instances": 1},
                                                         "gone": {"file": "gone.json"}}})");
    // "gone" may be in the part of the catalog the syntax error cut off: only the error is reported.
    c.checker.checkTexts("x", R"({"textsystems": {"t": {"font": "f.ttf", "size": 9, "particles_out": "gone"}}})");
    EXPECT_EQ(c.lines(),
              (std::vector<std::string>{
                  "h:1:55: error: shader \"w\": uniform \"amout\" is not declared in w.frag (it declares "
                  "amount, texture, wave), so setting it does nothing",
                  "assets/particles.json:1:61: error: JSON syntax error: syntax error while parsing object - "
                  "unexpected string literal; expected '}'",
              }));
    EXPECT_EQ(c.index.uniforms.at("w"), (std::set<std::string>{"amount", "texture", "wave"}));
    ASSERT_EQ(c.index.particleFiles.size(), 1u) << "the file that exists is checked next";
    EXPECT_EQ(c.index.particleFiles[0].second, "fire.json");
}

TEST(CatalogChecker, AFileThatDoesNotLoadIsWhatItsEntryIsAbout)
{
    Checked c;
    c.checker.probe = [](const std::string& path, CatalogChecker::FileKind) {
        return path == "bad.png" ? "file \"bad.png\" cannot be loaded as an image" : std::string();
    };
    c.checker.checkTextures("assets/textures.json", R"({"textures": {"bad": {"file": "bad.png"},
        "good": {"file": "good.png"}, "typed": {"file": 3}}})");
    ASSERT_EQ(c.diagnostics.entries.size(), 2u) << testing::PrintToString(c.lines());
    // Placed at the catalog's entry, as --check says it, but about the file it names.
    EXPECT_EQ(c.diagnostics.entries[0].path, "assets/textures.json");
    EXPECT_EQ(c.diagnostics.entries[0].about, "bad.png");
    // A fault of the catalog itself is about the catalog.
    EXPECT_EQ(c.diagnostics.entries[1].about, "");
}
