#include "lsp/Navigation.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

namespace
{
// A label and an object share the name "sky"; a buffer "sky2" and a binding "sky" too.
const char* const Text = ":sky\n"                                    // 0
                           "create_object sky, star, 0, 0\n"           // 1
                           "object_tween_y sky, 0, 3\n"                // 2
                           "add_particles sky, embers\n"               // 3
                           "create_buffer sky2\n"                      // 4
                           "delay 1\n"                                 // 5
                           "goto sky\n"                                // 6
                           ":init\n"                                   // 7
                           ":render\n"                                 // 8
                           "draw_object sky2, sky\n"                   // 9
                           "draw_particles sky2, sky\n";               // 10

const std::string Uri = "file:///demo/assets/demo.script";

// (line, first byte) of every range in a list of locations or of text edits.
std::set<std::pair<int, int>> places(const nlohmann::json& ranges)
{
    std::set<std::pair<int, int>> found;
    for (const nlohmann::json& item : ranges)
        found.insert({item["range"]["start"]["line"].get<int>(), item["range"]["start"]["character"].get<int>()});
    return found;
}
} // namespace

// References and rename follow one name of one kind: a label, an object and a particle binding
// all called "sky" are three names.
TEST(Navigation, ReferencesAndRenameFollowTheKindAsWellAsTheName)
{
    struct Row
    {
        const char* what;
        int line;
        std::size_t byte;
        std::set<std::pair<int, int>> expected; // with the definition
    };
    const Row rows[] = {
        {"the label, at its definition", 0, 2, {{0, 1}, {6, 5}}},
        {"the label, at the jump", 6, 6, {{0, 1}, {6, 5}}},
        {"the object, where it is made", 1, 15, {{1, 14}, {2, 15}, {9, 18}}},
        {"the object, where it is drawn", 9, 19, {{1, 14}, {2, 15}, {9, 18}}},
        {"the binding", 3, 15, {{3, 14}, {10, 21}}},
        {"the buffer named like the object with a 2", 4, 15, {{4, 14}, {9, 12}, {10, 15}}},
    };
    const ScriptModel model(Text);
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(places(Navigation::references(model, Uri, row.line, row.byte, true)), row.expected);
        std::string error;
        const nlohmann::json edit = Navigation::rename(model, Uri, row.line, row.byte, "moon", error);
        ASSERT_TRUE(edit.is_object()) << error;
        EXPECT_EQ(places(edit["changes"][Uri]), row.expected);
        for (const nlohmann::json& change : edit["changes"][Uri])
            EXPECT_EQ(change["newText"], "moon");
    }
}
