#include "render/Ffmpeg.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
std::vector<char*> argvOf(std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    return argv;
}
} // namespace

bool Ffmpeg::installed()
{
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':'))
        if (!folder.empty() && access((folder + "/ffmpeg").c_str(), X_OK) == 0)
            return true;
    return false;
}

std::vector<std::string> Ffmpeg::command(const std::vector<std::string>& args)
{
    std::vector<std::string> line = {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error", "-y"};
    line.insert(line.end(), args.begin(), args.end());
    return line;
}

bool Ffmpeg::run(std::vector<std::string> args)
{
    std::vector<char*> argv = argvOf(args);
    pid_t child = -1;
    if (posix_spawnp(&child, "ffmpeg", nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    return finish(child);
}

pid_t Ffmpeg::start(std::vector<std::string> args, int& input, std::string& error)
{
    int fds[2];
    if (pipe(fds) != 0)
    {
        error = std::string("cannot create a pipe to ffmpeg: ") + std::strerror(errno);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<char*> argv = argvOf(args);
    pid_t child = -1;
    const int spawned = posix_spawnp(&child, "ffmpeg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[0]);
    if (spawned != 0)
    {
        close(fds[1]);
        error = std::string("cannot start ffmpeg: ") + std::strerror(spawned);
        return -1;
    }
    input = fds[1];
    return child;
}

bool Ffmpeg::finish(pid_t child)
{
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
