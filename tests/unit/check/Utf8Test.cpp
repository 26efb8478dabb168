#include "check/Utf8.hpp"

#include <gtest/gtest.h>

TEST(Utf8, FindsTheFirstByteOutsideAWellFormedSequence)
{
    const std::size_t valid = std::string::npos;
    const struct
    {
        const char* text;
        std::size_t at;
    } cases[] = {
        {"plain ASCII", valid},
        {"Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\x89", valid}, // two, three and four bytes
        {"Caf\xe9", 3},                                       // Latin-1
        {"\xc3", 0},                                          // cut short
        {"\xc0\xaf", 0},                                      // overlong
        {"\xed\xa0\x80", 0},                                  // a surrogate
        {"\xf4\x90\x80\x80", 0},                              // beyond U+10FFFF
        {"ok\x80", 2},                                        // a lone continuation byte
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8::invalidAt(c.text), c.at) << c.text;
}
