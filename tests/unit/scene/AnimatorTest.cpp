#include "scene/Animator.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace
{
constexpr float Step = 1.f / 60.f;

std::string stderrOf(const std::function<void()>& action)
{
    testing::internal::CaptureStderr();
    action();
    return testing::internal::GetCapturedStderr();
}

// An animator on a collection filled in memory; frame i has the rectangle (i, 10i, 16, 32).
class AnimatorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        add("blink", true, {0.04f, 0.1f, 0.04f});
        add("once", false, {0.04f, 0.1f, 0.04f});
        animator.attach(&collection);
    }

    void add(const std::string& name, bool loop, std::initializer_list<float> durations)
    {
        auto animation = std::make_unique<Animation>();
        animation->loop = loop;
        for (float d : durations)
        {
            const auto i = static_cast<std::int32_t>(animation->frames.size());
            animation->frames.push_back(std::make_unique<AnimationFrame>(AnimationFrame{i, 10 * i, 16, 32, d}));
        }
        collection.animations[name] = std::move(animation);
    }

    std::vector<int> indexAfterEachStep(int updates)
    {
        std::vector<int> indices;
        for (int i = 0; i < updates; ++i)
        {
            animator.update(Step);
            indices.push_back(animator.index);
        }
        return indices;
    }

    AnimationCollection collection;
    Animator animator;
};
} // namespace

TEST_F(AnimatorTest, FramesCarryTheirOvershootUntilTheLastFrame)
{
    animator.play("blink");
    EXPECT_EQ(animator.timeLeft, 0.04f);
    EXPECT_EQ(indexAfterEachStep(14), (std::vector<int>{0, 0, 1, 1, 1, 1, 1, 1, 2, 2, 0, 0, 0, 1}));
    EXPECT_TRUE(animator.playing);
    EXPECT_EQ(animator.frameRect(), sf::IntRect(1, 10, 16, 32));

    // Playing the current animation again restarts it.
    animator.play("blink");
    EXPECT_EQ(animator.index, 0);
    EXPECT_EQ(animator.timeLeft, 0.04f);

    animator.update(0.3f);
    EXPECT_EQ(animator.index, 1);
    EXPECT_NEAR(animator.timeLeft, 0.02f, 1e-6f);

    // A whole cycle shorter than the step still carries its time: 0.004 - 1/60 lands on frame 1.
    add("flicker", true, {0.004f, 0.006f});
    animator.play("flicker");
    animator.update(Step);
    EXPECT_EQ(animator.index, 1);
    EXPECT_NEAR(animator.timeLeft, 0.003333f, 1e-6f);

    // Without looping it stops after the last frame, which stays current.
    animator.play("once");
    EXPECT_EQ(indexAfterEachStep(10).back(), 2);
    EXPECT_TRUE(animator.playing);
    animator.update(Step);
    EXPECT_FALSE(animator.playing);
    EXPECT_EQ(animator.index, 3);
    EXPECT_EQ(animator.frame, collection.animations["once"]->frames[2].get());
}

TEST_F(AnimatorTest, FailedPlayReportsAndChangesLittle)
{
    Animator unattached;
    EXPECT_EQ(stderrOf([&] { unattached.play("blink"); }),
              "Animator: Unable to play animations since no AnimationCollection has been added.\n");
    EXPECT_FALSE(unattached.playing);
    EXPECT_EQ(stderrOf([&] { unattached.setupFrame(); }), "Animator: No animation. Can't setup frame.\n");

    // An unknown name forgets the animation but keeps the playing flag; the object stays on the
    // frame it showed, quietly.
    animator.play("blink");
    indexAfterEachStep(3);
    EXPECT_EQ(stderrOf([&] { animator.play("x"); }),
              "AnimationCollection: No animation with name [x] exists in this collection.\nERROR!!!!\n");
    EXPECT_EQ(animator.animation, nullptr);
    EXPECT_TRUE(animator.playing);
    EXPECT_EQ(stderrOf([&] {
                  animator.update(1.f);
                  EXPECT_EQ(animator.frameRect(), sf::IntRect(1, 10, 16, 32));
              }),
              "");
    EXPECT_EQ(animator.index, 1);

    // An animation without frames has nothing to play.
    add("empty", true, {});
    EXPECT_EQ(stderrOf([&] { animator.play("empty"); }), "Animator: No animation frame. can't setup frame\n");
    EXPECT_FALSE(animator.playing);
    EXPECT_EQ(stderrOf([&] { animator.update(Step); }), "");

    // Loading animations stops and forgets the current one.
    animator.play("blink");
    AnimationCollection other;
    animator.attach(&other);
    EXPECT_EQ(animator.collection, &other);
    EXPECT_EQ(animator.animation, nullptr);
    EXPECT_EQ(animator.frame, nullptr);
    EXPECT_FALSE(animator.playing);
    EXPECT_EQ(stderrOf([&] { animator.play("blink"); }),
              "AnimationCollection: No animation with name [blink] exists in this collection.\nERROR!!!!\n");

    // Should anything leave it playing without a frame, the empty rectangle is used.
    animator.playing = true;
    EXPECT_EQ(stderrOf([&] { EXPECT_EQ(animator.frameRect(), sf::IntRect(0, 0, 0, 0)); }),
              "Animator:: ERROR! Returning nullptr. Should not happen!!\n");
}

TEST_F(AnimatorTest, CyclesThatCannotPayBackTimeNeverHang)
{
    // After one cycle without progress the animator rests on the frame it reached.
    add("still", true, {0.f, 0.f, 0.f});
    animator.play("still");
    indexAfterEachStep(5);
    EXPECT_EQ(animator.index, 0);
    EXPECT_EQ(animator.timeLeft, 0.f);
    EXPECT_TRUE(animator.playing);

    add("backwards", true, {0.03f, -0.1f});
    animator.play("backwards");
    EXPECT_EQ(indexAfterEachStep(4), (std::vector<int>{0, 0, 0, 0}));

    // 1e30 s swamps every frame duration in float arithmetic.
    animator.play("blink");
    animator.update(1e30f);
    EXPECT_EQ(animator.timeLeft, 0.f);

    add("flash", false, {0.f, 0.f});
    animator.play("flash");
    animator.update(Step);
    EXPECT_FALSE(animator.playing);
}
