#include "lsp/StdioServer.hpp"

#include "lsp/FrameReader.hpp"
#include "lsp/LanguageServer.hpp"

#include <cerrno>
#include <climits>
#include <csignal>
#include <iostream>
#include <vector>

#include <poll.h>
#include <unistd.h>

namespace
{
bool writeAll(int fd, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size())
    {
        const ssize_t wrote = write(fd, data.data() + done, data.size() - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

std::string selfPath()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}
} // namespace

int StdioServer::run()
{
    std::signal(SIGPIPE, SIG_IGN);
    const int protocol = dup(STDOUT_FILENO);
    if (protocol < 0 || dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return 1;
    std::cout.rdbuf(std::cerr.rdbuf());
    bool broken = false;
    LanguageServer server(
        [protocol, &broken](const nlohmann::json& message) {
            // Text that is not UTF-8 (a binary file) is replaced, never a reason to fail.
            const std::string body = message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
            broken = broken || !writeAll(protocol, FrameReader::frame(body));
        },
        selfPath());
    FrameReader reader;
    std::vector<char> buffer(1 << 16);
    bool inputOpen = true;
    while (inputOpen && !server.exited() && !broken)
    {
        std::vector<pollfd> watched{{STDIN_FILENO, POLLIN, 0}};
        for (int pipe : server.backgroundPipes())
            watched.push_back({pipe, POLLIN, 0});
        // While a background run goes, wake now and then to hold it to its budget.
        const int ready = poll(watched.data(), watched.size(), watched.size() > 1 ? 500 : -1);
        if (ready < 0 && errno != EINTR)
            break;
        if (watched.size() > 1)
            server.pollBackground();
        if (ready <= 0 || !(watched[0].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t got = read(STDIN_FILENO, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            inputOpen = false;
        else
            reader.feed(buffer.data(), static_cast<std::size_t>(got));
        std::string body;
        for (FrameReader::Result result = reader.next(body); result != FrameReader::Result::NeedMore && !server.exited();
             result = reader.next(body))
        {
            if (result == FrameReader::Result::Message)
                server.receive(body);
            else
                std::cerr << "kestrune --lsp: skipped " << body << std::endl;
        }
        // Checks run once the messages at hand are read, so a burst of keystrokes costs one check.
        if (!server.exited())
            server.settle();
    }
    close(protocol);
    return server.exited() ? server.exitStatus() : 1;
}
