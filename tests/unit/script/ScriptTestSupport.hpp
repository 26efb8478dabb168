#pragma once

#include "script/GameEntity.hpp"
#include "script/Script.hpp"
#include "script/ScriptInterp.hpp"
#include "script/ScriptParams.hpp"

#include "ConsoleCapture.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace scripttest
{
// A fresh folder per use, removed again, so tests never depend on the working directory.
class TempDir
{
public:
    TempDir()
    {
        static int counter = 0;
        path = std::filesystem::temp_directory_path() /
               ("kestrune-script-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(path);
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Binary mode keeps carriage returns and byte-order marks exactly as written.
    std::string write(const std::string& name, const std::string& text) const
    {
        const std::filesystem::path file = path / name;
        std::ofstream(file, std::ios::binary) << text;
        return file.string();
    }

    std::filesystem::path path;
};

using testsupport::capture;
using testsupport::captureMerged;
using testsupport::Output;

// What reached the extension, with the accessor context at the time of the call.
struct Received
{
    std::string command;
    std::vector<std::string> params;
    std::string currentCommand;
    int currentLineNumber;
};

// Knows every command word except those starting with "unknown"; "%ten" is its own constant.
class RecordingEntity : public GameEntity
{
public:
    bool extScript(const ScriptLine& line) override
    {
        received.push_back({line.command, line.params, currentCommand, currentLineNumber});
        return line.command.rfind("unknown", 0) != 0;
    }

    std::string extVariable(std::string text) override
    {
        variables.push_back(text);
        const std::size_t at = text.find("%ten");
        if (at != std::string::npos)
            text.replace(at, 4, "10");
        return text;
    }

    std::vector<Received> received;
    std::vector<std::string> variables;
};

// A script written to a temporary file, loaded and bound to an entity, as the cutscene does.
template <typename Entity = RecordingEntity>
struct Bound
{
    explicit Bound(const std::string& text) { load(text); }

    bool load(const std::string& text)
    {
        const bool loaded = script.load(dir.write("demo.script", text));
        interp.bind(&script, &entity);
        return loaded;
    }

    TempDir dir;
    Script script;
    Entity entity;
    ScriptInterp interp;
};

// A script parsed from text held in memory.
inline Script parsed(const std::string& text)
{
    Script script;
    std::istringstream in(text);
    script.parse(in);
    return script;
}

inline std::vector<std::string> params(std::initializer_list<std::string> texts)
{
    return std::vector<std::string>(texts);
}
} // namespace scripttest
