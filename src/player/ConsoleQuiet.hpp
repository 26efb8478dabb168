#pragma once

#include <streambuf>

// Silences the console (std::cout, std::cerr and SFML's error stream) while a seek plays again
// steps whose lines have been printed once already: each line of the demo is printed once.
class ConsoleQuiet
{
public:
    ConsoleQuiet() = default;
    ConsoleQuiet(const ConsoleQuiet&) = delete;
    ConsoleQuiet& operator=(const ConsoleQuiet&) = delete;
    ~ConsoleQuiet();

    // On: every stream writes into nothing; off: each gets back the buffer it had.
    void set(bool on);

private:
    class Discard : public std::streambuf
    {
    protected:
        int_type overflow(int_type c) override { return traits_type::not_eof(c); }
        std::streamsize xsputn(const char_type*, std::streamsize count) override { return count; }
    };

    Discard discard;
    std::streambuf* out = nullptr;
    std::streambuf* err = nullptr;
    std::streambuf* sfmlErr = nullptr;
    bool on = false;
};
