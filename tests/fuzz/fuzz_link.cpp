// The author channel's request reader over arbitrary lines: it must refuse or read each one
// without crashing, and a request it reads must hold values within their bounds.
#include "link/LinkRequest.hpp"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    const LinkRequest request = LinkRequest::read(line);
    using Kind = LinkRequest::Kind;
    const bool bounded = (request.kind == Kind::Invalid) == !request.error.empty() && request.step >= -LinkRequest::LongestStep &&
                         request.step <= LinkRequest::LongestStep && request.speedExponent >= -3 &&
                         request.speedExponent <= 3 && (request.kind != Kind::Loop || request.loopStart < request.loopEnd) &&
                         (request.kind != Kind::SeekLine || request.line >= 1);
    if (!bounded)
        std::abort();
    return 0;
}
