#pragma once

#include <cstddef>

// The bundled font (DejaVu Sans), built into the program so that author-mode panels can be
// drawn whatever demo folder is played.
class EmbeddedFont
{
public:
    static const unsigned char* data();
    static std::size_t size();
};
