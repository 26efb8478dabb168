#include "author/AuthorOverlay.hpp"

#include <SFML/Graphics/RenderTexture.hpp>

#include <gtest/gtest.h>

namespace
{
// Pixels of the region that are brighter than the dark plate: drawn letters.
int lightPixels(const sf::Image& image, unsigned x0, unsigned y0, unsigned x1, unsigned y1)
{
    int count = 0;
    for (unsigned y = y0; y < y1; ++y)
        for (unsigned x = x0; x < x1; ++x)
            count += image.getPixel(x, y).r > 128 ? 1 : 0;
    return count;
}
} // namespace

TEST(AuthorOverlay, DrawsReadableTextWithTheBuiltInFont)
{
    AuthorOverlay overlay;
    ASSERT_TRUE(overlay.load());
    sf::RenderTexture target;
    ASSERT_TRUE(target.create(800, 600));
    target.clear(sf::Color::White);
    overlay.drawStatus(target, {"12.350 s  step 741  paused"});
    overlay.drawProblems(target, {});
    target.display();
    const sf::Image image = target.getTexture().copyToImage();
    // The plate darkens the white corner, and the letters on it are light again.
    EXPECT_LT(image.getPixel(20, 20).r, 128);
    EXPECT_GT(lightPixels(image, 26, 26, 260, 50), 20);
    EXPECT_LT(lightPixels(image, 26, 26, 260, 50), 260 * 24 / 2);
    // Nothing is drawn for an empty problem list: the bottom stays white.
    EXPECT_EQ(image.getPixel(20, 590), sf::Color::White);
}
