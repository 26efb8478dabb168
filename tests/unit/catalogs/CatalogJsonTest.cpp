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
