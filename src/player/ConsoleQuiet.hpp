#pragma once

#include <functional>
#include <streambuf>
#include <string>

// Silences the console (std::cout, std::cerr and SFML's error stream) while a seek plays again
// steps whose lines have been printed once already: each line of the demo is printed once.
class ConsoleQuiet
{
public:
    using Listener = std::function<void(const std::string& line)>;

    ConsoleQuiet() = default;
    ConsoleQuiet(const ConsoleQuiet&) = delete;
    ConsoleQuiet& operator=(const ConsoleQuiet&) = delete;
    ~ConsoleQuiet();

    // On: every stream writes into nothing; off: each gets back the buffer it had.
    void set(bool on);

    // While set, each complete line written quietly to standard error or SFML's error stream
    // (problems, not the script's output) is handed to it instead of being dropped; null drops
    // them all. Author mode listens while a reload runs back to the author's step, when the
    // lines of a changed script have never been printed.
    void hearErrors(Listener listener);

private:
    class Discard : public std::streambuf
    {
    public:
        Listener listener;

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char_type* text, std::streamsize count) override;

    private:
        void take(const char_type* text, std::streamsize count);
        std::string pending;
    };

    Discard discard;      // standard output
    Discard errorDiscard; // standard error and SFML's error stream
    std::streambuf* out = nullptr;
    std::streambuf* err = nullptr;
    std::streambuf* sfmlErr = nullptr;
    bool on = false;
};
