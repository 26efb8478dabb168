#include "author/ConsoleTap.hpp"

namespace
{
constexpr std::size_t LongestLine = 4096;
} // namespace

ConsoleTap::ConsoleTap(std::ostream& tapped) : stream(tapped), original(tapped.rdbuf())
{
    pending.reserve(256);
    stream.rdbuf(this);
}

ConsoleTap::~ConsoleTap()
{
    stream.rdbuf(original);
}

void ConsoleTap::take(const char* text, std::streamsize count)
{
    original->sputn(text, count);
    if (!listener)
        return;
    for (std::streamsize i = 0; i < count; ++i)
    {
        if (text[i] != '\n')
        {
            // A runaway line is cut rather than grown without bound.
            if (pending.size() < LongestLine)
                pending += text[i];
            continue;
        }
        listener(pending);
        pending.clear();
    }
}

ConsoleTap::int_type ConsoleTap::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    take(&ch, 1);
    return c;
}

std::streamsize ConsoleTap::xsputn(const char* text, std::streamsize count)
{
    take(text, count);
    return count;
}

int ConsoleTap::sync()
{
    return original->pubsync();
}
