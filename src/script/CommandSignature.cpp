#include "script/CommandSignature.hpp"

namespace
{
// In the order of ParamKind.
const char* const KindNames[] = {
    "integer", "number",  "easing",         "yoyo_easing", "flag",       "variable",   "new_variable", "text",
    "uniform", "label",   "song",           "texture",     "shader",     "particle_system",
    "text_system", "new_object", "new_buffer", "new_binding", "object_or_buffer", "object",
    "buffer",  "binding", "animation_file", "animation",
};
static_assert(sizeof KindNames / sizeof KindNames[0] == static_cast<std::size_t>(ParamKind::Animation) + 1,
              "one name per parameter kind");
} // namespace

const char* kindName(ParamKind kind)
{
    return KindNames[static_cast<std::size_t>(kind)];
}
