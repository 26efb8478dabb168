#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <string_view>

// One problem in an author's files as the part of the program that found it reports it, in
// parts: the component that found it, the file it is about (if any), the command it names (if
// any), the stored line it names (if any), the parameter it is about (if any) and its text. Its
// console line is "Heading: (command @N) param i text", the heading being the component unless
// the reporter words its line otherwise; some problems carry a second console line (a parser's
// own explanation).
//
// The text is kept as pieces that point into the reporter's own strings and numbers, so that a
// report writes its line without building a string: a Problem lives only while it is reported,
// and a listener that keeps anything copies it.
//
// A report goes to every listener in turn: the console's, which is always there and writes the
// console line to standard error, first, then those registered. A listener does not register
// or stop listeners while it is called.
class Problem
{
public:
    static constexpr int MaxPieces = 16;
    // Listeners besides the console's that may be registered at once.
    static constexpr int MaxListeners = 8;

    explicit Problem(const char* component) : componentName(component), headingText(component) {}

    // The console line starts with `heading` instead of the component ("config.json: ..."),
    // or with no heading at all when it is null.
    Problem& headed(const char* heading);
    // The file the problem is about (not printed: the text names it where the line does).
    Problem& file(std::string_view path);
    // Names the command: "(command)".
    Problem& about(const std::string& command);
    // Names the command and its stored line: "(command @N)" with N = storedLine + 1.
    Problem& at(const std::string& command, int storedLine);
    // About parameter `index` (from 0): "param index " before the text.
    Problem& param(int index);
    // A second console line after the first, said as it is.
    Problem& detail(std::string_view text);
    // Appends to the text.
    Problem& operator<<(std::string_view text);
    Problem& operator<<(long long number);
    Problem& operator<<(int number) { return *this << static_cast<long long>(number); }
    Problem& operator<<(unsigned number) { return *this << static_cast<long long>(number); }
    Problem& operator<<(long number) { return *this << static_cast<long long>(number); }
    Problem& operator<<(std::size_t number) { return *this << static_cast<long long>(number); }
    // Written as the console writes a double.
    Problem& operator<<(double number);

    const char* component() const { return componentName; }
    // What the console line starts with: the component, another word, or empty.
    std::string_view heading() const { return headingText ? std::string_view(headingText) : std::string_view(); }
    // Empty when the problem names no file.
    std::string_view filePath() const { return fileName; }
    // Empty when the problem names no command.
    std::string_view command() const { return commandName ? std::string_view(*commandName) : std::string_view(); }
    // The stored line the problem names, or -1.
    int storedLine() const { return lineMarked && line >= 0 ? line : -1; }
    // The parameter the problem is about (from 0), or -1.
    int parameter() const { return parameterIndex; }
    std::string text() const;
    // The second console line, or empty.
    std::string_view detailText() const { return detailLine; }

    // The console line (the first, when there are two), without its end of line.
    void printLine(std::ostream& out) const;
    std::string consoleLine() const;
    // The lines the console's listener writes, each with its end of line.
    void printConsole(std::ostream& out) const;
    // The line for the author mode's panel, worded as the checker words places: "where: " first
    // unless `where` ("path:line") is empty, no stored-line count, the parameter counted from 1
    // ("parameter i+1: "), the second line after the first.
    std::string panelText(const std::string& where) const;

    using Listener = std::function<void(const Problem&)>;

    // A registered listener, heard until the handle goes (or is moved from and replaced).
    class Listening
    {
    public:
        Listening() = default;
        Listening(Listening&& other) noexcept : slot(other.slot) { other.slot = -1; }
        Listening& operator=(Listening&& other) noexcept;
        Listening(const Listening&) = delete;
        Listening& operator=(const Listening&) = delete;
        ~Listening() { stop(); }

        bool active() const { return slot >= 0; }
        void stop();

    private:
        friend class Problem;
        explicit Listening(int taken) : slot(taken) {}
        int slot = -1;
    };

    // Registers `listener` after those there are; the handle that comes back is inactive when
    // MaxListeners are registered already. Registering may allocate; reporting does not.
    static Listening listen(Listener listener);

    // Hands the problem to the console's listener, then to each one registered.
    static void report(const Problem& problem);

private:
    struct Piece
    {
        std::string_view text;
        long long number = 0;
        double real = 0.0;
        enum class Kind : unsigned char
        {
            Text,
            Integer,
            Real
        } kind = Kind::Text;
    };

    void printHead(std::ostream& out, bool withLine) const;
    void printText(std::ostream& out) const;
    void add(const Piece& piece);

    const char* componentName;
    const char* headingText;
    std::string_view fileName;
    std::string_view detailLine;
    const std::string* commandName = nullptr;
    bool lineMarked = false;
    int line = -1;
    int parameterIndex = -1;
    Piece pieces[MaxPieces];
    int pieceCount = 0;
};
