#include "render/PngEncoder.hpp"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <vector>

namespace
{
std::uint32_t be32(const std::uint8_t* at)
{
    return (std::uint32_t(at[0]) << 24) | (std::uint32_t(at[1]) << 16) | (std::uint32_t(at[2]) << 8) | at[3];
}
} // namespace

TEST(PngEncoder, WritesTopRowFirstOpaqueRgbWithValidChunks)
{
    // Two rows of three RGBA pixels, bottom row first as the GL reads them back.
    const std::vector<std::uint8_t> rgba = {
        10, 20, 30, 0,   40,  50, 60, 255, 200, 100, 0, 7,   // bottom row
        1,  2,  3,  255, 250, 5,  9,  255, 0,   0,   0, 255, // top row
    };
    PngEncoder encoder(3, 2);
    encoder.encode(rgba.data());
    const std::uint8_t* png = encoder.data();
    ASSERT_EQ(std::memcmp(png, "\x89PNG\r\n\x1a\n", 8), 0);

    std::vector<std::uint8_t> idat;
    std::size_t at = 8;
    while (at < encoder.size())
    {
        const std::uint32_t length = be32(png + at);
        const uLong crc = crc32(0, png + at + 4, length + 4);
        EXPECT_EQ(crc, be32(png + at + 8 + length));
        if (std::memcmp(png + at + 4, "IHDR", 4) == 0)
        {
            EXPECT_EQ(be32(png + at + 8), 3u);
            EXPECT_EQ(be32(png + at + 12), 2u);
            EXPECT_EQ(png[at + 16], 8);
            EXPECT_EQ(png[at + 17], 2); // RGB
        }
        if (std::memcmp(png + at + 4, "IDAT", 4) == 0)
            idat.insert(idat.end(), png + at + 8, png + at + 8 + length);
        at += 12 + length;
    }
    ASSERT_EQ(at, encoder.size());

    std::vector<std::uint8_t> raw(2 * (1 + 9));
    uLongf rawSize = raw.size();
    ASSERT_EQ(uncompress(raw.data(), &rawSize, idat.data(), idat.size()), Z_OK);
    ASSERT_EQ(rawSize, raw.size());
    // Undo the Sub filter of each row.
    std::vector<std::uint8_t> rgb;
    for (int row = 0; row < 2; ++row)
    {
        std::uint8_t* line = &raw[row * 10];
        EXPECT_EQ(line[0], 1);
        for (int i = 4; i < 10; ++i)
            line[i] = static_cast<std::uint8_t>(line[i] + line[i - 3]);
        rgb.insert(rgb.end(), line + 1, line + 10);
    }
    const std::vector<std::uint8_t> expected = {1, 2, 3, 250, 5, 9, 0, 0, 0, 10, 20, 30, 40, 50, 60, 200, 100, 0};
    EXPECT_EQ(rgb, expected);
}
