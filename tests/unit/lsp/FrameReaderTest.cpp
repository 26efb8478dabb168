#include "lsp/FrameReader.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// Everything the reader gives for a byte stream fed in pieces of `piece` bytes: "M:" + body for a
// message, "E" for a framing error.
std::vector<std::string> read(const std::string& stream, std::size_t piece)
{
    FrameReader reader;
    std::vector<std::string> out;
    std::string body;
    for (std::size_t at = 0; at < stream.size(); at += piece)
    {
        reader.feed(stream.data() + at, std::min(piece, stream.size() - at));
        for (FrameReader::Result result = reader.next(body); result != FrameReader::Result::NeedMore;
             result = reader.next(body))
            out.push_back(result == FrameReader::Result::Message ? "M:" + body : "E");
    }
    return out;
}

std::string frame(const std::string& body)
{
    return FrameReader::frame(body);
}
} // namespace

TEST(FrameReader, CutsTheStreamIntoBodiesWhateverThePiecesAre)
{
    using List = std::vector<std::string>;
    const std::string tooLong = std::to_string(FrameReader::MaxBody + 1);
    struct Row
    {
        const char* what;
        std::string stream;
        List expected;
    };
    const Row rows[] = {
        {"one frame", frame("{\"a\":1}"), {"M:{\"a\":1}"}},
        {"two frames back to back", frame("one") + frame("two"), {"M:one", "M:two"}},
        {"an empty body", frame(""), {"M:"}},
        {"a body holding a header and CRLFs", frame("Content-Length: 3\r\n\r\nabc"), {"M:Content-Length: 3\r\n\r\nabc"}},
        {"another header first, names in any case", "Content-Type: x\r\ncontent-LENGTH:  2\r\n\r\nhi", {"M:hi"}},
        {"UTF-8 counted in bytes", frame("\xc3\xa9\xe2\x82\xac"), {"M:\xc3\xa9\xe2\x82\xac"}},
        {"no Content-Length, then a good frame", "Content-Type: x\r\n\r\n" + frame("ok"), {"E", "M:ok"}},
        {"a length that is not a number", "Content-Length: 12abc\r\n\r\n" + frame("ok"), {"E", "M:ok"}},
        {"a negative length", "Content-Length: -4\r\n\r\n" + frame("ok"), {"E", "M:ok"}},
        {"a length beyond the limit", "Content-Length: " + tooLong + "\r\n\r\n" + frame("ok"), {"E", "M:ok"}},
        {"noise before a frame is dropped", "garbage\r\n" + frame("ok"), {"M:ok"}},
        {"a header block that never ends", std::string(FrameReader::MaxHeader + 10, 'x') + frame("ok"), {"E", "M:ok"}},
        {"a body still coming", "Content-Length: 10\r\n\r\nabc", {}},
    };
    for (const Row& row : rows)
        for (std::size_t piece : {std::size_t(1), std::size_t(2), std::size_t(7), row.stream.size() + 1})
            EXPECT_EQ(read(row.stream, piece), row.expected) << row.what << ", fed " << piece << " bytes at a time";
}

TEST(FrameReader, ALongSessionDoesNotKeepWhatItHandedOut)
{
    // Many frames through one reader: each still comes out whole after the buffer is trimmed.
    FrameReader reader;
    std::string body;
    const std::string payload(100000, 'p');
    for (int i = 0; i < 50; ++i)
    {
        const std::string stream = frame(payload + std::to_string(i));
        reader.feed(stream.data(), stream.size() / 2);
        EXPECT_EQ(reader.next(body), FrameReader::Result::NeedMore);
        reader.feed(stream.data() + stream.size() / 2, stream.size() - stream.size() / 2);
        ASSERT_EQ(reader.next(body), FrameReader::Result::Message) << i;
        EXPECT_EQ(body, payload + std::to_string(i));
    }
}
