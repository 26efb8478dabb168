#pragma once

#include <SFML/Graphics/Image.hpp>
#include <SFML/System/Err.hpp>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

// What one action printed, compared as a whole so that a line on the wrong stream fails.
struct Console
{
    std::string out;
    std::string err;
    bool operator==(const Console& other) const { return out == other.out && err == other.err; }
};

inline void PrintTo(const Console& console, std::ostream* os)
{
    *os << "{out: \"" << console.out << "\", err: \"" << console.err << "\"}";
}

inline Console errLines(const std::string& text)
{
    return Console{"", text};
}

inline Console captured(const std::function<void()>& action)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    action();
    const std::string err = testing::internal::GetCapturedStderr();
    return Console{testing::internal::GetCapturedStdout(), err};
}

// The library's own text for the syntax error in `text`.
inline std::string parseErrorOf(const std::string& text)
{
    try
    {
        std::istringstream in(text);
        nlohmann::json ignored;
        in >> ignored;
    }
    catch (const nlohmann::json::exception& error)
    {
        return error.what();
    }
    return "no error";
}

// Runs each test inside a fresh temporary folder, so that files have short relative names (as the
// catalogs give theirs), and keeps the graphics library's own error lines off the captured console.
class TempFolderTest : public testing::Test
{
protected:
    void SetUp() override
    {
        static int counter = 0;
        dir = std::filesystem::temp_directory_path() /
              ("kestrune_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        std::filesystem::create_directories(dir);
        previousDir = std::filesystem::current_path();
        std::filesystem::current_path(dir);
        sfmlErrors = sf::err().rdbuf(sfmlOutput.rdbuf());
    }

    void TearDown() override
    {
        sf::err().rdbuf(sfmlErrors);
        std::filesystem::current_path(previousDir);
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }

    static std::string write(const std::string& path, const std::string& text)
    {
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    static std::string image(const std::string& path, unsigned width = 2, unsigned height = 2,
                             sf::Color color = sf::Color::Blue)
    {
        sf::Image picture;
        picture.create(width, height, color);
        EXPECT_TRUE(picture.saveToFile(path));
        return path;
    }

    std::filesystem::path dir;
    std::filesystem::path previousDir;
    std::ostringstream sfmlOutput;
    std::streambuf* sfmlErrors = nullptr;
};
