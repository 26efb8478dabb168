#pragma once

#include <string>
#include <vector>

class CommandLine;
struct RenderSettings;

// Every command-line option, once: its name, its argument, what it does, which part of the program
// runs it, and the combinations that are refused. The parser, --help, the render's child processes,
// the README, the script reference, the manual page and the shell completions all read this table.
class OptionTable
{
public:
    // The part of the program that an option belongs to.
    enum class Driver
    {
        Play,
        Author,
        Check,
        Render,
        Join,
        Timeline,
        Listing,
        Lsp,
        Send,
        Export,
        Info
    };
    static const char* driverName(Driver driver);

    // What a shell completes after the option.
    enum class Values
    {
        None,
        Label,   // a label of the demo's script, or a number of seconds
        Output,  // a folder or a video file
        Folder,  // a demo's folder
        Fps,     // the frame rates
        Number,  // anything typed
    };

    // Sets the option's fields from its value(s); false with the one-line reason in `error`.
    using Apply = bool (*)(CommandLine& line, const std::string& value, const std::string& second, std::string& error);
    // Spells the option for a render's child process from the settings; nothing when it is not set.
    using Spell = void (*)(const RenderSettings& settings, const std::string& name, std::vector<std::string>& args);
    // Copies the option's fields into the render settings.
    using Copy = void (*)(const CommandLine& line, RenderSettings& settings);

    struct Option
    {
        std::string name;     // "--render"
        std::string alias;    // "-h"; empty for none
        std::string argument; // "OUT", "DIR REQUEST"; empty for a switch
        int values;           // 0, 1 or 2 words after the name (2: never in the "--name=value" form)
        Driver driver;
        Values completes;
        std::string help;     // --help's text
        std::string summary;  // the README's text
        std::string detail;   // the script reference's and the manual page's text
        Apply apply;
        Copy copy = nullptr;   // with --render: into the settings
        Spell spell = nullptr; // with --jobs: on each part's command line
        std::string missing = ""; // the error when the value is missing; empty: "option NAME needs a value"
    };
    static const std::vector<Option>& options();
    // The option called `name` (or its alias); nullptr when there is none.
    static const Option* find(const std::string& name);

    // A combination of options that is refused, in the order the parser checks them.
    enum class Relation
    {
        GoesWith, // `options` need one of `others`
        Excludes, // `options` cannot be used with `others`
        Value     // values that do not fit together
    };
    struct Rule
    {
        Relation relation;
        std::vector<std::string> options;
        std::vector<std::string> others;
        bool (*refuses)(const CommandLine& line);
        std::string (*message)(const CommandLine& line);
    };
    static const std::vector<Rule>& rules();

    // The frame rates --fps takes, the player's own first.
    static const std::vector<int>& frameRates();

    // The options that `name` goes with / cannot be used with, as the rules say.
    static std::vector<std::string> goesWith(const std::string& name);
    static std::vector<std::string> excludes(const std::string& name);

    // A render's settings from the parsed line.
    static RenderSettings renderSettings(const CommandLine& line);
    // The command line (without the program) that renders `settings` in a child process.
    static std::vector<std::string> renderArguments(const RenderSettings& settings);

    // "Usage: ..." with every option, as --help prints it.
    static std::string usage();
};
