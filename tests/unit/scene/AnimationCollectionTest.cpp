#include "scene/AnimationCollection.hpp"
#include "scene/Animator.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

namespace
{
namespace fs = std::filesystem;

const std::string Skip = "AnimationCollection: Skipping animation [";

// Writes animation files into a fresh temporary folder and captures both console streams.
class AnimationCollectionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        directory = fs::temp_directory_path() / ("kestrune_anim_" + std::to_string(::getpid()));
        fs::remove_all(directory);
        fs::create_directories(directory);
    }

    void TearDown() override { fs::remove_all(directory); }

    bool load(const std::string& text)
    {
        const std::string path = (directory / "anim.json").string();
        std::ofstream(path) << text;
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const bool loaded = collection.loadFromFile(path);
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
        return loaded;
    }

    fs::path directory;
    AnimationCollection collection;
    std::string out;
    std::string err;
};

std::string parseErrorText(const std::string& text)
{
    try
    {
        std::istringstream stream(text);
        nlohmann::json document;
        stream >> document;
    }
    catch (const nlohmann::json::exception& error)
    {
        return error.what();
    }
    return "no error";
}
} // namespace

TEST_F(AnimationCollectionTest, LoadsAnimationsInKeyOrderAndLogsThem)
{
    ASSERT_TRUE(load(R"({"animations": {
        "walk": {"loop": true, "frames": [
            {"x": 0, "y": 0, "w": 32, "h": 48, "d": 0.1},
            {"x": 32.9, "y": -2.7, "w": true, "h": 48, "d": false, "extra": 1}]},
        "Idle": {"loop": false, "frames": {"b": {"x": 2, "y": 0, "w": 1, "h": 1, "d": 1},
                                           "10": {"x": 10, "y": 0, "w": 1, "h": 1, "d": 1}}},
        "empty": {"loop": false, "frames": null}}, "other": 5})"));
    EXPECT_EQ(out, "Creating animation: [Idle]\n"
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
                   "-----------------------\n");
    EXPECT_EQ(err, "");

    const Animation* walk = collection.find("walk");
    ASSERT_NE(walk, nullptr);
    EXPECT_TRUE(walk->loop);
    ASSERT_EQ(walk->frames.size(), 2u);
    const AnimationFrame& frame = *walk->frames[1];
    EXPECT_EQ(sf::IntRect(frame.x, frame.y, frame.w, frame.h), sf::IntRect(32, -2, 1, 48));
    EXPECT_EQ(frame.d, 0.f);
    EXPECT_FLOAT_EQ(walk->frames[0]->d, 0.1f);
    ASSERT_NE(collection.find("Idle"), nullptr);
    EXPECT_EQ(collection.find("Idle")->frames[0]->x, 10);
    EXPECT_EQ(collection.find("idle"), nullptr);
}

TEST_F(AnimationCollectionTest, FileLevelFailures)
{
    const std::string missing = (directory / "nowhere.json").string();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(collection.loadFromFile(missing));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "AnimationCollection: Unable to open file " + missing + ".\n");

    EXPECT_FALSE(load(R"({"animation": {"a": {"loop": false}}})"));
    EXPECT_EQ(err, "AnimationCollection: Invalid JSON data.\n");
    EXPECT_EQ(out, "");

    EXPECT_FALSE(load(""));
    EXPECT_EQ(err, "AnimationCollection: Error while parsing JSON.\n" + parseErrorText("") +
                       "\nAnimationCollection: Invalid JSON data.\n");
    EXPECT_TRUE(collection.animations.empty());

    EXPECT_TRUE(load(R"({"animations": {}})"));
    EXPECT_TRUE(collection.animations.empty());
}

TEST_F(AnimationCollectionTest, TruncatedFileKeepsItsCompleteAnimations)
{
    const std::string text = R"({"animations": {"a": {"loop": false, "frames": []}, "b": )";
    EXPECT_TRUE(load(text));
    EXPECT_EQ(err, "AnimationCollection: Error while parsing JSON.\n" + parseErrorText(text) + "\n" + Skip +
                       "b]: [json.exception.type_error.302] type must be boolean, but is null\n");
    EXPECT_NE(collection.find("a"), nullptr);
    EXPECT_EQ(collection.find("b"), nullptr);
}

TEST_F(AnimationCollectionTest, TypeErrorsSkipOnlyTheirAnimation)
{
    EXPECT_TRUE(load(R"({"animations": {"a": {"loop": "yes"}, "b": 5, "c": null, "d": {"loop": false},
        "e": {"loop": false, "frames": [7]},
        "f": {"loop": false, "frames": [{"x": "left", "y": 2, "w": 3, "d": 0.5}]},
        "g": {"loop": false, "frames": [{"x": 3000000000, "y": 0, "w": 1, "h": 1, "d": 1}]},
        "h": {"loop": false, "frames": [{"x": 0, "y": 0, "w": 1, "h": 1, "d": 1e300}]}}})"));
    const std::string operatorError = "]: [json.exception.type_error.305] cannot use operator[] with a string "
                                      "argument with number\n";
    const std::string typeError = "]: [json.exception.type_error.302] ";
    EXPECT_EQ(err, Skip + "a" + typeError + "type must be boolean, but is string\n" +
                       Skip + "b" + operatorError +
                       Skip + "c" + typeError + "type must be boolean, but is null\n" +
                       Skip + "e" + operatorError +
                       // d, h, w, y, x are read in that order, so the missing h is reported.
                       Skip + "f" + typeError + "type must be number, but is null\n" +
                       Skip + "g" + typeError + "number 3000000000 is out of the 32-bit range\n" +
                       Skip + "h" + typeError + "number 1e+300 is out of the float range\n");
    // A bad loop fails before the animation's first line; a bad frame after its own line.
    EXPECT_EQ(out.find("[a]"), std::string::npos);
    EXPECT_NE(out.find("Creating animation: [f]\n  Adding frame 0 :: x=\"left\" y=2 w=3 h=null d=0.5\n"),
              std::string::npos);
    EXPECT_EQ(collection.animations.size(), 1u);
    EXPECT_NE(collection.find("d"), nullptr);
}

TEST_F(AnimationCollectionTest, SecondLoadAddsAndReplacesByName)
{
    ASSERT_TRUE(load(R"({"animations": {"a": {"loop": false, "frames": [{"x": 1, "y": 0, "w": 1, "h": 1, "d": 1}]},
                                         "b": {"loop": false}}})"));
    const Animation* firstB = collection.find("b");
    ASSERT_TRUE(load(R"({"animations": {"a": {"loop": true, "frames": [
        {"x": 5, "y": 0, "w": 1, "h": 1, "d": 1}, {"x": 6, "y": 0, "w": 1, "h": 1, "d": 1}]},
        "c": {"loop": false}}})"));
    EXPECT_EQ(collection.animations.size(), 3u);
    ASSERT_EQ(collection.find("a")->frames.size(), 2u);
    EXPECT_EQ(collection.find("a")->frames[0]->x, 5);
    EXPECT_EQ(collection.find("b"), firstB);

    AnimationCollection other;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(other.loadFromFile((directory / "anim.json").string()));
    testing::internal::GetCapturedStdout();
    EXPECT_NE(other.find("a"), collection.find("a")); // each collection holds its own copy
}

TEST_F(AnimationCollectionTest, LoadedAnimationPlaysThroughTheAnimator)
{
    ASSERT_TRUE(load(R"({"animations": {"blink": {"loop": true, "frames": [
        {"x": 0, "y": 0, "w": 8, "h": 8, "d": 0.04}, {"x": 8, "y": 0, "w": 8, "h": 8, "d": 0.1},
        {"x": 16, "y": 0, "w": 8, "h": 8, "d": 0.04}]}}})"));
    Animator animator;
    animator.attach(&collection);
    animator.play("blink");
    animator.update(0.3f);
    EXPECT_EQ(animator.frameRect(), sf::IntRect(8, 0, 8, 8));
}
