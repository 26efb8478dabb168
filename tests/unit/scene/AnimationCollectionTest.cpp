#include "scene/AnimationCollection.hpp"
#include "scene/Animator.hpp"

#include "catalogs/CatalogTestSupport.hpp"

namespace
{
const std::string Skip = "AnimationCollection: Skipping animation [";

class AnimationCollectionTest : public TempFolderTest
{
protected:
    Console load(const std::string& text, bool expected = true)
    {
        write("anim.json", text);
        return captured([&] { EXPECT_EQ(collection.loadFromFile("anim.json"), expected); });
    }

    AnimationCollection collection;
};
} // namespace

TEST_F(AnimationCollectionTest, LoadsAnimationsInKeyOrderLogsThemAndReplacesByName)
{
    EXPECT_EQ(load(R"({"animations": {
        "walk": {"loop": true, "frames": [
            {"x": 0, "y": 0, "w": 32, "h": 48, "d": 0.1},
            {"x": 32.9, "y": -2.7, "w": true, "h": 48, "d": false, "extra": 1}]},
        "Idle": {"loop": false, "frames": {"b": {"x": 2, "y": 0, "w": 1, "h": 1, "d": 1},
                                           "10": {"x": 10, "y": 0, "w": 1, "h": 1, "d": 1}}},
        "empty": {"loop": false, "frames": null}}, "other": 5})"),
              (Console{"Creating animation: [Idle]\n"
                       "  Adding frame 10 :: x=10 y=0 w=1 h=1 d=1\n"
                       "  Adding frame b :: x=2 y=0 w=1 h=1 d=1\n"
                       "Done creating animation Idle\n"
                       "Total number of frames: 2\n"
                       "-----------------------\n"
                       "Creating animation: [empty]\n"
                       "Done creating animation empty\n"
                       "Total number of frames: 0\n"
                       "-----------------------\n"
                       "Creating animation: [walk]\n"
                       "Animation is looping\n"
                       "  Adding frame 0 :: x=0 y=0 w=32 h=48 d=0.1\n"
                       "  Adding frame 1 :: x=32.9 y=-2.7 w=true h=48 d=false\n"
                       "Done creating animation walk\n"
                       "Total number of frames: 2\n"
                       "-----------------------\n",
                       ""}));

    const Animation* walk = collection.find("walk");
    ASSERT_NE(walk, nullptr);
    EXPECT_TRUE(walk->loop);
    ASSERT_EQ(walk->frames.size(), 2u);
    const AnimationFrame& frame = *walk->frames[1];
    EXPECT_EQ(sf::IntRect(frame.x, frame.y, frame.w, frame.h), sf::IntRect(32, -2, 1, 48));
    EXPECT_EQ(frame.d, 0.f);
    EXPECT_EQ(walk->frames[0]->d, 0.1f);
    ASSERT_NE(collection.find("Idle"), nullptr);
    EXPECT_EQ(collection.find("Idle")->frames[0]->x, 10);
    EXPECT_EQ(collection.find("idle"), nullptr);

    Animator animator;
    animator.attach(&collection);
    animator.play("Idle");
    animator.update(1.5f);
    EXPECT_EQ(animator.frameRect(), sf::IntRect(2, 0, 1, 1));

    // A second file adds its animations and replaces those of the same name; another collection
    // loading the same file holds its own copies.
    const Animation* idle = collection.find("Idle");
    load(R"({"animations": {"walk": {"loop": false, "frames": [{"x": 5, "y": 0, "w": 1, "h": 1, "d": 1}]},
                            "run": {"loop": false}}})");
    EXPECT_EQ(collection.animations.size(), 4u);
    ASSERT_EQ(collection.find("walk")->frames.size(), 1u);
    EXPECT_EQ(collection.find("walk")->frames[0]->x, 5);
    EXPECT_EQ(collection.find("Idle"), idle);
    AnimationCollection other;
    captured([&] { EXPECT_TRUE(other.loadFromFile("anim.json")); });
    EXPECT_NE(other.find("walk"), collection.find("walk"));
}

TEST_F(AnimationCollectionTest, FileLevelFailures)
{
    EXPECT_EQ(captured([&] { EXPECT_FALSE(collection.loadFromFile("nowhere.json")); }),
              errLines("AnimationCollection: Unable to open file nowhere.json.\n"));
    EXPECT_EQ(load(R"({"animation": {"a": {"loop": false}}})", false),
              errLines("AnimationCollection: Invalid JSON data.\n"));
    EXPECT_EQ(load("", false), errLines("AnimationCollection: Error while parsing JSON.\n" + parseErrorOf("") +
                                        "\nAnimationCollection: Invalid JSON data.\n"));
    EXPECT_EQ(load(R"({"animations": {}})"), Console());
    EXPECT_TRUE(collection.animations.empty());

    // A file cut off inside its second animation keeps the first.
    const std::string text = R"({"animations": {"a": {"loop": false, "frames": []}, "b": )";
    EXPECT_EQ(load(text).err, "AnimationCollection: Error while parsing JSON.\n" + parseErrorOf(text) + "\n" + Skip +
                                  "b]: [json.exception.type_error.302] type must be boolean, but is null\n");
    EXPECT_NE(collection.find("a"), nullptr);
    EXPECT_EQ(collection.find("b"), nullptr);
}

TEST_F(AnimationCollectionTest, TypeErrorsSkipOnlyTheirAnimation)
{
    const Console console = load(R"({"animations": {"a": {"loop": "yes"}, "b": 5, "c": null, "d": {"loop": false},
        "e": {"loop": false, "frames": [7]},
        "f": {"loop": false, "frames": [{"x": "left", "y": 2, "w": 3, "d": 0.5}]},
        "g": {"loop": false, "frames": [{"x": 3000000000, "y": 0, "w": 1, "h": 1, "d": 1}]},
        "h": {"loop": false, "frames": [{"x": 0, "y": 0, "w": 1, "h": 1, "d": 1e300}]}}})");
    const std::string operatorError = "]: [json.exception.type_error.305] cannot use operator[] with a string "
                                      "argument with number\n";
    const std::string typeError = "]: [json.exception.type_error.302] ";
    EXPECT_EQ(console.err, Skip + "a" + typeError + "type must be boolean, but is string\n" + Skip + "b" +
                               operatorError + Skip + "c" + typeError + "type must be boolean, but is null\n" + Skip +
                               "e" + operatorError +
                               // d, h, w, y, x are read in that order, so the missing h is reported.
                               Skip + "f" + typeError + "type must be number, but is null\n" + Skip + "g" + typeError +
                               "number 3000000000 is out of the 32-bit range\n" + Skip + "h" + typeError +
                               "number 1e+300 is out of the float range\n");
    // A bad loop fails before the animation's first line; a bad frame after its own line.
    EXPECT_EQ(console.out.find("[a]"), std::string::npos);
    EXPECT_NE(console.out.find("Creating animation: [f]\n  Adding frame 0 :: x=\"left\" y=2 w=3 h=null d=0.5\n"),
              std::string::npos);
    EXPECT_EQ(collection.animations.size(), 1u);
    EXPECT_NE(collection.find("d"), nullptr);
}
