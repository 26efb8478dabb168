#include "player/ConsoleQuiet.hpp"

#include <SFML/System/Err.hpp>

#include <iostream>

ConsoleQuiet::~ConsoleQuiet()
{
    set(false);
}

void ConsoleQuiet::set(bool quiet)
{
    if (quiet == on)
        return;
    on = quiet;
    if (on)
    {
        out = std::cout.rdbuf(&discard);
        err = std::cerr.rdbuf(&discard);
        sfmlErr = sf::err().rdbuf(&errorDiscard);
        return;
    }
    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
    sf::err().rdbuf(sfmlErr);
}

void ConsoleQuiet::hearErrors(Listener listener)
{
    errorDiscard.listener = std::move(listener);
}
