#include "link/LinkClient.hpp"

#include "link/LinkServer.hpp"

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
// The socket the folder's announcement names, or empty; and the pid it gives.
std::string announcedSocket(const std::string& folder, long* pid = nullptr)
{
    std::ifstream in((folder.empty() ? std::string(".") : folder) + "/" + LinkServer::AnnouncementFile);
    if (!in)
        return {};
    std::stringstream text;
    text << in.rdbuf();
    const nlohmann::json said = nlohmann::json::parse(text.str(), nullptr, false);
    if (!said.is_object())
        return {};
    const auto number = said.find("pid");
    if (pid && number != said.end() && number->is_number_integer())
        *pid = number->get<long>();
    const auto socket = said.find("socket");
    return socket != said.end() && socket->is_string() ? socket->get<std::string>() : std::string();
}

bool isAnswer(const std::string& line)
{
    const nlohmann::json json = nlohmann::json::parse(line, nullptr, false);
    return json.is_object() && (json.contains("ok") || json.contains("error"));
}

struct Socket
{
    int fd;
    ~Socket()
    {
        if (fd >= 0)
            close(fd);
    }
};

// A connection to the socket at `path`, or -1. A stale announcement (a player that crashed)
// names a socket nobody listens on.
int connectTo(const std::string& path)
{
    if (path.empty() || path.size() >= sizeof(sockaddr_un::sun_path))
        return -1;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}
} // namespace

bool LinkClient::playerListens(const std::string& folder, long& pid)
{
    pid = 0;
    const Socket link{connectTo(announcedSocket(folder, &pid))};
    return link.fd >= 0;
}

bool LinkClient::isOk(const std::string& answer)
{
    const nlohmann::json json = nlohmann::json::parse(answer, nullptr, false);
    return json.is_object() && json.contains("ok");
}

LinkClient::Result LinkClient::send(const std::string& folder, const std::string& request, std::string& answer,
                                    double seconds)
{
    answer.clear();
    Socket link{connectTo(announcedSocket(folder))};
    if (link.fd < 0)
        return Result::NoPlayer;

    // One request is one line: line breaks inside it are JSON white space.
    std::string line = request;
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    line += '\n';
    for (std::size_t sent = 0; sent < line.size();)
    {
        const ssize_t put = ::send(link.fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
        {
            answer = std::string("the player closed the connection: ") + std::strerror(errno);
            return Result::Failed;
        }
        sent += static_cast<std::size_t>(put);
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::string in;
    char buffer[4096];
    for (;;)
    {
        for (std::size_t end; (end = in.find('\n')) != std::string::npos;)
        {
            std::string got = in.substr(0, end);
            in.erase(0, end + 1);
            if (isAnswer(got))
            {
                answer = got;
                return Result::Answered;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
        {
            answer = "the player did not answer in " + std::to_string(static_cast<long>(seconds)) + " s";
            return Result::Failed;
        }
        pollfd wait{link.fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready <= 0)
            continue;
        const ssize_t got = recv(link.fd, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        in.append(buffer, static_cast<std::size_t>(got));
    }
    answer = "the player closed the connection without an answer";
    return Result::Failed;
}
