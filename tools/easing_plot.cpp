// Draws every easing curve of the player into one PNG, and prints a table of sample values,
// both computed by the player's own ease(), so the script reference cannot show another curve.
//
// usage: easing_plot OUT.png    writes the picture
//        easing_plot --table    prints the Markdown table of samples the reference holds

#include "motion/Tween.hpp"

#include <SFML/Graphics/Image.hpp>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace
{
constexpr EasingType None = -1;

// Rows of the picture: in, out, in-out of each family; linear on its own row. Every curve of the
// easing table has its panel (checked when the table is printed).
const EasingType Grid[7][3] = {
    {Easing::Linear, None, None},
    {Easing::InSine, Easing::OutSine, Easing::InOutSine},
    {Easing::InCubic, Easing::OutCubic, Easing::InOutCubic},
    {Easing::InBack, Easing::OutBack, Easing::InOutBack},
    {Easing::InCircular, Easing::OutCircular, Easing::InOutCircular},
    {Easing::InExpo, Easing::OutExpo, Easing::InOutExpo},
    {Easing::InBounce, Easing::OutBounce, Easing::InOutBounce},
};

// The table's name for people: "in_out_sine" reads "in-out sine".
std::string readable(const char* name)
{
    std::string text = name;
    for (char& c : text)
        c = c == '_' ? ' ' : c;
    const std::string::size_type inOut = text.find("in out");
    if (inOut != std::string::npos)
        text[inOut + 2] = '-';
    return text;
}

constexpr unsigned PanelW = 220;
constexpr unsigned PanelH = 170;
constexpr unsigned Margin = 14;
// Values from -0.5 to 1.5 fit the overshoot of the back curves.
constexpr float Low = -0.5f;
constexpr float High = 1.5f;

// 3 x 5 pixel digits, one row of three bits per entry, top row first.
const unsigned char Digits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

void fillRect(sf::Image& image, unsigned x, unsigned y, unsigned w, unsigned h, sf::Color colour)
{
    for (unsigned yy = y; yy < y + h && yy < image.getSize().y; ++yy)
        for (unsigned xx = x; xx < x + w && xx < image.getSize().x; ++xx)
            image.setPixel(xx, yy, colour);
}

void drawNumber(sf::Image& image, unsigned x, unsigned y, int number, sf::Color colour)
{
    const std::string text = std::to_string(number);
    constexpr unsigned Scale = 4;
    for (char c : text)
    {
        const unsigned char* rows = Digits[c - '0'];
        for (unsigned row = 0; row < 5; ++row)
            for (unsigned col = 0; col < 3; ++col)
                if (rows[row] & (4u >> col))
                    fillRect(image, x + col * Scale, y + row * Scale, Scale, Scale, colour);
        x += 4 * Scale;
    }
}

void drawPanel(sf::Image& image, unsigned left, unsigned top, EasingType easing)
{
    const unsigned plotW = PanelW - 2 * Margin;
    const unsigned plotH = PanelH - 2 * Margin;
    const unsigned x0 = left + Margin;
    const unsigned y0 = top + Margin;
    fillRect(image, left + 2, top + 2, PanelW - 4, PanelH - 4, sf::Color(24, 26, 38));
    auto rowOf = [&](float value) {
        return static_cast<int>(std::lround(y0 + (High - value) / (High - Low) * static_cast<float>(plotH)));
    };
    // Guides at the start value 0 and the target 1, and at the start and end of time.
    fillRect(image, x0, static_cast<unsigned>(rowOf(0.f)), plotW, 1, sf::Color(80, 84, 110));
    fillRect(image, x0, static_cast<unsigned>(rowOf(1.f)), plotW, 1, sf::Color(80, 84, 110));
    fillRect(image, x0, y0, 1, plotH, sf::Color(60, 62, 84));
    fillRect(image, x0 + plotW - 1, y0, 1, plotH, sf::Color(60, 62, 84));
    // One sample per column, joined vertically so steep parts stay continuous.
    int previous = rowOf(ease(easing, 0.f, 0.f, 1.f, 1.f));
    for (unsigned col = 0; col < plotW; ++col)
    {
        const float t = static_cast<float>(col) / static_cast<float>(plotW - 1);
        const int row = rowOf(ease(easing, t, 0.f, 1.f, 1.f));
        const int from = std::min(previous, row);
        const int to = std::max(previous, row);
        for (int y = from; y <= to; ++y)
            if (y >= static_cast<int>(top) && y + 1 < static_cast<int>(top + PanelH))
                fillRect(image, x0 + col, static_cast<unsigned>(y), 2, 2, sf::Color(255, 196, 64));
        previous = row;
    }
    drawNumber(image, left + Margin + 6, top + Margin + 4, easing, sf::Color(235, 235, 245));
}

int writePicture(const char* path)
{
    sf::Image image;
    image.create(3 * PanelW, 7 * PanelH, sf::Color(10, 10, 16));
    for (unsigned row = 0; row < 7; ++row)
        for (unsigned col = 0; col < 3; ++col)
            if (Grid[row][col] != None)
                drawPanel(image, col * PanelW, row * PanelH, Grid[row][col]);
    if (!image.saveToFile(path))
    {
        std::fprintf(stderr, "easing_plot: Unable to write %s.\n", path);
        return 1;
    }
    return 0;
}

// Values of a tween from 0 to 1 over one second at a few moments, as the player computes them.
int printTable()
{
    const float moments[] = {0.f, 0.1f, 0.25f, 0.5f, 0.75f, 0.9f, 1.f};
    int drawn = 0;
    for (const auto& row : Grid)
        for (EasingType easing : row)
            drawn += findEasing(easing) ? 1 : 0;
    if (drawn != easingCurveCount())
    {
        std::fprintf(stderr, "easing_plot: the picture has %d of the %d curves.\n", drawn, easingCurveCount());
        return 1;
    }
    std::printf("| Number | Curve | t=0 | 0.1 | 0.25 | 0.5 | 0.75 | 0.9 | 1 |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const auto& row : Grid)
        for (EasingType easing : row)
        {
            const EasingCurve* curve = findEasing(easing);
            if (!curve)
                continue;
            std::printf("| %d | %s |", curve->number, readable(curve->name).c_str());
            for (float t : moments)
            {
                const float value = ease(easing, t, 0.f, 1.f, 1.f);
                // "+ 0.0" turns a negative zero into 0.000.
                std::printf(" %.3f |", static_cast<double>(value) + 0.0);
            }
            std::printf("\n");
        }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--table") == 0)
        return printTable();
    if (argc == 2)
        return writePicture(argv[1]);
    std::fprintf(stderr, "usage: easing_plot OUT.png | --table\n");
    return 2;
}
