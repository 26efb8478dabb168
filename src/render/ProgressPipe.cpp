#include "render/ProgressPipe.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace
{
constexpr const char* Variable = "KESTRUNE_PROGRESS_FD";
} // namespace

int ProgressPipe::inherited()
{
    const char* fd = std::getenv(Variable);
    return fd ? std::atoi(fd) : -1;
}

std::string ProgressPipe::environmentEntry()
{
    return std::string(Variable) + "=" + std::to_string(ChildFd);
}

bool ProgressPipe::isEntry(const char* entry)
{
    const std::size_t length = std::strlen(Variable);
    return std::strncmp(entry, Variable, length) == 0 && entry[length] == '=';
}

bool ProgressPipe::send(int fd, long frames, long total)
{
    char line[48];
    const int used = std::snprintf(line, sizeof line, "%ld %ld\n", frames, total);
    return write(fd, line, static_cast<std::size_t>(used)) >= 0;
}

void ProgressPipe::take(const char* data, std::size_t count, long& frames, long& total)
{
    pending.append(data, count);
    std::string::size_type end;
    while ((end = pending.find('\n')) != std::string::npos)
    {
        std::sscanf(pending.c_str(), "%ld %ld", &frames, &total);
        pending.erase(0, end + 1);
    }
}
