#pragma once

#include <string>

// The other end of author mode's control channel, for kestrune --send and tests: finds the
// player announced in a demo's folder, sends one request line and reads its answer.
class LinkClient
{
public:
    enum class Result
    {
        Answered, // `answer` holds the answer line ({"ok": ...} or {"error": ...})
        NoPlayer, // no author-mode player listens for that folder
        Failed    // the player did not answer (`answer` says why)
    };

    // Waits at most `seconds` for the answer; the state events that come before it are skipped.
    static Result send(const std::string& folder, const std::string& request, std::string& answer,
                       double seconds = 120.0);
    // True for an {"ok": ...} answer line.
    static bool isOk(const std::string& answer);
    // True when the player announced in `folder` listens (it takes a connection); `pid` is the
    // one the announcement gives.
    static bool playerListens(const std::string& folder, long& pid);
};
