#include "author/EmbeddedFont.hpp"

// The font file's bytes, placed in the read-only data by the assembler; the build names the file.
__asm__(".section .rodata\n"
        ".balign 16\n"
        "kestruneEmbeddedFontBegin:\n"
        ".incbin \"" KESTRUNE_FONT_FILE "\"\n"
        "kestruneEmbeddedFontEnd:\n"
        ".previous\n");

extern "C" const unsigned char kestruneEmbeddedFontBegin[];
extern "C" const unsigned char kestruneEmbeddedFontEnd[];

const unsigned char* EmbeddedFont::data()
{
    return kestruneEmbeddedFontBegin;
}

std::size_t EmbeddedFont::size()
{
    return static_cast<std::size_t>(kestruneEmbeddedFontEnd - kestruneEmbeddedFontBegin);
}
