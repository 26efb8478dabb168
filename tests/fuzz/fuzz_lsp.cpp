// The language server's input stream: any bytes, cut into frames and handled as messages, must
// give protocol errors or nothing, never a crash or a hang.
#include "lsp/FrameReader.hpp"
#include "lsp/LanguageServer.hpp"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // No label-time runs: the server would start the program itself.
    LanguageServer server([](const nlohmann::json& message) {
        message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    }, std::string());
    FrameReader reader;
    // Fed in two pieces, as a pipe may deliver them.
    const std::size_t half = size / 2;
    reader.feed(reinterpret_cast<const char*>(data), half);
    reader.feed(reinterpret_cast<const char*>(data) + half, size - half);
    std::string body;
    for (FrameReader::Result result = reader.next(body); result != FrameReader::Result::NeedMore && !server.exited();
         result = reader.next(body))
    {
        if (result == FrameReader::Result::Message)
            server.receive(body);
        server.settle();
    }
    return 0;
}
