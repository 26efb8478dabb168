#pragma once

#include <ostream>

// The script language as the player knows it, printed from its tables: every command (built-in
// ones first, in dispatch order) with its parameters, the constants and the easing curves. For
// people one line per command; for tools (the editor support) one JSON document.
class CommandListing
{
public:
    static void print(std::ostream& out);
    static void printJson(std::ostream& out);
};
