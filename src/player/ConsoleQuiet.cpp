#include "player/ConsoleQuiet.hpp"

#include <SFML/System/Err.hpp>

#include <iostream>

namespace
{
constexpr std::size_t LongestLine = 4096;
} // namespace

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
        err = std::cerr.rdbuf(&errorDiscard);
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

void ConsoleQuiet::Discard::take(const char_type* text, std::streamsize count)
{
    if (!listener)
        return;
    for (std::streamsize i = 0; i < count; ++i)
    {
        if (text[i] != '\n')
        {
            if (pending.size() < LongestLine)
                pending += text[i];
            continue;
        }
        // The listener may print: the line is handed over as a copy of its own.
        const std::string line = std::move(pending);
        pending.clear();
        listener(line);
    }
}

ConsoleQuiet::Discard::int_type ConsoleQuiet::Discard::overflow(int_type c)
{
    if (!traits_type::eq_int_type(c, traits_type::eof()))
    {
        const char_type ch = traits_type::to_char_type(c);
        take(&ch, 1);
    }
    return traits_type::not_eof(c);
}

std::streamsize ConsoleQuiet::Discard::xsputn(const char_type* text, std::streamsize count)
{
    take(text, count);
    return count;
}
