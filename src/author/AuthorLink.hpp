#pragma once

#include "author/Transport.hpp"
#include "link/LinkServer.hpp"

#include <nlohmann/json.hpp>

#include <SFML/System/Clock.hpp>

#include <functional>
#include <string>

class ErrorPanel;
class LinkRequest;
class Player;

// Author mode's control channel: an editor seeks the player to a time, a step, a label or a
// line of the script, pauses, steps, sets the speed and the loop, and follows the state. Each
// request becomes the transport request a key would make, carried out by author mode as the key's
// is; the answer and the events go back as JSON lines.
class AuthorLink
{
public:
    // While playing, the state goes out at most this often.
    static constexpr double PlayingStateSeconds = 0.25;

    // Listens for the demo in the working directory; a channel that cannot open is said once on
    // standard error, and author mode plays on without it.
    AuthorLink(Player& player, Transport& transport, ErrorPanel& panel);
    ~AuthorLink();
    AuthorLink(const AuthorLink&) = delete;
    AuthorLink& operator=(const AuthorLink&) = delete;

    // Answers the requests waiting; what they ask of the transport is done by `carry`.
    void serve(const std::function<void(const Transport::Request&)>& carry);
    // After a frame: the state, when it has changed since it was last sent.
    void publish();
    // The saved files just read again ("demo.script, textures.json").
    void reloaded(const std::string& names);

    // The state as the channel says it: step, time, paused, speed, label, file, line, ended, loop.
    nlohmann::json state() const;

private:
    std::string answer(const std::string& line, const std::function<void(const Transport::Request&)>& carry);
    // The transport request of a seek, or an error.
    std::string seek(const LinkRequest& request, long& target) const;
    // The stored line of a line of the script file, checked to be one the main flow can run.
    int storedLine(int fileLine, std::string& error) const;
    // The first step in which the main flow arrives at a stored line, or an error.
    long arrival(int stored, const std::string& what, std::string& error) const;
    std::string ok() const;
    static std::string refused(const std::string& why);

    Player& player;
    Transport& transport;
    ErrorPanel& panel;
    LinkServer server;
    sf::Clock clock;
    // What was last sent, to send only changes.
    long sentStep = -1;
    bool sentPaused = false;
    int sentSpeed = 0;
    long sentLoopStart = -1;
    long sentLoopEnd = -1;
    bool sentEnded = false;
    double sentAt = 0.0;
    bool stateDue = true;
};
