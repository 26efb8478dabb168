#pragma once

#include "lsp/DemoAnalysis.hpp"
#include "lsp/LabelTimes.hpp"
#include "lsp/ScriptModel.hpp"
#include "lsp/TextDocuments.hpp"

#include <nlohmann/json.hpp>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

// The language server's protocol state and its request handlers, as a table of method -> handler.
// It takes one decoded message at a time and hands what it sends back to `send`; the transport
// (framing, standard input and output) is StdioServer's.
class LanguageServer
{
public:
    using Send = std::function<void(const nlohmann::json& message)>;

    // `program`: the kestrune binary that works out label times (empty: never run).
    LanguageServer(Send send, std::string program);

    // One message body as it came off the wire (not yet parsed).
    void receive(const std::string& body);
    // The work that waits until the messages at hand are read: checks of changed demos.
    void settle();
    // Label-time runs in the background: their pipes, and reading them.
    std::vector<int> backgroundPipes() const;
    void pollBackground();

    bool exited() const { return exitRequested; }

    // The largest open text a demo is checked with and a script is read from for requests (a
    // demo's files are kilobytes).
    static constexpr std::size_t LargestChecked = 2u << 20;
    // The process's exit status after "exit": 0 after a shutdown request, 1 without.
    int exitStatus() const { return shutdownRequested ? 0 : 1; }

    // A protocol error, sent as the response's error.
    struct Failure
    {
        int code;
        std::string message;
    };

private:
    using Json = nlohmann::json;
    using Request = Json (LanguageServer::*)(const Json& params);
    using Notification = void (LanguageServer::*)(const Json& params);

    void dispatch(const Json& message);
    void respond(const Json& id, Json result);
    void fail(const Json& id, int code, const std::string& message);

    Json initialize(const Json& params);
    Json shutdown(const Json& params);
    Json completion(const Json& params);
    Json hover(const Json& params);
    Json definition(const Json& params);
    Json references(const Json& params);
    Json prepareRename(const Json& params);
    Json rename(const Json& params);
    Json documentSymbol(const Json& params);
    Json foldingRange(const Json& params);
    Json inlayHint(const Json& params);
    Json codeLens(const Json& params);

    void initialized(const Json& params);
    void exit(const Json& params);
    void didOpen(const Json& params);
    void didChange(const Json& params);
    void didSave(const Json& params);
    void didClose(const Json& params);

    // The open script at the request's textDocument and position.
    struct Place
    {
        std::string uri;
        std::string path; // absolute
        const ScriptModel* script = nullptr;
        int line = 0;
        std::size_t byte = 0;
    };
    Place place(const Json& params, bool needsScript = true);
    const ScriptModel* scriptOf(const std::string& uri);
    DemoAnalysis* analysisOf(const std::string& root);
    LabelTimes* timesOf(const std::string& root);
    std::map<std::string, std::string> unsavedIn(const std::string& root, std::set<std::string>* dirty) const;
    void touched(const std::string& uri, bool saved);
    void check(const std::string& root, bool whole);
    void publish(const std::string& root);
    void sendRefresh();

    Send send;
    const std::string program;
    const std::map<std::string, Request> requests;
    const std::map<std::string, Notification> notifications;
    TextDocuments documents;
    struct CachedModel
    {
        long long version;
        std::unique_ptr<ScriptModel> model;
    };
    std::map<std::string, CachedModel> models;
    std::map<std::string, std::unique_ptr<DemoAnalysis>> analyses;
    std::map<std::string, std::unique_ptr<LabelTimes>> times;
    std::map<std::string, std::set<std::string>> published; // root -> paths with diagnostics sent
    std::map<std::string, nlohmann::json> lastSent;          // uri -> the diagnostics last published
    std::map<std::string, bool> pending;                    // root -> a check waits (true: the whole one)
    bool initializeDone = false;
    bool shutdownRequested = false;
    bool exitRequested = false;
    bool refreshSupported = false;
    bool snippetsSupported = false;
    std::set<std::string> clientCommands; // the commands the client runs itself
    long long nextId = 0;
};
