#include "author/AuthorOverlay.hpp"

#include "author/EmbeddedFont.hpp"
#include "author/Transport.hpp"

#include <algorithm>
#include <iostream>

namespace
{
constexpr unsigned CharacterSize = 18;
constexpr float LineHeight = 24.f;
constexpr float Padding = 10.f;
constexpr float Margin = 16.f;
constexpr float TabColumn = 130.f;
constexpr float ColumnGap = 16.f;
const sf::Color PlateColour(0, 0, 0, 176);
const sf::Color StatusColour(235, 235, 235);
const sf::Color ProblemColour(255, 196, 120);
const sf::Color ChosenColour(120, 200, 255);
const sf::Color ProgressColour(70, 140, 255);
const sf::Color ProgressTrackColour(40, 40, 48);
constexpr float ProgressWidth = 600.f;
constexpr float ProgressHeight = 14.f;
} // namespace

bool AuthorOverlay::load()
{
    loaded = font.loadFromMemory(EmbeddedFont::data(), EmbeddedFont::size());
    if (!loaded)
    {
        std::cerr << "author: the overlay's font cannot be read; the overlay stays hidden." << std::endl;
        return false;
    }
    text.setFont(font);
    text.setCharacterSize(CharacterSize);
    plate.setFillColor(PlateColour);
    return true;
}

const std::vector<std::string>& AuthorOverlay::helpLines()
{
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> help;
        for (const Transport::KeyHelp& key : Transport::keyHelp())
            help.push_back(std::string(key.keys) + "\t" + key.what);
        return help;
    }();
    return lines;
}

void AuthorOverlay::drawPlate(sf::RenderTarget& target, const std::vector<std::string>& lines, float x, float y,
                              sf::Color colour, int chosen)
{
    if (!loaded || lines.empty())
        return;
    // A tab starts the second column, far enough right for the widest first column.
    float column = TabColumn;
    for (const std::string& line : lines)
    {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        text.setString(sf::String::fromUtf8(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(tab)));
        column = std::max(column, text.getLocalBounds().width + ColumnGap);
    }
    float width = 0.f;
    for (const std::string& line : lines)
    {
        const std::size_t tab = line.find('\t');
        const std::string shown = tab == std::string::npos ? line : line.substr(tab + 1);
        text.setString(sf::String::fromUtf8(shown.begin(), shown.end()));
        width = std::max(width, text.getLocalBounds().width + (tab == std::string::npos ? 0.f : column));
    }
    const float height = LineHeight * static_cast<float>(lines.size());
    if (y < 0.f)
        y = static_cast<float>(target.getSize().y) + y - height - 2.f * Padding;
    plate.setPosition(x, y);
    plate.setSize(sf::Vector2f(width + 2.f * Padding, height + 2.f * Padding));
    target.draw(plate);
    float lineY = y + Padding;
    for (std::size_t row = 0; row < lines.size(); ++row)
    {
        const std::string& line = lines[row];
        text.setFillColor(static_cast<int>(row) == chosen ? ChosenColour : colour);
        const std::size_t tab = line.find('\t');
        const std::string first = line.substr(0, tab);
        text.setString(sf::String::fromUtf8(first.begin(), first.end()));
        text.setPosition(x + Padding, lineY);
        target.draw(text);
        if (tab != std::string::npos)
        {
            const std::string second = line.substr(tab + 1);
            text.setString(sf::String::fromUtf8(second.begin(), second.end()));
            text.setPosition(x + Padding + column, lineY);
            target.draw(text);
        }
        lineY += LineHeight;
    }
}

void AuthorOverlay::drawStatus(sf::RenderTarget& target, const std::vector<std::string>& lines)
{
    drawPlate(target, lines, Margin, Margin, StatusColour);
}

void AuthorOverlay::drawProblems(sf::RenderTarget& target, const std::vector<std::string>& lines, float above)
{
    drawPlate(target, lines, Margin, -Margin - above, ProblemColour);
}

void AuthorOverlay::drawHelp(sf::RenderTarget& target)
{
    drawCentred(target, helpLines());
}

void AuthorOverlay::drawCentred(sf::RenderTarget& target, const std::vector<std::string>& lines, int chosen)
{
    const sf::Vector2u size = target.getSize();
    drawPlate(target, lines, static_cast<float>(size.x) / 2.f - 260.f,
              static_cast<float>(size.y) / 2.f - LineHeight * static_cast<float>(lines.size()) / 2.f, StatusColour,
              chosen);
}

void AuthorOverlay::drawProgress(sf::RenderTarget& target, const std::vector<std::string>& lines, float done)
{
    drawCentred(target, lines);
    const sf::Vector2u size = target.getSize();
    const float x = static_cast<float>(size.x) / 2.f - 260.f + Padding;
    const float y = static_cast<float>(size.y) / 2.f + LineHeight * static_cast<float>(lines.size()) / 2.f +
                    2.f * Padding;
    // The track is outlined in the bar's colour, so that it shows before anything is done.
    sf::RectangleShape bar(sf::Vector2f(ProgressWidth, ProgressHeight));
    bar.setPosition(x, y);
    bar.setFillColor(ProgressTrackColour);
    bar.setOutlineColor(ProgressColour);
    bar.setOutlineThickness(2.f);
    target.draw(bar);
    bar.setOutlineThickness(0.f);
    bar.setFillColor(ProgressColour);
    bar.setSize(sf::Vector2f(ProgressWidth * std::min(std::max(done, 0.f), 1.f), ProgressHeight));
    target.draw(bar);
}
