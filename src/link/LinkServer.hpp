#pragma once

#include <functional>
#include <string>
#include <vector>

// Author mode's end of the control channel: a Unix domain socket in a folder only this user can
// enter, whose path is announced in a small file of the demo's folder. Nothing blocks and no
// thread runs: the frame loop polls it once per frame. Each client has bounded buffers; one
// that sends a line too long, or lets its answers pile up unread, is dropped, and a client
// that vanishes is forgotten.
class LinkServer
{
public:
    // In the demo's folder: {"socket": PATH, "pid": PID} while a player listens.
    static constexpr const char* AnnouncementFile = ".kestrune-author";
    static constexpr std::size_t MostClients = 16;
    // Replies and events a client has not read yet, at most; past this it is dropped.
    static constexpr std::size_t MostPending = 256 * 1024;
    // Requests answered per client and frame; the rest wait in its buffer for the next frames.
    static constexpr int MostRequestsPerPoll = 8;

    LinkServer() = default;
    ~LinkServer();
    LinkServer(const LinkServer&) = delete;
    LinkServer& operator=(const LinkServer&) = delete;

    // Listens and writes the announcement into `folder`; false with the reason in `error`. Until
    // close(), SIGINT, SIGTERM and SIGHUP remove the socket, its folder and the announcement
    // before they end the process.
    bool open(const std::string& folder, std::string& error);
    // Stops listening, drops the clients and removes the socket and the announcement.
    void close();
    bool isOpen() const { return listener >= 0; }
    const std::string& socketPath() const { return path; }

    // Takes new clients, reads what they sent and answers each whole line with `answer(line)`
    // (one JSON object, without the newline), then sends what is waiting.
    void poll(const std::function<std::string(const std::string&)>& answer);
    // Queues `line` (without its newline) for every client; the next poll or send() sends it.
    // Safe within poll's answer: no client is dropped here.
    void broadcast(const std::string& line);
    // Sends what is waiting and drops the clients that are gone or do not read.
    void send();
    bool hasClients() const { return !clients.empty(); }
    std::size_t clientCount() const { return clients.size(); }

private:
    struct Client
    {
        int fd = -1;
        std::string in;
        std::string out;
        bool closing = false; // answered its last line: dropped once that is sent
        bool gone = false;
    };
    void accept();
    void receive(Client& client);
    void answerLines(Client& client, const std::function<std::string(const std::string&)>& answer);
    void flush(Client& client);
    void dropGone();

    int listener = -1;
    std::string folder;       // the private folder holding the socket
    std::string path;         // the socket
    std::string announcement; // the announcement file
    std::vector<Client> clients;
};
