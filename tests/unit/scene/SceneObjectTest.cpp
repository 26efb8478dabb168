#include "scene/RenderBuffer.hpp"
#include "scene/SceneObject.hpp"

#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderTexture.hpp>
#include <SFML/Graphics/Shader.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/System/Err.hpp>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace
{
const sf::Texture& texture256x128()
{
    static sf::Texture texture;
    if (texture.getSize().x == 0)
        texture.create(256, 128);
    return texture;
}

SceneObject plainObject()
{
    return SceneObject("obj", &texture256x128(), 0.f, 0.f, 0.f, 0.f, 0.f, 0.f);
}
} // namespace

TEST(SceneObject, CreationTakesWholeTextureUnlessAWidthIsGiven)
{
    SceneObject whole = plainObject();
    whole.update(0.f);
    EXPECT_EQ(whole.textureRect, sf::IntRect(0, 0, 256, 128));
    EXPECT_EQ(whole.sprite.getTextureRect(), sf::IntRect(0, 0, 256, 128));
    EXPECT_EQ(whole.sprite.getOrigin(), sf::Vector2f(0.f, 0.f));
    EXPECT_EQ(whole.sprite.getScale(), sf::Vector2f(1.f, 1.f));
    EXPECT_EQ(whole.sprite.getColor(), sf::Color::White);
    EXPECT_EQ(whole.renderTarget(), nullptr);

    SceneObject zeroWidth("z", &texture256x128(), 3.f, 4.f, 10.f, 20.f, 0.f, 30.f);
    zeroWidth.update(0.f);
    EXPECT_EQ(zeroWidth.textureRect, sf::IntRect(0, 0, 256, 128));
    EXPECT_EQ(zeroWidth.sprite.getOrigin(), sf::Vector2f(3.f, 4.f));

    SceneObject part("p", &texture256x128(), 0.f, 0.f, 10.f, 20.f, 30.f, 40.f);
    part.update(0.f);
    EXPECT_EQ(part.textureRect, sf::IntRect(10, 20, 30, 40));

    RenderBuffer buffer("b", 64, 32);
    buffer.update(0.f);
    ASSERT_NE(buffer.renderTarget(), nullptr);
    EXPECT_EQ(buffer.sprite.getTexture(), &buffer.renderTarget()->getTexture());
    EXPECT_EQ(buffer.textureRect, sf::IntRect(0, 0, 64, 32));
}

TEST(SceneObject, UpdateWritesPropertiesIntoSpriteAndClampsAlphaAboveOnly)
{
    SceneObject object = plainObject();
    object.set(Property::X, 5.f);
    object.set(Property::Alpha, 2.f);
    EXPECT_EQ(object.sprite.getPosition().x, 0.f); // setters act at the next update
    object.set(Property::Rotation, 30.f);
    object.set(Property::ScaleY, 2.f);
    object.set(Property::OriginX, 7.f);
    object.update(0.f);
    EXPECT_EQ(object.alpha, 1.f);
    EXPECT_EQ(object.sprite.getColor().a, 255);
    EXPECT_EQ(object.sprite.getPosition(), sf::Vector2f(5.f, 0.f));
    EXPECT_EQ(object.sprite.getRotation(), 30.f);
    EXPECT_EQ(object.sprite.getScale(), sf::Vector2f(1.f, 2.f));
    EXPECT_EQ(object.sprite.getOrigin(), sf::Vector2f(7.f, 0.f));

    object.set(Property::Alpha, -1e20f); // no lower clamp; colour stays defined
    object.set(Property::RectW, 1e20f);
    object.set(Property::RectH, std::numeric_limits<float>::quiet_NaN());
    object.update(0.f);
    EXPECT_EQ(object.alpha, -1e20f);
    EXPECT_EQ(object.sprite.getColor().a, 0);
    EXPECT_EQ(object.textureRect, sf::IntRect(0, 0, 0, 0));
}

TEST(SceneObject, RectTweenTruncatesTowardZero)
{
    SceneObject object = plainObject();
    object.set(Property::RectW, 0.f);
    object.startTween(Property::RectW, 10.9f, 1.f, Easing::Linear, 1, false, 0);
    std::vector<int> widths;
    while (object.tween(Property::RectW).running)
    {
        object.update(0.05f);
        widths.push_back(object.textureRect.width);
    }
    EXPECT_EQ(widths.back(), 10);
    for (int w = 0; w <= 10; ++w)
        EXPECT_NE(std::find(widths.begin(), widths.end(), w), widths.end()) << w;
    EXPECT_EQ(std::count(widths.begin(), widths.end(), 11), 0);
}

TEST(SceneObject, TweenOwnsItsPropertyAndRestartsFromReachedValue)
{
    SceneObject object = plainObject();
    object.startTween(Property::X, 100.f, 1.f, Easing::Linear, 1, false, 0);
    for (int i = 0; i < 30; ++i)
        object.update(1.f / 60.f);
    const float reached = object.x;
    EXPECT_NEAR(reached, 50.f, 0.01f);
    object.set(Property::X, 999.f);
    object.update(0.f);
    EXPECT_EQ(object.x, reached);

    object.startTween(Property::X, 0.f, 1.f, Easing::Linear, 1, false, 0);
    EXPECT_EQ(object.tween(Property::X).from, reached);
    object.update(0.5f);
    EXPECT_NEAR(object.x, reached / 2.f, 0.01f);

    object.startTween(Property::Alpha, 3.f, 1.f, Easing::Linear, 1, false, 0);
    object.update(0.5f);
    EXPECT_EQ(object.alpha, 1.f); // 2 clamped, the tween itself goes on
    EXPECT_EQ(object.tween(Property::Alpha).value, 2.f);
}

TEST(SceneObject, UniformTweensTakeFreeSlotsAndReachTheShaderInSlotOrderOnlyWhenDrawn)
{
    sf::Shader shader;
    ASSERT_TRUE(shader.loadFromMemory("uniform float v;\nvoid main() { gl_FragColor = vec4(v, 0.0, 0.0, 1.0); }",
                                      sf::Shader::Fragment));
    sf::RenderTexture target;
    ASSERT_TRUE(target.create(4, 4));
    const auto drawnRed = [&](SceneObject& object) {
        object.draw(target);
        target.display();
        return static_cast<int>(target.getTexture().copyToImage().getPixel(0, 0).r);
    };
    // The shader has only "v"; the library's line for each other name is not this test's business.
    std::streambuf* const libraryErrors = sf::err().rdbuf(nullptr);
    SceneObject object = plainObject();
    object.shader = &shader;
    object.setUniform("v", 0.4f);
    EXPECT_NEAR(drawnRed(object), 102, 1);

    object.shader = nullptr;
    object.startUniformTween("v", 0.f, 1.f, 1.f, 0, 1, false, 0);
    object.startUniformTween("w", 0.f, 1.f, 0.01f, 0, 1, false, 0);
    for (int i = 2; i < SceneObject::UniformSlots; ++i)
        object.startUniformTween("u" + std::to_string(i), 0.f, 1.f, 1.f, 0, 1, false, 0);
    object.startUniformTween("u5", 0.f, 1.f, 1.f, 0, 1, false, 0); // all five busy: dropped
    for (const auto& slot : object.uniformTweens)
        EXPECT_NE(slot.name, "u5");
    object.update(0.5f);
    object.draw(target); // without shader nothing is evaluated
    EXPECT_TRUE(object.uniformTweens[1].tween.running);
    EXPECT_EQ(object.uniformTweens[0].tween.value, 0.f);

    object.shader = &shader;
    EXPECT_NEAR(drawnRed(object), 128, 1);
    EXPECT_FALSE(object.uniformTweens[1].tween.running);
    EXPECT_NEAR(drawnRed(object), 128, 1); // a second draw evaluates at the same elapsed time
    object.startUniformTween("v", 0.2f, 0.2f, 10.f, 0, 1, false, 0);
    EXPECT_EQ(object.uniformTweens[1].name, "v"); // the slot freed by the ended tween
    EXPECT_NEAR(drawnRed(object), 51, 1);         // both slots set "v"; the later one stays
    sf::err().rdbuf(libraryErrors);
}

TEST(SceneObject, PlayingAnimationOverridesRectUntilItEndsOrAFileIsLoaded)
{
    const auto path = std::filesystem::temp_directory_path() / ("kestrune_sceneobject_anim-" + std::to_string(getpid()) + ".json");
    std::ofstream(path) << R"({"animations":{"walk":{"loop":false,"frames":[{"x":10,"y":20,"w":30,"h":40,"d":0.1}]}}})";
    SceneObject object = plainObject();
    testing::internal::CaptureStdout();
    object.loadAnimations(path.string());
    object.playAnimation("walk");
    object.set(Property::RectX, 50.f);
    object.update(1.f / 60.f);
    EXPECT_EQ(object.textureRect, sf::IntRect(10, 20, 30, 40));
    // Loading a file stops the animator and forgets its animation, whatever the load gives.
    object.loadAnimations(path.string());
    EXPECT_TRUE(!object.animator.playing && object.animator.animation == nullptr);
    EXPECT_EQ(object.animator.collection, &object.animations);
    object.update(0.f);
    EXPECT_EQ(object.textureRect, sf::IntRect(50, 0, 256, 128));
    object.playAnimation("walk");
    object.update(1.f / 60.f);
    EXPECT_EQ(object.textureRect, sf::IntRect(10, 20, 30, 40));
    object.update(0.1f);
    testing::internal::GetCapturedStdout();
    std::filesystem::remove(path);
    EXPECT_FALSE(object.animator.playing);
    EXPECT_EQ(object.textureRect, sf::IntRect(50, 0, 256, 128));
}

TEST(SceneObject, UnknownShaderKeyIsReportedOnceAndDropsShader)
{
    sf::Shader shader;
    SceneObject object = plainObject();
    object.shader = &shader;
    testing::internal::CaptureStderr();
    object.setShader("no_such_shader");
    object.setUniform("u", 1.f); // no shader: ignored silently
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ShaderManager: Shader with key no_such_shader does not exist.\n");
    EXPECT_EQ(object.shader, nullptr);
}
