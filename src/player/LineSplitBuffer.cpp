#include "player/LineSplitBuffer.hpp"

void LineSplitBuffer::take(const char_type* text, std::streamsize count)
{
    if (through)
        through->sputn(text, count);
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

LineSplitBuffer::int_type LineSplitBuffer::overflow(int_type c)
{
    if (!traits_type::eq_int_type(c, traits_type::eof()))
    {
        const char_type ch = traits_type::to_char_type(c);
        take(&ch, 1);
    }
    return traits_type::not_eof(c);
}

std::streamsize LineSplitBuffer::xsputn(const char_type* text, std::streamsize count)
{
    take(text, count);
    return count;
}

int LineSplitBuffer::sync()
{
    return through ? through->pubsync() : 0;
}
