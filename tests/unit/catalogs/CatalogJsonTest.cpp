#include "catalogs/CatalogJson.hpp"
#include "catalogs/CatalogTestSupport.hpp"

using nlohmann::json;

TEST(CatalogJson, ValidateJsonReportsOnlyTheFirstMissingKey)
{
    EXPECT_EQ(captured([] { EXPECT_TRUE(validateJson(json{{"a", 1}, {"b", nullptr}}, {"a", "b"})); }), Console());
    EXPECT_EQ(captured([] {
                  EXPECT_FALSE(validateJson(json{{"b", 1}}, {"a", "b", "c"}));
              }),
              errLines("validateJson: Missing prop: a.\n"));
    EXPECT_EQ(captured([] {
                  EXPECT_FALSE(validateJson(json{{"a", 1}}, {"a", "b", "c"}));
              }),
              errLines("validateJson: Missing prop: b.\n"));
    // Anything but an object lacks every key.
    EXPECT_EQ(captured([] {
                  EXPECT_FALSE(validateJson(json::array({"music"}), {"music"}));
                  EXPECT_FALSE(validateJson(json(), {"textures"}));
              }),
              errLines("validateJson: Missing prop: music.\nvalidateJson: Missing prop: textures.\n"));
}

// Deeper nesting is a parse error: the document keeps the levels built so far, and nothing that
// copies, prints or frees it recurses beyond them.
TEST(CatalogJson, ParseRefusesNestingBeyondTheLimit)
{
    const auto nested = [](std::size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    const auto depthOf = [](const nlohmann::json& document) {
        std::size_t depth = 0;
        for (const nlohmann::json* level = &document; level->is_array(); level = &level->front(), ++depth)
            if (level->empty())
                return depth + 1;
        return depth;
    };

    nlohmann::json document;
    std::istringstream fits(nested(MaxJsonDepth) + " trailing text is ignored");
    parseJson(fits, document);
    EXPECT_EQ(depthOf(document), MaxJsonDepth);

    std::istringstream deep(nested(100000));
    try
    {
        parseJson(deep, document);
        ADD_FAILURE() << "no parse error";
    }
    catch (const nlohmann::json::parse_error& error)
    {
        EXPECT_STREQ(error.what(), "[json.exception.parse_error.101] parse error: nesting deeper than 512 levels");
    }
    EXPECT_EQ(depthOf(document), MaxJsonDepth);
    EXPECT_EQ(nlohmann::json(document), document);
}

// A directory opens as a stream but cannot be read: it is reported like a file that is missing.
TEST(CatalogJson, ReadJsonFileRefusesADirectory)
{
    const std::string dir = testing::TempDir() + "kestrune_json_dir";
    std::filesystem::create_directories(dir);
    nlohmann::json document;
    EXPECT_EQ(captured([&] { EXPECT_FALSE(readJsonFile(dir, "Loader", document)); }),
              errLines("Loader: Unable to open file " + dir + ".\n"));
    std::filesystem::remove(dir);
}
