#include "render/RenderJobs.hpp"

#include "motion/StepRate.hpp"
#include "render/RenderJoin.hpp"
#include "render/RenderPart.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <set>
#include <sstream>
#include <utility>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace
{
using Clock = std::chrono::steady_clock;

// The fd a part reports its progress on.
constexpr int ProgressFd = 3;

struct Job
{
    pid_t pid = -1;
    bool kept = false;   // finished by an earlier run
    bool failed = false; // its log is kept
    int progress = -1; // read end of the part's progress pipe; -1 once it closed
    std::string pending;
    long frames = 0;
    long total = -1;
    std::string log;
};

std::vector<std::string> linesOf(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> lastLines(const std::string& path, std::size_t count)
{
    std::vector<std::string> lines = linesOf(path);
    if (lines.empty())
        return {"(empty)"};
    if (lines.size() > count)
        lines.erase(lines.begin(), lines.end() - static_cast<long>(count));
    return lines;
}
} // namespace

RenderJobs::RenderJobs(const RenderSettings& settings, int count, Spelling spell)
    : options(settings), jobs(count), spelling(std::move(spell))
{
    // The frame count is decided here, once, as one process decides it, and handed on exactly:
    // a time passed on as text could round to another frame.
    if (options.seconds > 0 && options.frames <= 0)
        options.frames = std::max(1L, std::lround(options.seconds * options.fps));
    options.seconds = -1.0;
    // No more processes than frames, when the frames are known beforehand.
    long frames = -1;
    if (options.rangeFirst > 0 && options.rangeLast > 0)
        frames = options.rangeLast - options.rangeFirst + 1;
    else if (options.frames > 0)
        frames = options.frames - std::max(1L, options.rangeFirst) + 1;
    if (frames > 0 && frames < jobs)
        jobs = static_cast<int>(frames);
}

std::vector<std::string> RenderJobs::partArguments(int part) const
{
    RenderSettings mine = options;
    mine.part = part;
    mine.parts = jobs;
    return spelling(mine);
}

int RenderJobs::run()
{
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
    {
        std::cerr << "kestrune: --jobs cannot find its own program: " << std::strerror(errno) << std::endl;
        return 1;
    }
    self[length] = '\0';

    const auto start = Clock::now();
    std::vector<Job> parts(static_cast<std::size_t>(jobs));
    std::vector<std::string> folders;
    const std::string demo = RenderPart::demoHash();
    const std::string parent = std::to_string(getpid());
    for (int k = 1; k <= jobs; ++k)
    {
        Job& job = parts[static_cast<std::size_t>(k - 1)];
        folders.push_back(RenderPart::folder(options.out, k, jobs));
        job.log = folders.back() + ".log";
        // A part an earlier run of this command finished is kept: the command run again after a
        // failure renders only what is missing.
        RenderPart done;
        std::string unread;
        if (done.read(folders.back() + "/" + RenderPart::ManifestName, unread) && finished(done, demo, k) &&
            RenderJoin::partProblem(OutputFormat(options.out), folders.back(), done).empty())
        {
            job.frames = job.total = done.frames;
            job.kept = true;
            std::cerr << "kestrune: --jobs: part " << k << "/" << jobs << " is complete in " << folders.back()
                      << " from an earlier run; kept" << std::endl;
            continue;
        }
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
        {
            std::cerr << "kestrune: --jobs cannot make a pipe: " << std::strerror(errno) << std::endl;
            return 1;
        }
        std::vector<std::string> args = partArguments(k);
        args.insert(args.begin(), self);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::vector<std::string> environment;
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "KESTRUNE_PROGRESS_FD=", 21) != 0 && std::strncmp(*e, "KESTRUNE_PARENT=", 16) != 0)
                environment.push_back(*e);
        environment.push_back("KESTRUNE_PROGRESS_FD=" + std::to_string(ProgressFd));
        environment.push_back("KESTRUNE_PARENT=" + parent);
        std::vector<char*> envp;
        for (std::string& e : environment)
            envp.push_back(e.data());
        envp.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        // What the part prints to standard output and to standard error, kept apart.
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, (job.log + ".out").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, job.log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, fds[1], ProgressFd);
        const int spawned = posix_spawn(&job.pid, self, &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (spawned != 0)
        {
            close(fds[0]);
            std::cerr << "kestrune: --jobs cannot start a part: " << std::strerror(spawned) << std::endl;
            job.pid = -1;
            continue;
        }
        job.progress = fds[0];
    }

    // One progress line for the whole render, from what every part reports.
    const bool terminal = isatty(STDERR_FILENO) != 0;
    auto lastShown = Clock::now();
    for (;;)
    {
        std::vector<pollfd> open;
        for (Job& job : parts)
            if (job.progress >= 0)
                open.push_back({job.progress, POLLIN, 0});
        if (open.empty())
            break;
        if (poll(open.data(), open.size(), 250) < 0 && errno != EINTR)
            break;
        for (const pollfd& ready : open)
        {
            if (!(ready.revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            for (Job& job : parts)
            {
                if (job.progress != ready.fd)
                    continue;
                char buffer[256];
                const ssize_t n = read(job.progress, buffer, sizeof buffer);
                if (n <= 0)
                {
                    close(job.progress);
                    job.progress = -1;
                    break;
                }
                job.pending.append(buffer, static_cast<std::size_t>(n));
                std::string::size_type end;
                while ((end = job.pending.find('\n')) != std::string::npos)
                {
                    std::sscanf(job.pending.c_str(), "%ld %ld", &job.frames, &job.total);
                    job.pending.erase(0, end + 1);
                }
            }
        }
        if (terminal && std::chrono::duration<double>(Clock::now() - lastShown).count() >= 0.25)
        {
            lastShown = Clock::now();
            long frames = 0;
            long total = 0;
            for (const Job& job : parts)
            {
                frames += job.frames;
                total = (total < 0 || job.total < 0) ? -1 : total + job.total;
            }
            showProgress(frames, total, std::chrono::duration<double>(Clock::now() - start).count(), false);
        }
    }

    int status = 0;
    long frames = 0;
    std::vector<std::string> failures;
    for (std::size_t i = 0; i < parts.size(); ++i)
    {
        Job& job = parts[i];
        frames += job.frames;
        if (job.kept)
            continue;
        int waited = 0;
        if (job.pid > 0)
            while (waitpid(job.pid, &waited, 0) < 0 && errno == EINTR)
            {
            }
        int exit = 1;
        std::string how = "could not be started";
        if (job.pid > 0 && WIFEXITED(waited))
        {
            exit = WEXITSTATUS(waited);
            how = "exited with status " + std::to_string(exit);
            // -1 from main (a shader that cannot be loaded) arrives as 255.
            exit = exit == 255 ? 1 : exit;
        }
        else if (job.pid > 0 && WIFSIGNALED(waited))
            how = "was killed by signal " + std::to_string(WTERMSIG(waited)) + " (" + strsignal(WTERMSIG(waited)) + ")";
        if (job.pid > 0 && WIFEXITED(waited) && WEXITSTATUS(waited) == 0)
            continue;
        job.failed = true;
        if (status == 0)
            status = exit;
        failures.push_back("kestrune: --jobs: part " + std::to_string(i + 1) + "/" + std::to_string(jobs) + " " + how +
                           "; the end of its log " + job.log + ":");
        for (const std::string& line : lastLines(job.log, 5))
            failures.push_back("    " + line);
    }
    // The progress line ends before anything else is printed.
    if (terminal)
        showProgress(frames, frames, std::chrono::duration<double>(Clock::now() - start).count(), true);
    // What the parts said, each line once (every part loads the same demo), to where they said it.
    // Lines that differ only in an address (each process has its own) are one line.
    static const std::regex address("0x[0-9a-fA-F]+");
    std::set<std::string> printed[2];
    for (Job& job : parts)
    {
        if (job.kept)
        {
            // Logs an interrupted run left of a part that finished are no longer of use.
            std::remove(job.log.c_str());
            std::remove((job.log + ".out").c_str());
            continue;
        }
        for (int err = 0; err < 2; ++err)
        {
            const std::string path = err ? job.log : job.log + ".out";
            std::set<std::string> mine;
            for (const std::string& line : linesOf(path))
            {
                const std::string key = std::regex_replace(line, address, "0x");
                if (!printed[err].count(key))
                {
                    (err ? std::cerr : std::cout) << line << std::endl;
                    mine.insert(key);
                }
            }
            printed[err].insert(mine.begin(), mine.end());
            if (!job.failed)
                std::remove(path.c_str());
        }
    }
    if (status != 0)
    {
        for (const std::string& line : failures)
            std::cerr << line << std::endl;
        std::cerr << "kestrune: --jobs: the parts that finished are kept; the same command run again renders "
                     "only the others and joins them"
                  << std::endl;
        return status;
    }
    const int joined = RenderJoin::run(options.out, folders, false);
    if (joined != 0)
        return joined;
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    std::cout << "kestrune: rendered " << frames << " frames to " << options.out << " in " << elapsed << " s, "
              << frames / std::max(elapsed, 1e-9) << " frames per second, in " << jobs << " processes" << std::endl;
    return 0;
}

bool RenderJobs::finished(const RenderPart& done, const std::string& demo, int part) const
{
    const OutputFormat format(options.out);
    const long first = options.rangeFirst > 0 ? options.rangeFirst : 1;
    const long last = options.rangeLast > 0 ? options.rangeLast : options.frames;
    return done.demo == demo && done.output == (format.isVideo() ? format.name() : "frames") &&
           done.fps == options.fps && done.size == options.size && done.start == options.start &&
           done.drawAll == options.drawAll && done.manifest == options.manifest && done.parts == jobs &&
           done.part == part && done.range == (options.rangeFirst > 0) && done.first == first &&
           (last > 0 ? done.last == last && !done.endsWithDemo : done.endsWithDemo);
}

void RenderJobs::showProgress(long frames, long total, double elapsed, bool last) const
{
    const double fps = elapsed > 0.0 ? frames / elapsed : 0.0;
    char line[160];
    int used = std::snprintf(line, sizeof line, "\rframe %ld", frames);
    if (total > 0)
        used += std::snprintf(line + used, sizeof line - used, "/%ld", total);
    used += std::snprintf(line + used, sizeof line - used, "  %.1f fps  %d processes", fps, jobs);
    if (total > 0 && fps > 0.0)
        used += std::snprintf(line + used, sizeof line - used, "  ETA %s",
                              StepRate::clockText(static_cast<double>(total - frames) / fps).c_str());
    std::snprintf(line + used, sizeof line - used, "    %s", last ? "\n" : "");
    std::fputs(line, stderr);
    std::fflush(stderr);
}
