#include "render/FrameFile.hpp"

#include <cctype>
#include <cstdio>

namespace
{
constexpr const char* Prefix = "frame_";
constexpr const char* Extension = ".png";
constexpr std::size_t Digits = 6;
} // namespace

std::string FrameFile::stem(long number)
{
    char text[32];
    std::snprintf(text, sizeof text, "%s%06ld", Prefix, number);
    return text;
}

std::string FrameFile::name(long number)
{
    return stem(number) + Extension;
}

bool FrameFile::isFrame(const std::string& fileName)
{
    const std::string prefix = Prefix;
    const std::string extension = Extension;
    if (fileName.size() != prefix.size() + Digits + extension.size() ||
        fileName.compare(0, prefix.size(), prefix) != 0 ||
        fileName.compare(prefix.size() + Digits, extension.size(), extension) != 0)
        return false;
    for (std::size_t i = prefix.size(); i < prefix.size() + Digits; ++i)
        if (!std::isdigit(static_cast<unsigned char>(fileName[i])))
            return false;
    return true;
}
