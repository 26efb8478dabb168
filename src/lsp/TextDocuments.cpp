#include "lsp/TextDocuments.hpp"

#include "lsp/LineMap.hpp"

void TextDocuments::open(const std::string& uri, std::string text, long long version)
{
    documents[uri] = Document{std::move(text), version, false};
}

bool TextDocuments::change(const std::string& uri, const nlohmann::json& changes, long long version)
{
    const auto found = documents.find(uri);
    if (found == documents.end() || !changes.is_array())
        return false;
    Document& document = found->second;
    for (const nlohmann::json& change : changes)
    {
        if (!change.is_object() || !change.contains("text") || !change["text"].is_string())
            return false;
        const std::string& text = change["text"].get_ref<const std::string&>();
        if (!change.contains("range"))
        {
            document.text = text;
            continue;
        }
        const nlohmann::json& range = change["range"];
        auto position = [&range](const char* end, LineMap::Position& out) {
            if (!range.is_object() || !range.contains(end) || !range[end].is_object())
                return false;
            const nlohmann::json& at = range[end];
            if (!at.contains("line") || !at["line"].is_number_integer() || !at.contains("character") ||
                !at["character"].is_number_integer())
                return false;
            const long long line = at["line"].get<long long>();
            const long long character = at["character"].get<long long>();
            if (line < 0 || character < 0 || line > 1 << 30 || character > 1 << 30)
                return false;
            out = {static_cast<int>(line), static_cast<int>(character)};
            return true;
        };
        LineMap::Position start, end;
        if (!position("start", start) || !position("end", end))
            return false;
        const LineMap lines(document.text);
        std::size_t from = lines.offset(start);
        std::size_t to = lines.offset(end);
        if (to < from)
            std::swap(from, to);
        document.text.replace(from, to - from, text);
    }
    document.version = version;
    document.dirty = true;
    return true;
}

void TextDocuments::saved(const std::string& uri)
{
    const auto found = documents.find(uri);
    if (found != documents.end())
        found->second.dirty = false;
}

void TextDocuments::close(const std::string& uri)
{
    documents.erase(uri);
}

const TextDocuments::Document* TextDocuments::find(const std::string& uri) const
{
    const auto found = documents.find(uri);
    return found == documents.end() ? nullptr : &found->second;
}
