#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

// Encodes frames read back from the GL (RGBA rows, bottom row first) as opaque 8-bit RGB PNG
// files. All buffers are sized once, so encoding a frame does not allocate; the same pixels
// always give the same bytes.
class PngEncoder
{
public:
    PngEncoder(unsigned width, unsigned height);
    ~PngEncoder();
    PngEncoder(const PngEncoder&) = delete;
    PngEncoder& operator=(const PngEncoder&) = delete;

    // Encodes into an internal buffer; `data`/`size` then hold the file's bytes.
    void encode(const std::uint8_t* rgbaBottomUp);
    bool writeFile(const std::string& path) const;

    const std::uint8_t* data() const { return out.data(); }
    std::size_t size() const { return used; }

private:
    void putChunk(const char* type, const std::uint8_t* body, std::uint32_t length);
    void filterRow(const std::uint8_t* rgba);

    unsigned width;
    unsigned height;
    z_stream stream{};
    std::vector<std::uint8_t> rgb;      // one unfiltered row
    std::vector<std::uint8_t> filtered; // the filter byte and one filtered row
    std::vector<std::uint8_t> out;
    std::size_t used = 0;
};
