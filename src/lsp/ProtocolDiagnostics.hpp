#pragma once

#include "check/Diagnostics.hpp"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// The checker's entries for one file as the protocol's diagnostics: the range of the word or
// parameter they are about (in a script, the parameter the checker names, else the command word
// or the label; in a JSON file, the token at the entry's column), the severity, and a code that
// says what kind of thing is wrong ("texture", "label", "command", "json", "shader").
class ProtocolDiagnostics
{
public:
    static nlohmann::json convert(const std::vector<const Diagnostics::Entry*>& entries, const std::string& text);
};
