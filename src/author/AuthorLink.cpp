#include "author/AuthorLink.hpp"

#include "author/ErrorPanel.hpp"
#include "catalogs/DemoPaths.hpp"
#include "cutscene/GameCutscene.hpp"
#include "link/LinkRequest.hpp"
#include "motion/StepRate.hpp"
#include "player/Player.hpp"
#include "player/StartPoint.hpp"
#include "script/Script.hpp"

#include <algorithm>
#include <cmath>
#include <iostream>

namespace
{
bool isSection(const std::string& label)
{
    return label == Script::InitSection || label == Script::RenderSection;
}
} // namespace

AuthorLink::AuthorLink(Player& demo, Transport& keys, ErrorPanel& problems) : player(demo), transport(keys), panel(problems)
{
    std::string error;
    if (!server.open(".", error))
    {
        std::cerr << "kestrune: author channel: " << error << "; the editor cannot reach this player" << std::endl;
        return;
    }
    panel.heard = [this](const std::string& text) {
        if (server.hasClients())
            server.broadcast(nlohmann::json{{"problem", text}}.dump(-1, ' ', false,
                                                                     nlohmann::json::error_handler_t::replace));
    };
}

AuthorLink::~AuthorLink()
{
    // The panel may outlive the channel.
    panel.heard = nullptr;
}

void AuthorLink::serve(const std::function<void(const Transport::Request&)>& carry)
{
    server.poll([this, &carry](const std::string& line) { return answer(line, carry); });
}

void AuthorLink::publish()
{
    if (!server.hasClients())
        return;
    const long step = player.steps();
    const bool ended = !player.running();
    const double now = clock.getElapsedTime().asSeconds();
    // While playing, the step alone changes every frame: it goes out a few times a second.
    const bool changed = transport.paused != sentPaused || transport.speedExponent != sentSpeed ||
                         transport.loopStart != sentLoopStart || transport.loopEnd != sentLoopEnd ||
                         ended != sentEnded || (step != sentStep && (transport.paused || ended));
    const bool moved = step != sentStep && now - sentAt >= PlayingStateSeconds;
    if (stateDue || changed || moved)
    {
        sentStep = step;
        sentPaused = transport.paused;
        sentSpeed = transport.speedExponent;
        sentLoopStart = transport.loopStart;
        sentLoopEnd = transport.loopEnd;
        sentEnded = ended;
        sentAt = now;
        stateDue = false;
        server.broadcast(nlohmann::json{{"state", state()}}.dump(-1, ' ', false,
                                                                  nlohmann::json::error_handler_t::replace));
    }
    server.send();
}

void AuthorLink::reloaded(const std::string& names)
{
    if (!server.hasClients())
        return;
    server.broadcast(nlohmann::json{{"reloaded", names}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    stateDue = true;
}

nlohmann::json AuthorLink::state() const
{
    const long step = player.steps();
    nlohmann::json json;
    json["step"] = step;
    json["time"] = std::round(static_cast<double>(step) / StepRate::StepsPerSecond * 1000.0) / 1000.0;
    json["paused"] = transport.paused;
    if (transport.speedExponent >= 0)
        json["speed"] = 1 << transport.speedExponent;
    else
        json["speed"] = std::ldexp(1.0, transport.speedExponent);
    json["ended"] = !player.running();
    json["loop"] = transport.hasLoop() ? nlohmann::json{transport.loopStart, transport.loopEnd} : nlohmann::json();
    json["file"] = DemoPaths::Script;
    json["label"] = nullptr;
    json["line"] = nullptr;
    // Where the main flow is, as the overlay says it.
    const GameCutscene& cutscene = GameCutscene::instance();
    const Script& script = cutscene.script;
    const int line = cutscene.interp.mainFlowLine();
    if (line < script.lineCount())
    {
        json["line"] = script.fileLines[static_cast<std::size_t>(line)];
        if (const std::string* label = script.labelAbove(line))
            json["label"] = *label;
    }
    return json;
}

std::string AuthorLink::ok() const
{
    return nlohmann::json{{"ok", state()}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string AuthorLink::refused(const std::string& why)
{
    return nlohmann::json{{"error", why}}.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string AuthorLink::answer(const std::string& line, const std::function<void(const Transport::Request&)>& carry)
{
    using Kind = LinkRequest::Kind;
    using Carry = Transport::Request::Kind;
    const LinkRequest request = LinkRequest::read(line);
    const long step = player.steps();
    const std::string endText = "the demo has ended at step " + std::to_string(step) + " (" + StepRate::stepText(step) + ")";
    switch (request.kind)
    {
    case Kind::Invalid: return refused(request.error);
    case Kind::State: return ok();
    case Kind::Pause:
        transport.setPaused(true);
        carry({Carry::Changed, 0});
        return ok();
    case Kind::Play:
        if (!player.running())
            return refused(endText + "; seek back to play");
        transport.setPaused(false);
        carry({Carry::Changed, 0});
        return ok();
    case Kind::Speed:
        transport.speedExponent = request.speedExponent;
        carry({Carry::Changed, 0});
        return ok();
    case Kind::Loop:
        transport.loopStart = request.loopStart;
        transport.loopEnd = request.loopEnd;
        carry({Carry::Changed, 0});
        return ok();
    case Kind::NoLoop:
        transport.loopStart = transport.loopEnd = -1;
        carry({Carry::Changed, 0});
        return ok();
    case Kind::Step:
        // As the keys: a step is taken paused.
        if (request.step > 0 && !player.running())
            return refused(endText);
        transport.setPaused(true);
        if (request.step == 1)
            carry({Carry::StepOnce, step + 1});
        else
            carry({Carry::Seek, std::max(0L, step + request.step)});
        return ok();
    case Kind::SeekStep:
    case Kind::SeekTime:
    case Kind::SeekLabel:
    case Kind::SeekLine: break;
    }
    long target = 0;
    const std::string error = seek(request, target);
    if (!error.empty())
        return refused(error);
    carry({Carry::Seek, target});
    // Short of the target while the demo still runs: the author's Escape stopped the seek.
    if (player.steps() != target && player.running())
        return refused("the seek was stopped (Escape) at step " + std::to_string(player.steps()) + " (" +
                       StepRate::stepText(player.steps()) + "), before step " + std::to_string(target));
    if (player.steps() != target)
        return refused("the demo ends at step " + std::to_string(player.steps()) + " (" + StepRate::stepText(player.steps()) +
                       "), before step " + std::to_string(target));
    return ok();
}

std::string AuthorLink::seek(const LinkRequest& request, long& target) const
{
    using Kind = LinkRequest::Kind;
    std::string error;
    if (request.kind == Kind::SeekStep || request.kind == Kind::SeekTime)
        target = request.step;
    else if (request.kind == Kind::SeekLabel)
    {
        const Script& script = GameCutscene::instance().script;
        const auto label = script.labels.find(request.label);
        if (label == script.labels.end())
            return std::string(DemoPaths::Script) + " defines no label \"" + request.label + "\"";
        if (isSection(request.label))
            return "\"" + request.label + "\" is a section the player runs by name, not a place in the main flow";
        target = arrival(label->second, "label \"" + request.label + "\"", error);
    }
    else
    {
        const int stored = storedLine(request.line, error);
        if (stored < 0)
            return error;
        target = arrival(stored, "line " + std::to_string(request.line), error);
    }
    return error;
}

int AuthorLink::storedLine(int fileLine, std::string& error) const
{
    // A blank or comment line stands for the command after it.
    const Script& script = GameCutscene::instance().script;
    const auto at = std::lower_bound(script.fileLines.begin(), script.fileLines.end(), fileLine);
    if (at == script.fileLines.end())
    {
        error = std::string(DemoPaths::Script) + " has no command at or after line " + std::to_string(fileLine);
        return -1;
    }
    const int stored = static_cast<int>(at - script.fileLines.begin());
    const std::string* label = script.labelAbove(stored);
    if (label && isSection(*label))
    {
        error = "line " + std::to_string(fileLine) + " is in the section \"" + *label +
                "\", which the player runs by name, not in the main flow";
        return -1;
    }
    return stored;
}

long AuthorLink::arrival(int stored, const std::string& what, std::string& error) const
{
    const long step = player.arrivals({stored}).front();
    if (step < 0)
        error = "the main flow does not reach " + what + " within the first hour or before the demo ends";
    return step;
}
