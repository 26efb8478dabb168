#include "catalogs/CatalogJson.hpp"
#include "catalogs/TextureManager.hpp"

#include <SFML/Graphics/Image.hpp>
#include <SFML/System/Err.hpp>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

namespace
{
namespace fs = std::filesystem;
using nlohmann::json;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

class CatalogJsonFiles : public testing::Test
{
protected:
    void SetUp() override
    {
        static int counter = 0;
        dir = fs::temp_directory_path() /
              ("kestrune_catalogjson_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
        fs::create_directories(dir);
        sfmlErrors = sf::err().rdbuf(sfmlOutput.rdbuf());
    }

    void TearDown() override
    {
        sf::err().rdbuf(sfmlErrors);
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    std::string write(const std::string& name, const std::string& text) const
    {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    std::string image(const std::string& name) const
    {
        sf::Image picture;
        picture.create(2, 2, sf::Color::Green);
        const std::string path = (dir / name).string();
        EXPECT_TRUE(picture.saveToFile(path));
        return path;
    }

    // The parse-error text the JSON library gives for this text.
    static std::string parseErrorOf(const std::string& text)
    {
        std::istringstream in(text);
        json ignored;
        try
        {
            in >> ignored;
        }
        catch (const json::exception& error)
        {
            return error.what();
        }
        return "no error";
    }

    fs::path dir;
    std::ostringstream sfmlOutput;
    std::streambuf* sfmlErrors = nullptr;
};

std::vector<std::pair<std::string, json>> membersOf(const json& value)
{
    std::vector<std::pair<std::string, json>> members;
    forEachMember(value, [&](const std::string& key, const json& entry) { members.emplace_back(key, entry); });
    return members;
}
} // namespace

TEST(ValidateJson, AcceptsObjectWithEveryKeySilently)
{
    CaptureStderr();
    EXPECT_TRUE(validateJson(json{{"a", 1}, {"b", nullptr}}, {"a", "b"}));
    EXPECT_EQ(GetCapturedStderr(), "");
}

TEST(ValidateJson, ReportsOnlyTheFirstMissingKey)
{
    CaptureStderr();
    EXPECT_FALSE(validateJson(json{{"b", 1}}, {"a", "b", "c"}));
    EXPECT_EQ(GetCapturedStderr(), "validateJson: Missing prop: a.\n");

    CaptureStderr();
    EXPECT_FALSE(validateJson(json{{"a", 1}}, {"a", "b", "c"}));
    EXPECT_EQ(GetCapturedStderr(), "validateJson: Missing prop: b.\n");
}

TEST(ValidateJson, NonObjectLacksEveryKey)
{
    CaptureStderr();
    EXPECT_FALSE(validateJson(json::array({"textures"}), {"textures"}));
    EXPECT_FALSE(validateJson(json(), {"music"}));
    EXPECT_EQ(GetCapturedStderr(), "validateJson: Missing prop: textures.\nvalidateJson: Missing prop: music.\n");
}

TEST(ForEachMember, WalksObjectInByteOrderOfKeys)
{
    const auto members = membersOf(json::parse(R"({"a": 1, "B": 2, "_": 3})"));
    ASSERT_EQ(members.size(), 3u);
    EXPECT_EQ(members[0].first, "B");
    EXPECT_EQ(members[1].first, "_");
    EXPECT_EQ(members[2].first, "a");
    EXPECT_EQ(members[2].second, json(1));
}

TEST(ForEachMember, KeysArrayElementsByIndex)
{
    const auto members = membersOf(json::parse(R"(["x", {"file": "y"}])"));
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members[0].first, "0");
    EXPECT_EQ(members[0].second, json("x"));
    EXPECT_EQ(members[1].first, "1");
    EXPECT_EQ(members[1].second, json::parse(R"({"file": "y"})"));
}

TEST(ForEachMember, ScalarIsOneMemberWithEmptyKeyAndNullHasNone)
{
    const auto scalar = membersOf(json(7));
    ASSERT_EQ(scalar.size(), 1u);
    EXPECT_EQ(scalar[0].first, "");
    EXPECT_EQ(scalar[0].second, json(7));
    EXPECT_TRUE(membersOf(json()).empty());
}

TEST(JsonNumbers, TruncateTowardZeroCountBooleansAndRejectTheRest)
{
    EXPECT_EQ(jsonInt(json(12.9)), 12);
    EXPECT_EQ(jsonInt(json(-12.9)), -12);
    EXPECT_EQ(jsonInt(json(true)), 1);
    EXPECT_FLOAT_EQ(jsonFloat(json(true)), 1.f);
    EXPECT_FLOAT_EQ(jsonFloat(json(0.25)), 0.25f);
    EXPECT_THROW(jsonInt(json("5")), json::type_error);
    EXPECT_THROW(jsonInt(json(2147483648.0)), json::type_error);
    EXPECT_THROW(jsonFloat(json::array()), json::type_error);
    // Beyond the float range there is no float to convert to.
    EXPECT_THROW(jsonFloat(json(1e300)), json::type_error);
}

TEST_F(CatalogJsonFiles, ReadJsonFileLeavesNullWhenBrokenBeforeFirstValue)
{
    const std::string path = write("empty.json", "");
    json document = json{{"stale", true}};
    CaptureStderr();
    EXPECT_TRUE(readJsonFile(path, "TextureManager", document));
    GetCapturedStderr();
    EXPECT_TRUE(document.is_null());
}

TEST_F(CatalogJsonFiles, PartialCatalogRegistersCompleteEntries)
{
    const std::string first = image("one.png");
    const std::string second = image("two.png");
    const std::string text =
        R"({"textures": {"a": {"file": ")" + first + R"("}, "b": {"file": ")" + second + R"("}, "c":)";
    const std::string path = write("textures.json", text);

    TextureManager textures;
    CaptureStderr();
    EXPECT_TRUE(textures.load(path));
    EXPECT_EQ(GetCapturedStderr(), "TextureManager: Error while parsing JSON.\n" + parseErrorOf(text) +
                                       "\nTextureManager: Missing FILE property for [c]\n");
    EXPECT_TRUE(textures.hasTexture("a"));
    EXPECT_TRUE(textures.hasTexture("b"));
    EXPECT_FALSE(textures.hasTexture("c"));
}

TEST_F(CatalogJsonFiles, EmptyCatalogFileReportsParseAndMissingProperties)
{
    const std::string path = write("textures.json", "");
    TextureManager textures;
    CaptureStderr();
    EXPECT_FALSE(textures.load(path));
    EXPECT_EQ(GetCapturedStderr(), "TextureManager: Error while parsing JSON.\n" + parseErrorOf("") +
                                       "\nvalidateJson: Missing prop: textures.\n"
                                       "TextureManager: Missing properties in texturesfile.\n");
}
