#include "lsp/LanguageServer.hpp"

#include "lsp/Completion.hpp"
#include "lsp/DemoFolder.hpp"
#include "lsp/Hover.hpp"
#include "lsp/LineMap.hpp"
#include "lsp/Navigation.hpp"
#include "lsp/Outline.hpp"
#include "lsp/ProtocolDiagnostics.hpp"

#include <fstream>
#include <iostream>
#include <sstream>

namespace
{
using Json = nlohmann::json;

// The protocol's error codes.
constexpr int ParseError = -32700;
constexpr int InvalidRequest = -32600;
constexpr int MethodNotFound = -32601;
constexpr int InvalidParams = -32602;
constexpr int InternalError = -32603;
constexpr int ServerNotInitialized = -32002;
constexpr int RequestFailed = -32803;

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

const Json& member(const Json& object, const char* name)
{
    if (!object.is_object() || !object.contains(name))
        throw LanguageServer::Failure{InvalidParams, std::string("missing \"") + name + "\""};
    return object[name];
}

std::string text(const Json& object, const char* name)
{
    const Json& value = member(object, name);
    if (!value.is_string())
        throw LanguageServer::Failure{InvalidParams, std::string("\"") + name + "\" is not a string"};
    return value.get<std::string>();
}

long long integer(const Json& object, const char* name)
{
    const Json& value = member(object, name);
    if (!value.is_number_integer())
        throw LanguageServer::Failure{InvalidParams, std::string("\"") + name + "\" is not an integer"};
    return value.get<long long>();
}

std::string readDisk(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}
} // namespace

LanguageServer::LanguageServer(Send send, std::string program)
    : send(std::move(send)), program(std::move(program)),
      requests{{"initialize", &LanguageServer::initialize},
               {"shutdown", &LanguageServer::shutdown},
               {"textDocument/completion", &LanguageServer::completion},
               {"textDocument/hover", &LanguageServer::hover},
               {"textDocument/definition", &LanguageServer::definition},
               {"textDocument/references", &LanguageServer::references},
               {"textDocument/prepareRename", &LanguageServer::prepareRename},
               {"textDocument/rename", &LanguageServer::rename},
               {"textDocument/documentSymbol", &LanguageServer::documentSymbol},
               {"textDocument/foldingRange", &LanguageServer::foldingRange},
               {"textDocument/inlayHint", &LanguageServer::inlayHint},
               {"textDocument/codeLens", &LanguageServer::codeLens}},
      notifications{{"initialized", &LanguageServer::initialized},
                    {"exit", &LanguageServer::exit},
                    {"textDocument/didOpen", &LanguageServer::didOpen},
                    {"textDocument/didChange", &LanguageServer::didChange},
                    {"textDocument/didSave", &LanguageServer::didSave},
                    {"textDocument/didClose", &LanguageServer::didClose}}
{}

void LanguageServer::receive(const std::string& body)
{
    const Json message = Json::parse(body, nullptr, false);
    if (message.is_discarded())
    {
        fail(nullptr, ParseError, "the message is not JSON");
        return;
    }
    dispatch(message);
}

void LanguageServer::dispatch(const Json& message)
{
    const bool hasId = message.is_object() && message.contains("id") &&
                       (message["id"].is_string() || message["id"].is_number_integer());
    const Json id = hasId ? message["id"] : Json(nullptr);
    if (!message.is_object() || !message.contains("method") || !message["method"].is_string())
    {
        // A response to one of our requests (a refresh) needs nothing.
        if (message.is_object() && message.contains("id") && (message.contains("result") || message.contains("error")))
            return;
        fail(id, InvalidRequest, "not a request or a notification");
        return;
    }
    const std::string method = message["method"].get<std::string>();
    const Json params = message.contains("params") ? message["params"] : Json::object();
    try
    {
        if (hasId)
        {
            const auto handler = requests.find(method);
            if (!initializeDone && method != "initialize")
                fail(id, ServerNotInitialized, "the server has not been initialized");
            else if (shutdownRequested)
                fail(id, InvalidRequest, "the server is shutting down");
            else if (handler == requests.end())
                fail(id, MethodNotFound, "no method " + method);
            else
                respond(id, (this->*handler->second)(params));
            return;
        }
        const auto handler = notifications.find(method);
        // Before initialize only exit counts; unknown notifications are dropped, as the protocol says.
        if (handler != notifications.end() && (initializeDone || method == "exit"))
            (this->*handler->second)(params);
    }
    catch (const Failure& failure)
    {
        if (hasId)
            fail(id, failure.code, failure.message);
    }
    catch (const std::exception& error)
    {
        if (hasId)
            fail(id, InternalError, error.what());
    }
}

void LanguageServer::respond(const Json& id, Json result)
{
    send({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
}

void LanguageServer::fail(const Json& id, int code, const std::string& message)
{
    send({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

Json LanguageServer::initialize(const Json& params)
{
    if (initializeDone)
        throw Failure{InvalidRequest, "initialize was sent twice"};
    initializeDone = true;
    if (params.is_object() && params.contains("capabilities"))
    {
        const Json& capabilities = params["capabilities"];
        refreshSupported = capabilities.is_object() && capabilities.contains("workspace") &&
                           capabilities["workspace"].is_object() &&
                           capabilities["workspace"].contains("inlayHint") &&
                           capabilities["workspace"]["inlayHint"].value("refreshSupport", false);
        const Json::json_pointer snippet("/textDocument/completion/completionItem/snippetSupport");
        snippetsSupported = capabilities.is_object() && capabilities.contains(snippet) &&
                            capabilities[snippet].is_boolean() && capabilities[snippet].get<bool>();
    }
    // The code lenses' commands run in the editor (the server starts no player): a client names
    // those it runs, and is offered only lenses of those.
    if (params.is_object() && params.contains("initializationOptions") && params["initializationOptions"].is_object())
    {
        const Json& options = params["initializationOptions"];
        if (options.contains("commands") && options["commands"].is_array())
            for (const Json& command : options["commands"])
                if (command.is_string())
                    clientCommands.insert(command.get<std::string>());
    }
    return {{"capabilities",
             {{"positionEncoding", "utf-16"},
              {"textDocumentSync", {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}}},
              {"completionProvider", {{"triggerCharacters", {" ", ",", "%", "$"}}}},
              {"hoverProvider", true},
              {"definitionProvider", true},
              {"referencesProvider", true},
              {"renameProvider", {{"prepareProvider", true}}},
              {"documentSymbolProvider", true},
              {"foldingRangeProvider", true},
              {"inlayHintProvider", true},
              {"codeLensProvider", {{"resolveProvider", false}}}}},
            {"serverInfo", {{"name", "kestrune"}, {"version", KESTRUNE_VERSION}}}};
}

Json LanguageServer::shutdown(const Json&)
{
    shutdownRequested = true;
    times.clear(); // stops the background runs
    return nullptr;
}

void LanguageServer::initialized(const Json&) {}

void LanguageServer::exit(const Json&)
{
    exitRequested = true;
}

void LanguageServer::didOpen(const Json& params)
{
    const Json& document = member(params, "textDocument");
    const std::string uri = text(document, "uri");
    documents.open(uri, text(document, "text"), integer(document, "version"));
    touched(uri, !analyses.count(DemoFolder::rootOf(DemoFolder::pathOf(uri))));
}

void LanguageServer::didChange(const Json& params)
{
    const Json& document = member(params, "textDocument");
    const std::string uri = text(document, "uri");
    if (!documents.change(uri, member(params, "contentChanges"), integer(document, "version")))
    {
        std::cerr << "kestrune --lsp: a change to " << uri << ", which is not open or not a change" << std::endl;
        return;
    }
    touched(uri, false);
}

void LanguageServer::didSave(const Json& params)
{
    const std::string uri = text(member(params, "textDocument"), "uri");
    documents.saved(uri);
    touched(uri, true);
}

void LanguageServer::didClose(const Json& params)
{
    const std::string uri = text(member(params, "textDocument"), "uri");
    documents.close(uri);
    models.erase(uri);
    touched(uri, false);
}

void LanguageServer::touched(const std::string& uri, bool saved)
{
    const std::string root = DemoFolder::rootOf(DemoFolder::pathOf(uri));
    if (root.empty())
        return;
    pending[root] = pending[root] || saved;
}

void LanguageServer::settle()
{
    std::map<std::string, bool> work;
    work.swap(pending);
    for (const auto& root : work)
    {
        check(root.first, root.second);
        if (root.second)
            if (LabelTimes* labelTimes = timesOf(root.first))
                labelTimes->start(analysisOf(root.first)->display);
    }
}

std::map<std::string, std::string> LanguageServer::unsavedIn(const std::string& root,
                                                             std::set<std::string>* dirty) const
{
    std::map<std::string, std::string> unsaved;
    for (const auto& open : documents.all())
    {
        const std::string path = DemoFolder::relative(root, DemoFolder::pathOf(open.first));
        if (path.empty())
            continue;
        unsaved[path] = open.second.text;
        if (dirty && open.second.dirty)
            dirty->insert(path);
    }
    return unsaved;
}

void LanguageServer::check(const std::string& root, bool whole)
{
    std::set<std::string> dirty;
    const std::map<std::string, std::string> unsaved = unsavedIn(root, &dirty);
    // A check reads every open text whole: one far larger than any demo's file would keep the
    // server from answering for seconds, so the demo is not checked while such a file is open.
    bool tooLarge = false;
    for (const auto& open : unsaved)
        if (open.second.size() > LargestChecked)
        {
            tooLarge = true;
            const std::string uri = DemoFolder::uriOf(root + "/" + open.first);
            const LineMap lines(open.second);
            const std::string first = lines.line(0);
            Json diagnostics = Json::array();
            diagnostics.push_back(
                {{"range",
                  {{"start", {{"line", 0}, {"character", 0}}},
                   {"end", {{"line", 0}, {"character", LineMap::units(first, first.size())}}}}},
                 {"severity", 2},
                 {"source", "kestrune"},
                 {"code", "size"},
                 {"message", "this file is larger than " + std::to_string(LargestChecked >> 20) +
                                 " MB: the demo is not checked while it is open, and the file gets no "
                                 "completion, hover or outline"}});
            if (lastSent[uri] == diagnostics)
                continue;
            lastSent[uri] = diagnostics;
            send({{"jsonrpc", "2.0"},
                  {"method", "textDocument/publishDiagnostics"},
                  {"params", {{"uri", uri}, {"diagnostics", std::move(diagnostics)}}}});
        }
    if (tooLarge)
        return;
    analysisOf(root)->check(unsaved, dirty, whole);
    publish(root);
}

void LanguageServer::publish(const std::string& root)
{
    DemoAnalysis* analysis = analysisOf(root);
    std::map<std::string, std::vector<const Diagnostics::Entry*>> byPath;
    for (const Diagnostics::Entry& entry : analysis->entries())
        byPath[entry.path].push_back(&entry);
    std::set<std::string>& sent = published[root];
    for (const std::string& path : sent)
        byPath[path]; // a file whose problems are gone gets an empty list
    const std::map<std::string, std::string> unsaved = unsavedIn(root, nullptr);
    for (const auto& open : unsaved)
        byPath[open.first]; // an open file without problems is told so
    sent.clear();
    for (const auto& file : byPath)
    {
        const auto open = unsaved.find(file.first);
        const std::string content = open != unsaved.end() ? open->second : readDisk(root + "/" + file.first);
        const std::string uri = DemoFolder::uriOf(root + "/" + file.first);
        Json diagnostics = ProtocolDiagnostics::convert(file.second, content);
        if (!file.second.empty())
            sent.insert(file.first);
        // The same list again would only make the editor redraw.
        auto last = lastSent.find(uri);
        if (last != lastSent.end() && last->second == diagnostics)
            continue;
        lastSent[uri] = diagnostics;
        send({{"jsonrpc", "2.0"},
              {"method", "textDocument/publishDiagnostics"},
              {"params", {{"uri", uri}, {"diagnostics", std::move(diagnostics)}}}});
    }
}

DemoAnalysis* LanguageServer::analysisOf(const std::string& root)
{
    std::unique_ptr<DemoAnalysis>& analysis = analyses[root];
    if (!analysis)
        analysis = std::make_unique<DemoAnalysis>(root);
    return analysis.get();
}

LabelTimes* LanguageServer::timesOf(const std::string& root)
{
    if (program.empty() || shutdownRequested)
        return nullptr;
    std::unique_ptr<LabelTimes>& labelTimes = times[root];
    if (!labelTimes)
        labelTimes = std::make_unique<LabelTimes>(program, root);
    return labelTimes.get();
}

std::vector<int> LanguageServer::backgroundPipes() const
{
    std::vector<int> pipes;
    for (const auto& run : times)
        if (run.second->pipe() >= 0)
            pipes.push_back(run.second->pipe());
    return pipes;
}

void LanguageServer::pollBackground()
{
    bool changed = false;
    for (const auto& run : times)
        changed = run.second->poll() || changed;
    if (changed)
        sendRefresh();
}

void LanguageServer::sendRefresh()
{
    if (!refreshSupported)
        return;
    send({{"jsonrpc", "2.0"}, {"id", "kestrune-" + std::to_string(++nextId)}, {"method", "workspace/inlayHint/refresh"}});
}

const ScriptModel* LanguageServer::scriptOf(const std::string& uri)
{
    const TextDocuments::Document* document = documents.find(uri);
    // Reading a script far larger than any demo's takes seconds at every version: such a file
    // gets no completion, hover or outline (its one diagnostic says why).
    if (!document || !endsWith(uri, ".script") || document->text.size() > LargestChecked)
        return nullptr;
    CachedModel& cached = models[uri];
    if (!cached.model || cached.version != document->version)
    {
        cached.model = std::make_unique<ScriptModel>(document->text);
        cached.version = document->version;
    }
    return cached.model.get();
}

LanguageServer::Place LanguageServer::place(const Json& params, bool needsScript)
{
    Place at;
    at.uri = text(member(params, "textDocument"), "uri");
    at.path = DemoFolder::pathOf(at.uri);
    at.script = scriptOf(at.uri);
    if (needsScript && !at.script)
        return at;
    if (params.contains("position"))
    {
        const Json& position = member(params, "position");
        const long long line = integer(position, "line");
        const long long character = integer(position, "character");
        if (line < 0 || character < 0 || line > (1 << 30) || character > (1 << 30))
            throw Failure{InvalidParams, "a position out of range"};
        at.line = static_cast<int>(line);
        if (at.script && at.line < static_cast<int>(at.script->raw.size()))
            at.byte = LineMap::bytes(at.script->raw[static_cast<std::size_t>(at.line)], static_cast<int>(character));
        else
            at.byte = static_cast<std::size_t>(character);
    }
    return at;
}

Json LanguageServer::completion(const Json& params)
{
    const Place at = place(params);
    if (!at.script)
        return nullptr;
    const std::string root = DemoFolder::rootOf(at.path);
    return Completion::at(*at.script, root.empty() ? nullptr : analysisOf(root), unsavedIn(root, nullptr), at.line,
                          at.byte, snippetsSupported);
}

Json LanguageServer::hover(const Json& params)
{
    const Place at = place(params);
    if (!at.script)
        return nullptr;
    const std::string root = DemoFolder::rootOf(at.path);
    std::map<std::string, std::string> arrivals;
    if (LabelTimes* labelTimes = root.empty() ? nullptr : timesOf(root))
        for (const auto& label : at.script->labelLines)
            arrivals[label.first] = labelTimes->arrival(label.first);
    const std::string said = Hover::at(*at.script, root.empty() ? nullptr : analysisOf(root),
                                       unsavedIn(root, nullptr), arrivals, at.line, at.byte);
    if (said.empty())
        return nullptr;
    return {{"contents", {{"kind", "markdown"}, {"value", said}}}};
}

Json LanguageServer::definition(const Json& params)
{
    const Place at = place(params, false);
    const std::string root = DemoFolder::rootOf(at.path);
    if (!at.script)
    {
        // In a catalog: a file name leads to the file.
        const TextDocuments::Document* document = documents.find(at.uri);
        if (!document || root.empty() || !endsWith(at.uri, ".json"))
            return nullptr;
        const Json& position = member(params, "position");
        const std::string file = Navigation::fileInJson(root, document->text, static_cast<int>(integer(position, "line")),
                                                        static_cast<int>(integer(position, "character")));
        if (file.empty())
            return nullptr;
        const Json start = {{"line", 0}, {"character", 0}};
        return {{"uri", DemoFolder::uriOf(file)}, {"range", {{"start", start}, {"end", start}}}};
    }
    return Navigation::definition(*at.script, at.uri, root.empty() ? nullptr : analysisOf(root),
                                  unsavedIn(root, nullptr), at.line, at.byte);
}

Json LanguageServer::references(const Json& params)
{
    const Place at = place(params);
    if (!at.script)
        return nullptr;
    bool withDefinition = true;
    if (params.contains("context") && params["context"].is_object())
        withDefinition = params["context"].value("includeDeclaration", true);
    return Navigation::references(*at.script, at.uri, at.line, at.byte, withDefinition);
}

Json LanguageServer::prepareRename(const Json& params)
{
    const Place at = place(params);
    if (!at.script)
        return nullptr;
    const ScriptModel::Occurrence* occurrence = at.script->at(at.line, at.byte);
    if (!occurrence)
        return nullptr;
    const std::string& raw = at.script->raw[static_cast<std::size_t>(occurrence->line)];
    return {{"range",
             {{"start", {{"line", occurrence->line}, {"character", LineMap::units(raw, occurrence->begin)}}},
              {"end", {{"line", occurrence->line}, {"character", LineMap::units(raw, occurrence->end)}}}}},
            {"placeholder", occurrence->name}};
}

Json LanguageServer::rename(const Json& params)
{
    const Place at = place(params);
    if (!at.script)
        return nullptr;
    std::string error;
    Json edit = Navigation::rename(*at.script, at.uri, at.line, at.byte, text(params, "newName"), error);
    if (!error.empty())
        throw Failure{RequestFailed, error};
    return edit;
}

Json LanguageServer::documentSymbol(const Json& params)
{
    const Place at = place(params);
    return at.script ? Outline::symbols(*at.script) : Json(nullptr);
}

Json LanguageServer::foldingRange(const Json& params)
{
    const Place at = place(params);
    return at.script ? Outline::folding(*at.script) : Json(nullptr);
}

Json LanguageServer::inlayHint(const Json& params)
{
    const Place at = place(params);
    const std::string root = DemoFolder::rootOf(at.path);
    LabelTimes* labelTimes = root.empty() ? nullptr : timesOf(root);
    if (!at.script || !labelTimes)
        return Json::array();
    const Json& range = member(params, "range");
    return labelTimes->inlayHints(*at.script, static_cast<int>(integer(member(range, "start"), "line")),
                                  static_cast<int>(integer(member(range, "end"), "line")));
}

Json LanguageServer::codeLens(const Json& params)
{
    const Place at = place(params);
    const std::string root = DemoFolder::rootOf(at.path);
    LabelTimes* labelTimes = root.empty() ? nullptr : timesOf(root);
    if (!at.script || !labelTimes)
        return Json::array();
    return labelTimes->codeLenses(*at.script, clientCommands);
}
