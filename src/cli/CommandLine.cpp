#include "cli/CommandLine.hpp"

#include "cli/LaunchCheck.hpp"
#include "cli/OptionTable.hpp"

#include <cmath>

const std::string& CommandLine::usage()
{
    static const std::string text = OptionTable::usage();
    return text;
}

const char* CommandLine::version()
{
    return "kestrune " KESTRUNE_VERSION;
}

bool CommandLine::parse(int argc, const char* const* argv, std::string& error)
{
    commandLine = LaunchCheck::quoteCommandLine(argc, argv);
    words = argc;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        // Options that take a value accept both "--opt value" and "--opt=value".
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        const std::string::size_type eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos)
        {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            hasValue = true;
        }
        const OptionTable::Option* option = OptionTable::find(name);
        if (option && option->values == 2)
        {
            // Both words follow, never joined by '='.
            if (hasValue || i + 2 >= argc)
            {
                error = option->missing.empty() ? "option " + option->name + " needs " + option->argument : option->missing;
                return false;
            }
            const std::string first = argv[++i];
            const std::string second = argv[++i];
            if (!option->apply(*this, first, second, error))
                return false;
        }
        else if (option && option->values == 1)
        {
            if (!hasValue)
            {
                if (i + 1 >= argc)
                {
                    error = option->missing.empty() ? "option " + name + " needs a value" : option->missing;
                    return false;
                }
                value = argv[++i];
            }
            if (!option->apply(*this, value, "", error))
                return false;
        }
        else if (option)
        {
            // A switch ignores a value given with '=', as it always has.
            if (!option->apply(*this, "", "", error))
                return false;
        }
        else if (arg.size() > 1 && arg[0] == '-')
        {
            error = "unknown option '" + arg + "'";
            return false;
        }
        else if (!joinOut.empty())
            joinParts.push_back(arg);
        else if (dir.empty())
            dir = arg;
        else
        {
            error = "more than one folder given ('" + dir + "' and '" + arg + "')";
            return false;
        }
    }

    if (!rangeText.empty())
    {
        // Times are those of the render's own clock: T seconds is where frame T x fps ends.
        if (rangeFirstSeconds >= 0.0)
            rangeFirst = std::lround(rangeFirstSeconds * fps) + 1;
        if (rangeLastSeconds >= 0.0)
            rangeLast = std::lround(rangeLastSeconds * fps);
    }
    for (const OptionTable::Rule& rule : OptionTable::rules())
        if (rule.refuses(*this))
        {
            error = rule.message(*this);
            return false;
        }
    return true;
}
