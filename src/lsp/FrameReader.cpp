#include "lsp/FrameReader.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

void FrameReader::feed(const char* data, std::size_t size)
{
    // Drop what was handed out before the buffer grows, so a long session does not keep it all.
    if (used > 0 && used == buffer.size())
    {
        buffer.clear();
        used = 0;
    }
    else if (used > (1u << 20))
    {
        buffer.erase(0, used);
        used = 0;
    }
    buffer.append(data, size);
}

FrameReader::Result FrameReader::next(std::string& out)
{
    // After a bad frame, reading starts again at the next header; bytes before it are dropped. What
    // is reported must not depend on how the bytes were cut into pieces: a header block that
    // ends before any Content-Length is an error whether or not the next frame has come, and so is
    // noise longer than a header block may be.
    const std::size_t header = buffer.find("Content-Length", used);
    const std::size_t blockEnd = buffer.find("\r\n\r\n", used);
    if (header != std::string::npos && (blockEnd == std::string::npos || header < blockEnd))
    {
        const bool tooLong = header - used > MaxHeader;
        used = header;
        if (tooLong)
        {
            out = "a header block longer than " + std::to_string(MaxHeader) + " bytes";
            return Result::Error;
        }
    }
    const std::size_t end = buffer.find("\r\n\r\n", used);
    if (end == std::string::npos)
    {
        if (buffer.size() - used > MaxHeader)
        {
            // No header block ends here: drop what came so far, keeping a possible partial "\r\n\r".
            used = buffer.size() - 3;
            out = "a header block longer than " + std::to_string(MaxHeader) + " bytes";
            return Result::Error;
        }
        return Result::NeedMore;
    }
    const std::string headers = buffer.substr(used, end - used);
    const std::size_t bodyStart = end + 4;
    long long length = -1;
    std::size_t at = 0;
    while (at <= headers.size())
    {
        std::size_t lineEnd = headers.find("\r\n", at);
        if (lineEnd == std::string::npos)
            lineEnd = headers.size();
        const std::string line = headers.substr(at, lineEnd - at);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos)
        {
            std::string name = line.substr(0, colon);
            for (char& c : name)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (name == "content-length")
            {
                const std::string value = line.substr(colon + 1);
                char* stop = nullptr;
                errno = 0;
                const long long parsed = std::strtoll(value.c_str(), &stop, 10);
                while (stop && *stop == ' ')
                    ++stop;
                length = (errno == 0 && stop && *stop == '\0' && parsed >= 0) ? parsed : -2;
            }
        }
        at = lineEnd + 2;
    }
    if (length < 0)
    {
        used = bodyStart;
        out = length == -1 ? "a header block without Content-Length" : "a Content-Length that is not a length";
        return Result::Error;
    }
    if (static_cast<unsigned long long>(length) > MaxBody)
    {
        used = bodyStart;
        out = "a message of " + std::to_string(length) + " bytes, more than the " + std::to_string(MaxBody) +
              " taken";
        return Result::Error;
    }
    if (buffer.size() - bodyStart < static_cast<std::size_t>(length))
        return Result::NeedMore;
    out = buffer.substr(bodyStart, static_cast<std::size_t>(length));
    used = bodyStart + static_cast<std::size_t>(length);
    return Result::Message;
}

std::string FrameReader::frame(const std::string& body)
{
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}
