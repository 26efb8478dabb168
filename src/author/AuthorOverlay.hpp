#pragma once

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/RenderTarget.hpp>
#include <SFML/Graphics/Text.hpp>

#include <string>
#include <vector>

// Author mode's panels, drawn on the window over the finished picture (never into the scene or a
// rendered frame): the state in the top-left corner, the problems along the bottom, and the key
// help in the middle. Light text on a dark plate, so it reads on any background.
class AuthorOverlay
{
public:
    // The bundled font; false (reported) when it cannot be read, and nothing is drawn then.
    bool load();

    void drawStatus(sf::RenderTarget& target, const std::vector<std::string>& lines);
    // Along the bottom, `above` pixels higher (the timeline's room).
    void drawProblems(sf::RenderTarget& target, const std::vector<std::string>& lines, float above = 0.f);
    void drawHelp(sf::RenderTarget& target);
    // Lines in the middle of the target (the help, the labels to warp to); the line `chosen` (if
    // any) stands out.
    void drawCentred(sf::RenderTarget& target, const std::vector<std::string>& lines, int chosen = -1);
    // A long seek under way: its lines in the middle, with a bar filled to `done` (0..1).
    void drawProgress(sf::RenderTarget& target, const std::vector<std::string>& lines, float done);

    // The key help, one key and its effect per line.
    static const std::vector<std::string>& helpLines();

private:
    // Draws `lines` on a plate whose corner is at (x, y); a negative y counts from the bottom.
    void drawPlate(sf::RenderTarget& target, const std::vector<std::string>& lines, float x, float y, sf::Color colour,
                   int chosen = -1);

    sf::Font font;
    bool loaded = false;
    sf::Text text;
    sf::RectangleShape plate;
};
