#include "scene/PassElision.hpp"

bool PassElision::enabled = true;

// Colour: source x source alpha + destination x 0; alpha: source alpha x 1 + destination x 0. The
// default blending onto (0, 0, 0, 0) adds the same products to zero.
const sf::BlendMode PassElision::OntoCleared(sf::BlendMode::SrcAlpha, sf::BlendMode::Zero, sf::BlendMode::Add,
                                             sf::BlendMode::One, sf::BlendMode::Zero, sf::BlendMode::Add);
