#include "link/LinkServer.hpp"

#include "link/LinkRequest.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
// What one client may send in one frame before the rest waits for the next.
constexpr std::size_t ReadPerPoll = 16 * 1024;

std::string privateFolder(std::string& error)
{
    // The user's runtime folder when there is one; its own folder of mode 0700 either way.
    std::vector<std::string> bases;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"))
        if (*runtime)
            bases.push_back(runtime);
    bases.push_back("/tmp");
    for (const std::string& base : bases)
    {
        std::string name = base + "/kestrune-XXXXXX";
        // The socket's path must fit sockaddr_un.
        if (name.size() + 16 >= sizeof(sockaddr_un::sun_path))
            continue;
        if (mkdtemp(&name[0]))
            return name;
        error = "cannot make a folder in " + base + ": " + std::strerror(errno);
    }
    return {};
}

// What a signal that ends the player removes, kept as plain characters: a handler may only make
// system calls.
struct Leftovers
{
    char socket[sizeof(sockaddr_un::sun_path)] = {};
    char folder[PATH_MAX] = {};
    char announcement[PATH_MAX] = {};
    char said[1024] = {};
    std::size_t saidLength = 0;
};
Leftovers leftovers;
volatile std::sig_atomic_t armed = 0;
constexpr int EndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr std::size_t EndingCount = sizeof EndingSignals / sizeof EndingSignals[0];
struct sigaction before[EndingCount];
bool handled[EndingCount] = {};

void removeLeftovers(int number)
{
    if (armed)
    {
        armed = 0;
        // The announcement goes only while it still names this player.
        const int fd = ::open(leftovers.announcement, O_RDONLY | O_CLOEXEC);
        if (fd >= 0)
        {
            char text[sizeof leftovers.said];
            const ssize_t got = ::read(fd, text, sizeof text);
            ::close(fd);
            if (got == static_cast<ssize_t>(leftovers.saidLength) &&
                std::memcmp(text, leftovers.said, leftovers.saidLength) == 0)
                ::unlink(leftovers.announcement);
        }
        ::unlink(leftovers.socket);
        ::rmdir(leftovers.folder);
    }
    // Then the signal ends the process as it would have without us.
    for (std::size_t i = 0; i < EndingCount; ++i)
        if (EndingSignals[i] == number)
            sigaction(number, &before[i], nullptr);
    raise(number);
}

bool copyInto(char* to, std::size_t room, const std::string& text)
{
    if (text.size() >= room)
        return false;
    std::memcpy(to, text.c_str(), text.size() + 1);
    return true;
}

// SIGINT, SIGTERM and SIGHUP remove the socket, its folder and the announcement before they end
// the process; a signal the process was told to ignore (nohup) stays ignored.
void armSignals(const std::string& socket, const std::string& folder, const std::string& announcement,
                const std::string& said)
{
    armed = 0;
    std::string where = announcement;
    char here[PATH_MAX];
    if (!where.empty() && where[0] != '/' && getcwd(here, sizeof here))
        where = std::string(here) + "/" + where;
    if (!copyInto(leftovers.socket, sizeof leftovers.socket, socket) ||
        !copyInto(leftovers.folder, sizeof leftovers.folder, folder) ||
        !copyInto(leftovers.announcement, sizeof leftovers.announcement, where) ||
        !copyInto(leftovers.said, sizeof leftovers.said, said))
        return;
    leftovers.saidLength = said.size();
    for (std::size_t i = 0; i < EndingCount; ++i)
    {
        if (handled[i] || sigaction(EndingSignals[i], nullptr, &before[i]) != 0 ||
            (before[i].sa_flags & SA_SIGINFO) != 0 || before[i].sa_handler != SIG_DFL)
            continue;
        struct sigaction action = {};
        action.sa_handler = removeLeftovers;
        sigemptyset(&action.sa_mask);
        handled[i] = sigaction(EndingSignals[i], &action, nullptr) == 0;
    }
    armed = 1;
}

void disarmSignals()
{
    armed = 0;
    for (std::size_t i = 0; i < EndingCount; ++i)
        if (handled[i])
        {
            sigaction(EndingSignals[i], &before[i], nullptr);
            handled[i] = false;
        }
}

std::string errorLine(const std::string& text)
{
    return nlohmann::json{{"error", text}}.dump() + "\n";
}
} // namespace

LinkServer::~LinkServer()
{
    close();
}

bool LinkServer::open(const std::string& demoFolder, std::string& error)
{
    close();
    folder = privateFolder(error);
    if (folder.empty())
        return false;
    path = folder + "/author.sock";
    listener = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (listener < 0 || bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        chmod(path.c_str(), 0600) != 0 || listen(listener, 16) != 0)
    {
        error = "cannot listen on " + path + ": " + std::strerror(errno);
        close();
        return false;
    }
    // Written whole under another name, then renamed: an editor never reads half of it.
    announcement = (demoFolder.empty() ? std::string(".") : demoFolder) + "/" + AnnouncementFile;
    const std::string staging = announcement + ".new";
    const std::string said = nlohmann::json{{"socket", path}, {"pid", static_cast<long>(getpid())}}.dump() + "\n";
    {
        std::ofstream out(staging, std::ios::trunc);
        out << said;
        if (!out)
        {
            error = "cannot write " + announcement;
            std::remove(staging.c_str());
            announcement.clear();
            close();
            return false;
        }
    }
    if (std::rename(staging.c_str(), announcement.c_str()) != 0)
    {
        error = "cannot write " + announcement + ": " + std::strerror(errno);
        std::remove(staging.c_str());
        announcement.clear();
        close();
        return false;
    }
    armSignals(path, folder, announcement, said);
    return true;
}

void LinkServer::close()
{
    disarmSignals();
    for (Client& client : clients)
        ::close(client.fd);
    clients.clear();
    if (listener >= 0)
        ::close(listener);
    listener = -1;
    // The announcement is removed only while it still names this socket: another player may
    // have been started in the same folder since.
    if (!announcement.empty())
    {
        std::ifstream in(announcement);
        std::stringstream text;
        text << in.rdbuf();
        const nlohmann::json said = nlohmann::json::parse(text.str(), nullptr, false);
        if (said.is_object() && said.value("socket", std::string()) == path)
            std::remove(announcement.c_str());
        announcement.clear();
    }
    if (!path.empty())
        unlink(path.c_str());
    if (!folder.empty())
        rmdir(folder.c_str());
    path.clear();
    folder.clear();
}

void LinkServer::poll(const std::function<std::string(const std::string&)>& answer)
{
    if (listener < 0)
        return;
    accept();
    for (Client& client : clients)
    {
        if (!client.closing)
            receive(client);
        if (!client.gone)
            answerLines(client, answer);
        flush(client);
    }
    dropGone();
}

void LinkServer::broadcast(const std::string& line)
{
    for (Client& client : clients)
    {
        if (client.closing)
            continue;
        client.out += line;
        client.out += '\n';
        if (client.out.size() > MostPending)
            client.gone = true;
    }
}

void LinkServer::send()
{
    for (Client& client : clients)
        flush(client);
    dropGone();
}

void LinkServer::accept()
{
    for (;;)
    {
        const int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        // The folder is the user's own; the peer's user is checked as well.
        ucred peer{};
        socklen_t size = sizeof peer;
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != getuid())
        {
            ::close(fd);
            continue;
        }
        if (clients.size() >= MostClients)
        {
            const std::string line = errorLine("too many clients: " + std::to_string(MostClients) + " are connected");
            ::send(fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            ::close(fd);
            continue;
        }
        Client client;
        client.fd = fd;
        clients.push_back(std::move(client));
    }
}

void LinkServer::receive(Client& client)
{
    char buffer[4096];
    std::size_t taken = 0;
    // A line longer than a request can be is refused as soon as it is known to be one.
    while (taken < ReadPerPoll && client.in.size() <= LinkRequest::LongestLine + MostRequestsPerPoll * 64)
    {
        const ssize_t got = recv(client.fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
        {
            client.gone = true;
            return;
        }
        if (got < 0)
        {
            if (errno == EINTR)
                continue;
            return;
        }
        client.in.append(buffer, static_cast<std::size_t>(got));
        taken += static_cast<std::size_t>(got);
    }
}

void LinkServer::answerLines(Client& client, const std::function<std::string(const std::string&)>& answer)
{
    for (int answered = 0; answered < MostRequestsPerPoll && !client.closing; ++answered)
    {
        const std::size_t end = client.in.find('\n');
        if (end == std::string::npos || end > LinkRequest::LongestLine)
        {
            if (client.in.size() > LinkRequest::LongestLine)
            {
                client.out += errorLine("the request is longer than " + std::to_string(LinkRequest::LongestLine) +
                                        " bytes; the connection is closed");
                client.in.clear();
                client.closing = true;
            }
            return;
        }
        std::string line = client.in.substr(0, end);
        client.in.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos)
            continue;
        client.out += answer(line);
        client.out += '\n';
    }
}

void LinkServer::flush(Client& client)
{
    while (!client.gone && !client.out.empty())
    {
        const ssize_t sent = ::send(client.fd, client.out.data(), client.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0)
        {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                client.gone = true;
            break;
        }
        client.out.erase(0, static_cast<std::size_t>(sent));
    }
    // A client that does not read its answers is not kept waiting for.
    if (client.out.size() > MostPending)
        client.gone = true;
    // A refused connection says why once, then ends, sent or not.
    if (client.closing)
        client.gone = true;
}

void LinkServer::dropGone()
{
    for (Client& client : clients)
        if (client.gone)
            ::close(client.fd);
    clients.erase(std::remove_if(clients.begin(), clients.end(), [](const Client& client) { return client.gone; }),
                  clients.end());
}
