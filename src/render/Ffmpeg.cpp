#include "render/Ffmpeg.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

bool Ffmpeg::probe(const std::string& path, long& frames, double& seconds, std::string& error)
{
    std::vector<std::string> args = {"ffprobe", "-v", "quiet", "-count_frames", "-select_streams", "v:0",
                                     "-show_entries", "stream=nb_read_frames:format=duration", "-of",
                                     "default=noprint_wrappers=1", path};
    int fds[2];
    if (pipe(fds) != 0)
    {
        error = std::string("cannot create a pipe to ffprobe: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv = argvOf(args);
    pid_t child = -1;
    const int spawned = posix_spawnp(&child, "ffprobe", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    std::string text;
    if (spawned == 0)
    {
        char buffer[512];
        ssize_t n;
        while ((n = read(fds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0)
                text.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (spawned != 0 || !finish(child))
    {
        error = "ffprobe cannot read it";
        return false;
    }
    frames = -1;
    seconds = -1.0;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
    {
        if (line.rfind("nb_read_frames=", 0) == 0)
            frames = std::atol(line.c_str() + 15);
        else if (line.rfind("duration=", 0) == 0)
            seconds = std::atof(line.c_str() + 9);
    }
    if (frames < 0 || seconds < 0.0)
    {
        error = "ffprobe finds no video in it";
        return false;
    }
    return true;
}

bool Ffmpeg::finish(pid_t child)
{
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
