#include "lsp/TextDocuments.hpp"

#include <gtest/gtest.h>

#include <string>

namespace
{
using Json = nlohmann::json;

Json range(long long fromLine, long long fromCharacter, long long toLine, long long toCharacter)
{
    return {{"start", {{"line", fromLine}, {"character", fromCharacter}}},
            {"end", {{"line", toLine}, {"character", toCharacter}}}};
}

Json edit(Json where, const std::string& text)
{
    return {{"range", std::move(where)}, {"text", text}};
}
} // namespace

TEST(TextDocuments, AppliesChangesInOrderAtUtf16Positions)
{
    const std::string start = "delay 1\r\nlog \xc3\xa9t\xc3\xa9\nlog \xf0\x9f\x98\x80!\n";
    struct Row
    {
        const char* what;
        Json changes;
        std::string expected;
    };
    const Row rows[] = {
        {"an insertion", Json::array({edit(range(0, 6, 0, 6), "0.")}),
         "delay 0.1\r\nlog \xc3\xa9t\xc3\xa9\nlog \xf0\x9f\x98\x80!\n"},
        {"after two-byte letters", Json::array({edit(range(1, 6, 1, 7), "\xc3\xa8")}),
         "delay 1\r\nlog \xc3\xa9t\xc3\xa8\nlog \xf0\x9f\x98\x80!\n"},
        {"after a surrogate pair", Json::array({edit(range(2, 6, 2, 7), "?")}),
         "delay 1\r\nlog \xc3\xa9t\xc3\xa9\nlog \xf0\x9f\x98\x80?\n"},
        {"across lines", Json::array({edit(range(0, 5, 1, 3), ",")}),
         "delay, \xc3\xa9t\xc3\xa9\nlog \xf0\x9f\x98\x80!\n"},
        {"a line end typed past a CRLF line's end", Json::array({edit(range(0, 40, 0, 40), "!")}),
         "delay 1!\r\nlog \xc3\xa9t\xc3\xa9\nlog \xf0\x9f\x98\x80!\n"},
        {"each change on the text the one before made",
         Json::array({edit(range(0, 0, 0, 0), "x\n"), edit(range(1, 0, 1, 5), "wait")}),
         "x\nwait 1\r\nlog \xc3\xa9t\xc3\xa9\nlog \xf0\x9f\x98\x80!\n"},
        {"the whole text", Json::array({{{"text", "exit\n"}}}), "exit\n"},
        {"the whole text, then a range", Json::array({{{"text", "ab"}}, edit(range(0, 1, 0, 1), "-")}), "a-b"},
        {"a range written backwards", Json::array({edit(range(0, 7, 0, 6), "2")}),
         "delay 2\r\nlog \xc3\xa9t\xc3\xa9\nlog \xf0\x9f\x98\x80!\n"},
        {"past the end of the text", Json::array({edit(range(10, 0, 12, 3), "exit")}),
         start + "exit"},
    };
    for (const Row& row : rows)
    {
        TextDocuments documents;
        documents.open("file:///d/a.script", start, 1);
        ASSERT_TRUE(documents.change("file:///d/a.script", row.changes, 2)) << row.what;
        const TextDocuments::Document* document = documents.find("file:///d/a.script");
        ASSERT_NE(document, nullptr);
        EXPECT_EQ(document->text, row.expected) << row.what;
        EXPECT_EQ(document->version, 2) << row.what;
        EXPECT_TRUE(document->dirty) << row.what;
    }
}

TEST(TextDocuments, RefusesWhatIsNotAChange)
{
    struct Row
    {
        const char* what;
        Json changes;
        std::string kept; // the text after the refused change
    };
    const Row rows[] = {
        {"not an array", Json::object(), "abc"},
        {"no text", Json::array({{{"range", range(0, 0, 0, 0)}}}), "abc"},
        {"text that is not a string", Json::array({{{"text", 5}}}), "abc"},
        {"a range without an end", Json::array({{{"range", {{"start", {{"line", 0}, {"character", 0}}}}}, {"text", ""}}}),
         "abc"},
        {"a negative position", Json::array({edit(range(0, -1, 0, 0), "x")}), "abc"},
        {"a position beyond any line", Json::array({edit(range(0, 0, 1LL << 31, 0), "x")}), "abc"},
        {"a character that is a float", Json::array({edit(range(0, 0, 0, 0), "x")}), "abc"},
        {"a good change, then a bad one", Json::array({edit(range(0, 0, 0, 0), "x"), {{"text", nullptr}}}), "xabc"},
    };
    for (const Row& row : rows)
    {
        TextDocuments documents;
        documents.open("file:///d/a.script", "abc", 1);
        Json changes = row.changes;
        if (std::string(row.what) == "a character that is a float")
            changes[0]["range"]["start"]["character"] = 0.5;
        EXPECT_FALSE(documents.change("file:///d/a.script", changes, 2)) << row.what;
        EXPECT_EQ(documents.find("file:///d/a.script")->text, row.kept) << row.what;
        EXPECT_EQ(documents.find("file:///d/a.script")->version, 1) << row.what;
    }
    TextDocuments documents;
    EXPECT_FALSE(documents.change("file:///d/closed.script", Json::array({{{"text", "x"}}}), 2)) << "not open";
}

TEST(TextDocuments, KnowsWhatIsUnsaved)
{
    TextDocuments documents;
    documents.open("file:///d/a.script", "a", 1);
    EXPECT_FALSE(documents.find("file:///d/a.script")->dirty) << "as opened";
    documents.change("file:///d/a.script", Json::array({{{"text", "b"}}}), 2);
    EXPECT_TRUE(documents.find("file:///d/a.script")->dirty) << "changed";
    documents.saved("file:///d/a.script");
    EXPECT_FALSE(documents.find("file:///d/a.script")->dirty) << "saved";
    EXPECT_EQ(documents.find("file:///d/a.script")->text, "b");
    documents.close("file:///d/a.script");
    EXPECT_EQ(documents.find("file:///d/a.script"), nullptr) << "closed";
    EXPECT_TRUE(documents.all().empty());
}
