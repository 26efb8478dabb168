#include "link/LinkClient.hpp"
#include "link/LinkServer.hpp"
#include "link/LinkRequest.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
struct Folder
{
    std::string path;
    Folder()
    {
        std::string name = "/tmp/kestrune-link-test-XXXXXX";
        path = mkdtemp(&name[0]);
    }
    ~Folder() { std::filesystem::remove_all(path); }
};

// A raw client of the server's socket.
struct Peer
{
    int fd = -1;
    explicit Peer(const std::string& path)
    {
        fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        connected = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~Peer()
    {
        if (fd >= 0)
            close(fd);
    }
    void write(const std::string& text) const
    {
        std::size_t sent = 0;
        while (sent < text.size())
        {
            const ssize_t put = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (put <= 0)
                return; // full or closed: what got through is what the test is about
            sent += static_cast<std::size_t>(put);
        }
    }
    // What has arrived by now; `closed` once the server has ended the connection.
    std::string read()
    {
        std::string got;
        char buffer[4096];
        for (;;)
        {
            const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0)
                got.append(buffer, static_cast<std::size_t>(n));
            else
            {
                closed = closed || n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
                return got;
            }
        }
    }
    bool connected = false;
    bool closed = false;
};

// Echoes each request line, as the answer.
std::string echo(const std::string& line)
{
    return "{\"ok\": " + line + "}";
}

// Polls until `done` holds (the server needs a poll to see what a peer did); false after 5 s.
template <typename Done> bool pollUntil(LinkServer& server, Done done)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        server.poll(echo);
    }
    return true;
}
} // namespace

TEST(LinkServer, AnnouncesAPrivateSocketAndRemovesItOnClose)
{
    Folder demo;
    LinkServer server;
    std::string error;
    ASSERT_TRUE(server.open(demo.path, error)) << error;
    const std::string announcement = demo.path + "/" + LinkServer::AnnouncementFile;
    std::ifstream in(announcement);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\"socket\":\"" + server.socketPath() + "\""), std::string::npos) << text;
    // Only this user may reach it: the socket's folder is closed to everyone else.
    struct stat folder{};
    ASSERT_EQ(stat(std::filesystem::path(server.socketPath()).parent_path().c_str(), &folder), 0);
    EXPECT_EQ(folder.st_mode & 0077, 0u);
    const std::string socket = server.socketPath();
    server.close();
    EXPECT_FALSE(std::filesystem::exists(announcement));
    EXPECT_FALSE(std::filesystem::exists(socket));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(socket).parent_path()));
}

TEST(LinkServer, AnswersEachLineInOrderAndSendsEventsToAll)
{
    Folder demo;
    LinkServer server;
    std::string error;
    ASSERT_TRUE(server.open(demo.path, error)) << error;
    Peer first(server.socketPath()), second(server.socketPath());
    ASSERT_TRUE(first.connected && second.connected);
    ASSERT_TRUE(pollUntil(server, [&] { return server.clientCount() == 2; }));
    // A request split across writes, two in one write, a blank line and a CR LF ending.
    first.write("{\"a\":");
    server.poll(echo);
    first.write("1}\n\n{\"b\":2}\r\n{\"c\":3}\n");
    std::string got;
    ASSERT_TRUE(pollUntil(server, [&] { return (got += first.read()).size() >= 3 * 13; }));
    EXPECT_EQ(got, "{\"ok\": {\"a\":1}}\n{\"ok\": {\"b\":2}}\n{\"ok\": {\"c\":3}}\n");
    server.broadcast("{\"state\":1}");
    server.send();
    got.clear();
    std::string other;
    ASSERT_TRUE(pollUntil(server, [&] {
        got += first.read();
        other += second.read();
        return !got.empty() && !other.empty();
    }));
    EXPECT_EQ(got, "{\"state\":1}\n");
    EXPECT_EQ(other, "{\"state\":1}\n");
}

TEST(LinkServer, RefusesTooLongLinesTooManyClientsAndDropsOnesThatDoNotRead)
{
    Folder demo;
    LinkServer server;
    std::string error;
    ASSERT_TRUE(server.open(demo.path, error)) << error;

    // A line of the longest length is answered; one byte more ends the connection.
    const std::string longest = "{\"a\":\"" + std::string(LinkRequest::LongestLine - 8, 'a') + "\"}";
    ASSERT_EQ(longest.size(), LinkRequest::LongestLine);
    std::string said;
    {
        Peer fits(server.socketPath());
        fits.write(longest + "\n");
        ASSERT_TRUE(pollUntil(server, [&] { return (said += fits.read()).find('\n') != std::string::npos; }));
        EXPECT_EQ(said, echo(longest) + "\n");
        Peer over(server.socketPath());
        over.write(longest + " \n");
        said.clear();
        ASSERT_TRUE(pollUntil(server, [&] { return (said += over.read()), over.closed; }));
        EXPECT_NE(said.find("{\"error\":\"the request is longer than"), std::string::npos) << said;
    }
    ASSERT_TRUE(pollUntil(server, [&] { return server.clientCount() == 0; }));

    // A line far longer than a request: one error line, then the connection ends.
    Peer flood(server.socketPath());
    flood.write(std::string(64 * 1024, 'x'));
    said.clear();
    ASSERT_TRUE(pollUntil(server, [&] { return (said += flood.read()), flood.closed; }));
    EXPECT_NE(said.find("{\"error\":\"the request is longer than"), std::string::npos) << said;
    EXPECT_EQ(server.clientCount(), 0u);

    // Every client past the most is told so and closed; those before it stay.
    std::vector<std::unique_ptr<Peer>> peers;
    for (std::size_t i = 0; i < LinkServer::MostClients; ++i)
        peers.push_back(std::make_unique<Peer>(server.socketPath()));
    ASSERT_TRUE(pollUntil(server, [&] { return server.clientCount() == LinkServer::MostClients; }));
    Peer extra(server.socketPath());
    said.clear();
    ASSERT_TRUE(pollUntil(server, [&] { return (said += extra.read()), extra.closed; }));
    EXPECT_NE(said.find("too many clients"), std::string::npos) << said;
    EXPECT_EQ(server.clientCount(), LinkServer::MostClients);
    // A client that vanishes is forgotten.
    peers.clear();
    ASSERT_TRUE(pollUntil(server, [&] { return server.clientCount() == 0; }));

    // One that never reads is dropped once its unread lines pass the bound.
    Peer deaf(server.socketPath());
    ASSERT_TRUE(pollUntil(server, [&] { return server.clientCount() == 1; }));
    const std::string event = "{\"state\":\"" + std::string(1000, 's') + "\"}";
    for (std::size_t sent = 0; sent < 4 * LinkServer::MostPending && server.clientCount() == 1; sent += event.size())
    {
        server.broadcast(event);
        server.send();
    }
    EXPECT_EQ(server.clientCount(), 0u);
}

TEST(LinkClient, SendsOneRequestAndSkipsEventsToItsAnswer)
{
    Folder demo;
    std::string answer;
    EXPECT_EQ(LinkClient::send(demo.path, "{\"state\": true}", answer), LinkClient::Result::NoPlayer);

    LinkServer server;
    std::string error;
    ASSERT_TRUE(server.open(demo.path, error)) << error;
    auto sent = std::async(std::launch::async, [&] { return LinkClient::send(demo.path, "{\"state\":\ntrue}", answer); });
    // Events reach the client before its answer; it waits for the answer line.
    while (sent.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
    {
        server.broadcast("{\"state\": {\"step\": 1}}");
        server.poll(echo);
    }
    EXPECT_EQ(sent.get(), LinkClient::Result::Answered);
    EXPECT_EQ(answer, "{\"ok\": {\"state\": true}}");
    EXPECT_TRUE(LinkClient::isOk(answer));
    EXPECT_FALSE(LinkClient::isOk("{\"error\": \"no\"}"));

    // A stale announcement (the player gone without removing it) is no player.
    const std::string socket = server.socketPath();
    std::filesystem::copy_file(demo.path + "/" + LinkServer::AnnouncementFile, demo.path + "/kept");
    server.close();
    std::filesystem::rename(demo.path + "/kept", demo.path + "/" + LinkServer::AnnouncementFile);
    EXPECT_EQ(LinkClient::send(demo.path, "{\"state\": true}", answer), LinkClient::Result::NoPlayer);
}
