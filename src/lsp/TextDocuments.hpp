#pragma once

#include <nlohmann/json.hpp>

#include <map>
#include <string>

// The documents the editor has open, by URI: their unsaved text and version. Changes arrive as
// ranges replaced by new text (incremental sync) or as the whole text.
class TextDocuments
{
public:
    struct Document
    {
        std::string text;
        long long version = 0;
        bool dirty = false; // changed since it was opened or last saved
    };

    void open(const std::string& uri, std::string text, long long version);
    // False when the document is not open or a change is not one the protocol describes (the
    // document then keeps the changes before it).
    bool change(const std::string& uri, const nlohmann::json& changes, long long version);
    void saved(const std::string& uri);
    void close(const std::string& uri);

    const Document* find(const std::string& uri) const;
    const std::map<std::string, Document>& all() const { return documents; }

private:
    std::map<std::string, Document> documents;
};
