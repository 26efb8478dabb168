#include "check/ShaderSource.hpp"

#include <gtest/gtest.h>

// The compiler's places as the driver reports them for this text (its preprocessor squeezes every
// run of white space and comments to one space and joins the lines a block comment spans), and
// where they lie in the file.
TEST(ShaderSource, PlacesCompilerColumnsInTheFile)
{
    const std::string glsl = "void main()\n"
                             "{\n"
                             "    float a   =   1.0 + glowz;\n"
                             "\t\tfloat b = yyy;\n"
                             "  /* c */ float c = zzz;  float   d = www;\n"
                             "    a = 1.0; /* one\n"
                             "   two */   b   = qqq;\n"
                             "}\n";
    const struct
    {
        int line, column;
        const char* message;
        int expectedLine, expectedColumn;
    } cases[] = {
        {3, 18, "`glowz' undeclared", 3, 25},
        {3, 12, "operands to arithmetic operators must be numeric", 3, 19},
        {4, 12, "`yyy' undeclared", 4, 13},
        {5, 12, "`zzz' undeclared", 5, 21},
        {5, 27, "`www' undeclared", 5, 39},
        {6, 15, "`qqq' undeclared", 7, 19},
        // A token the line does not hold (from a macro) keeps the squeezed column's place.
        {3, 18, "`K' undeclared", 3, 25},
        // Places the text does not hold come back as they are.
        {3, 99, "`glowz' undeclared", 3, 99},
        {40, 2, "", 40, 2},
    };
    for (const auto& c : cases)
    {
        const ShaderSource::Place place = ShaderSource::sourcePlace(glsl, c.line, c.column, c.message);
        EXPECT_EQ(place.line, c.expectedLine) << c.line << ":" << c.column << " " << c.message;
        EXPECT_EQ(place.column, c.expectedColumn) << c.line << ":" << c.column << " " << c.message;
    }
}
