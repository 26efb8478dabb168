#include "ship/DemoExport.hpp"

#include "check/DemoChecker.hpp"

#include <nlohmann/json.hpp>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <system_error>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

// The licence of this program, placed in the read-only data by the assembler; the build names the file.
__asm__(".section .rodata\n"
        "kestruneLicenceBegin:\n"
        ".incbin \"" KESTRUNE_LICENCE_FILE "\"\n"
        "kestruneLicenceEnd:\n"
        ".previous\n");

extern "C" const char kestruneLicenceBegin[];
extern "C" const char kestruneLicenceEnd[];

namespace fs = std::filesystem;

namespace
{
// Runs a program found on PATH with standard output into `output` (standard error is dropped);
// its exit status, or -1 when it could not run.
int runProgram(const std::vector<std::string>& args, std::string& output)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0)
    {
        close(fds[0]);
        return -1;
    }
    std::array<char, 4096> buffer;
    ssize_t got = 0;
    while ((got = read(fds[0], buffer.data(), buffer.size())) != 0)
    {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        output.append(buffer.data(), static_cast<std::size_t>(got));
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR)
    {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool writeFile(const fs::path& path, const std::string& text, fs::perms perms, std::ostream& err)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    std::error_code code;
    if (file)
        fs::permissions(path, perms, code);
    if (!file || code)
    {
        err << "kestrune: --export: cannot write " << path.string() << std::endl;
        return false;
    }
    return true;
}

constexpr fs::perms Executable = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec;
constexpr fs::perms Readable = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                               fs::perms::others_read;

const char* const BundleReadme =
    "This folder plays a demo made with Kestrune, without installing anything.\n"
    "\n"
    "  ./play                          plays it full screen (Escape ends it)\n"
    "  ./play --render out --frames 30 renders its first 30 frames into the folder out\n"
    "\n"
    "It runs on 64-bit x86 Debian 12 or later and Ubuntu 22.04 or later with an X display\n"
    "(Xorg, or XWayland under Wayland) and OpenGL (Mesa or a vendor driver). The player is in\n"
    "bin/, the libraries such a system may lack in lib/, the demo in demo/, and the licences of\n"
    "everything carried in licences/.\n";
} // namespace

DemoExport::DemoExport(std::string out, std::string player) : out(std::move(out)), player(std::move(player))
{
    while (this->out.size() > 1 && this->out.back() == '/')
        this->out.pop_back();
}

const char* DemoExport::launcher()
{
    return "#!/bin/sh\n"
           "# Plays the demo beside this script full screen; arguments go on to the player\n"
           "# (./play --render out --frames 30 renders). The player finds the libraries it carries in lib/.\n"
           "here=$(dirname \"$(readlink -f \"$0\")\")\n"
           "LD_LIBRARY_PATH=\"$here/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}\"\n"
           "export LD_LIBRARY_PATH\n"
           "exec \"$here/bin/kestrune\" \"$@\" \"$here/demo\"\n";
}

bool DemoExport::assumed(const std::string& soname)
{
    // The C and C++ runtimes, the X client libraries and libGL with its dispatch, which the
    // system's graphics driver needs in its own versions; and what every Debian or Ubuntu system
    // has. (glvnd's libOpenGL is carried: a desktop need not have it.)
    static const char* const system[] = {
        "ld-linux",  "libc.so",    "libm.so",   "libdl.so",     "libpthread.so", "librt.so",
        "libstdc++.so", "libgcc_s.so", "libGL.so", "libGLX.so", "libGLdispatch.so",
        "libX11.so", "libxcb.so",  "libXau.so", "libXdmcp.so",  "libXext.so",    "libz.so",
        "libbsd.so", "libmd.so",   "libudev.so", "linux-vdso.so"};
    for (const char* name : system)
        if (soname.rfind(name, 0) == 0)
            return true;
    return false;
}

bool DemoExport::carried(const std::string& lddOutput, std::vector<Library>& libraries, std::string& error)
{
    std::istringstream lines(lddOutput);
    std::string line;
    while (std::getline(lines, line))
    {
        // "\tlibsfml-graphics.so.2.5 => /lib/x86_64-linux-gnu/libsfml-graphics.so.2.5 (0x...)"
        std::istringstream words(line);
        std::string soname, arrow, path;
        words >> soname >> arrow >> path;
        if (soname.empty() || arrow != "=>")
            continue; // the loader itself and the kernel's vdso
        if (path == "not")
        {
            error = "the player needs " + soname + ", which this system lacks";
            return false;
        }
        if (!assumed(soname) && !path.empty() && path[0] == '/')
            libraries.push_back({soname, path});
    }
    return true;
}

std::string DemoExport::packageOf(const std::string& dpkgOutput)
{
    // "libsfml-graphics2.5:amd64: /usr/lib/x86_64-linux-gnu/libsfml-graphics.so.2.5"
    const std::string::size_type end = dpkgOutput.find(": /");
    if (end == std::string::npos || dpkgOutput.find_first_of(" \n") < end)
        return "";
    const std::string package = dpkgOutput.substr(0, end);
    return package.substr(0, package.find(':'));
}

bool DemoExport::fullscreenConfig(const std::string& text, std::string& result)
{
    nlohmann::json config = nlohmann::json::object();
    if (text.find_first_not_of(" \t\r\n") != std::string::npos)
    {
        config = nlohmann::json::parse(text, nullptr, false);
        if (!config.is_object())
            return false;
    }
    config["fullscreen"] = true;
    result = config.dump(2) + "\n";
    return true;
}

bool DemoExport::replaceable(const std::string& path) const
{
    std::error_code code;
    if (!fs::exists(fs::symlink_status(path, code)))
        return true;
    if (!fs::is_directory(fs::symlink_status(path, code)))
        return false;
    // An earlier export, or an empty folder: anything else is the user's and is never replaced.
    return fs::is_empty(path, code) ||
           (fs::is_regular_file(fs::path(path) / "play", code) && fs::is_regular_file(fs::path(path) / "bin/kestrune", code));
}

bool DemoExport::copyDemo(const std::string& to, std::ostream& err)
{
    std::error_code code;
    const fs::path here = fs::current_path();
    fs::recursive_directory_iterator it(".", fs::directory_options::skip_permission_denied, code);
    if (code)
    {
        err << "kestrune: --export: cannot read the demo folder: " << code.message() << std::endl;
        return false;
    }
    for (; it != fs::recursive_directory_iterator(); it.increment(code))
    {
        if (code)
            break;
        const fs::path relative = it->path().lexically_relative(".");
        const fs::path absolute = (here / relative).lexically_normal();
        // Hidden entries (the author mode's socket, version control, editor settings) and the
        // bundle itself, its archive and its stage are not the demo.
        const std::string name = relative.filename().string();
        const std::string full = absolute.string();
        if (name.empty() || name[0] == '.' || full == out || full == out + ".tar.gz" || full.rfind(out + "/", 0) == 0 ||
            full == stage || full.rfind(stage + "/", 0) == 0)
        {
            if (it->is_directory(code))
                it.disable_recursion_pending();
            continue;
        }
        const fs::path target = fs::path(to) / relative;
        if (it->is_directory(code))
            fs::create_directories(target, code);
        else if (it->is_regular_file(code))
        {
            if (relative == "config.json")
                continue; // written below, set to full screen
            fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, code);
            if (!code)
                fs::permissions(target, Readable, code);
        }
        if (code)
        {
            err << "kestrune: --export: cannot copy " << relative.string() << ": " << code.message() << std::endl;
            return false;
        }
    }
    if (code)
    {
        err << "kestrune: --export: cannot read the demo folder: " << code.message() << std::endl;
        return false;
    }

    std::string config;
    std::ifstream file("config.json", std::ios::binary);
    if (file)
    {
        std::ostringstream text;
        text << file.rdbuf();
        config = text.str();
    }
    std::string fullscreen;
    if (!fullscreenConfig(config, fullscreen))
    {
        err << "kestrune: --export: config.json is not a JSON object" << std::endl;
        return false;
    }
    return writeFile(fs::path(to) / "config.json", fullscreen, Readable, err);
}

bool DemoExport::carryLibraries(const std::string& bundle, std::ostream& err)
{
    std::string output;
    if (runProgram({"ldd", player}, output) != 0)
    {
        err << "kestrune: --export: ldd cannot list the libraries of " << player << std::endl;
        return false;
    }
    std::vector<Library> libraries;
    std::string error;
    if (!carried(output, libraries, error))
    {
        err << "kestrune: --export: " << error << std::endl;
        return false;
    }
    std::error_code code;
    fs::create_directories(fs::path(bundle) / "lib", code);
    // dpkg knows a file by the path its package installed it at: with /usr merged, the loader's
    // path may lack or have the /usr in front. One dpkg call asks for all of them.
    std::vector<std::vector<std::string>> candidates;
    std::vector<std::string> query{"dpkg", "-S"};
    for (const Library& library : libraries)
    {
        const std::string real = fs::canonical(library.path, code).string();
        candidates.push_back({library.path, real, real.rfind("/usr/", 0) == 0 ? real.substr(4) : "/usr" + real});
        query.insert(query.end(), candidates.back().begin(), candidates.back().end());
    }
    std::string owners;
    runProgram(query, owners); // not 0 when some of the paths are unknown
    std::map<std::string, std::string> packageByPath;
    std::istringstream ownerLines(owners);
    std::string line;
    while (std::getline(ownerLines, line))
    {
        const std::string package = packageOf(line);
        if (!package.empty())
            packageByPath[line.substr(line.find(": /") + 2)] = package;
    }
    std::set<std::string> packages;
    for (std::size_t i = 0; i < libraries.size(); ++i)
    {
        const Library& library = libraries[i];
        const fs::path target = fs::path(bundle) / "lib" / library.soname;
        fs::copy_file(library.path, target, fs::copy_options::overwrite_existing, code);
        if (!code)
            fs::permissions(target, Readable, code);
        if (code)
        {
            err << "kestrune: --export: cannot copy " << library.path << ": " << code.message() << std::endl;
            return false;
        }
        std::string package;
        for (const std::string& path : candidates[i])
            if (package.empty() && packageByPath.count(path) != 0)
                package = packageByPath[path];
        if (package.empty())
        {
            err << "kestrune: --export: no installed package holds " << library.path
                << ", so its licence cannot be carried" << std::endl;
            return false;
        }
        packages.insert(package);
    }
    for (const std::string& package : packages)
    {
        const fs::path licence = fs::path("/usr/share/doc") / package / "copyright";
        const fs::path target = fs::path(bundle) / "licences" / package / "copyright";
        fs::create_directories(target.parent_path(), code);
        fs::copy_file(licence, target, fs::copy_options::overwrite_existing, code);
        if (!code)
            fs::permissions(target, Readable, code);
        if (code)
        {
            err << "kestrune: --export: cannot copy the licence " << licence.string() << ": " << code.message() << std::endl;
            return false;
        }
    }
    return true;
}

bool DemoExport::writeArchive(const std::string& stageParent, const std::string& tarball, std::ostream& err)
{
    // The same files give the same bytes: names sorted, one owner, one time, no gzip name or time.
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    const std::string mtime = std::string("--mtime=@") + (epoch && *epoch ? epoch : "0");
    std::string output;
    const int status = runProgram({"tar", "--sort=name", mtime, "--owner=0", "--group=0", "--numeric-owner",
                                   "--mode=u+rw,go-w,a+rX", "--format=gnu", "--use-compress-program=gzip -9n", "-C",
                                   stageParent, "-cf", tarball, fs::path(out).filename().string()},
                                  output);
    if (status != 0)
    {
        err << "kestrune: --export: tar could not write " << tarball << std::endl;
        return false;
    }
    return true;
}

bool DemoExport::build(std::ostream& err)
{
    std::error_code code;
    const fs::path bundle = fs::path(stage) / fs::path(out).filename();
    fs::create_directories(bundle / "demo", code);
    fs::create_directories(bundle / "bin", code);
    fs::create_directories(bundle / "licences/kestrune", code);
    if (code)
    {
        err << "kestrune: --export: cannot make " << bundle.string() << ": " << code.message() << std::endl;
        return false;
    }
    if (!copyDemo((bundle / "demo").string(), err))
        return false;
    // A build tree's player carries its debugging information: the viewer needs none of it.
    std::string ignored;
    if (runProgram({"strip", "-o", (bundle / "bin/kestrune").string(), player}, ignored) != 0)
        fs::copy_file(player, bundle / "bin/kestrune", fs::copy_options::overwrite_existing, code);
    if (!code)
        fs::permissions(bundle / "bin/kestrune", Executable, code);
    if (code)
    {
        err << "kestrune: --export: cannot copy the player " << player << ": " << code.message() << std::endl;
        return false;
    }
    return carryLibraries(bundle.string(), err) &&
           writeFile(bundle / "licences/kestrune/copyright",
                     std::string(kestruneLicenceBegin, static_cast<std::size_t>(kestruneLicenceEnd - kestruneLicenceBegin)),
                     Readable, err) &&
           writeFile(bundle / "play", launcher(), Executable, err) &&
           writeFile(bundle / "README.txt", BundleReadme, Readable, err) &&
           writeArchive(stage, (fs::path(stage) / "archive.tar.gz").string(), err);
}

int DemoExport::run(std::ostream& err)
{
    const fs::path outPath(out);
    const std::string tarball = out + ".tar.gz";
    std::error_code code;
    const fs::path here = fs::current_path(code);
    if (outPath.filename().empty() || here == outPath || here.string().rfind(out + "/", 0) == 0)
    {
        err << "kestrune: --export: OUT must be a new folder outside the demo's own folders, not " << out << std::endl;
        return 2;
    }
    if (!replaceable(out) || fs::is_directory(tarball, code))
    {
        err << "kestrune: --export: " << out << " exists and is not an earlier export; choose another OUT" << std::endl;
        return 2;
    }

    DemoChecker checker;
    checker.canOpenDisplay = canOpenDisplay;
    std::ostringstream report;
    if (checker.run(report) != 0)
    {
        err << report.str();
        err << "kestrune: --export: the demo has errors (above); nothing was exported" << std::endl;
        return 1;
    }

    // Built in a hidden folder beside OUT, so that OUT changes only when everything is there.
    stage = (outPath.parent_path() / ("." + outPath.filename().string() + ".export-" +
                                                        std::to_string(getpid()))).string();
    fs::remove_all(stage, code);
    fs::create_directories(stage, code);
    bool done = !code && build(err);
    if (code)
        err << "kestrune: --export: cannot make " << stage << ": " << code.message() << std::endl;
    if (done)
    {
        // An earlier export moves aside before the new one takes its name, then goes.
        const std::string old = stage + ".replaced";
        std::error_code missing;
        const bool hadOld = fs::exists(fs::symlink_status(out, missing));
        if (hadOld)
            fs::rename(out, old, code);
        if (!code)
            fs::rename(fs::path(stage) / outPath.filename(), out, code);
        if (code && hadOld)
        {
            std::error_code back;
            fs::rename(old, out, back);
        }
        if (!code)
            fs::rename(fs::path(stage) / "archive.tar.gz", tarball, code);
        if (code)
        {
            err << "kestrune: --export: cannot move the bundle to " << out << ": " << code.message() << std::endl;
            done = false;
        }
    }
    fs::remove_all(stage, code);
    fs::remove_all(stage + ".replaced", code);
    if (!done)
        return 1;
    err << "kestrune: exported to " << out << " and " << tarball << " (run " << out << "/play)" << std::endl;
    return 0;
}
