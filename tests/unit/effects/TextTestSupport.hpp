#pragma once

#include <SFML/Graphics/Font.hpp>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace texttest
{
constexpr float Step = 1.f / 60.f;

// The font bundled with the demo, found from this file so that any working directory will do.
inline std::string fontPath()
{
    return (std::filesystem::path(__FILE__).parent_path() / "../../../assets/fonts/DejaVuSans.ttf")
        .lexically_normal()
        .string();
}

inline const sf::Font& bundledFont()
{
    static sf::Font font;
    static const bool loaded = font.loadFromFile(fontPath());
    EXPECT_TRUE(loaded) << fontPath();
    return font;
}
} // namespace texttest
