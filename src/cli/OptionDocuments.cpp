#include "cli/OptionDocuments.hpp"

#include "author/Transport.hpp"
#include "cli/CommandLine.hpp"
#include "cli/OptionTable.hpp"
#include "render/OutputFormat.hpp"

#include <vector>

namespace
{
using Option = OptionTable::Option;

std::string spelled(const Option& option)
{
    return option.name + (option.argument.empty() ? "" : " " + option.argument);
}

std::string joined(const std::vector<std::string>& words, const std::string& separator)
{
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : separator) + word;
    return text;
}

std::string quoted(const std::vector<std::string>& words)
{
    std::vector<std::string> marked;
    for (const std::string& word : words)
        marked.push_back(word.rfind("--", 0) == 0 ? "`" + word + "`" : word);
    return joined(marked, ", ");
}

// "goes with `--render`; not with `--check`", from the rules.
std::string combinations(const Option& option)
{
    std::vector<std::string> parts;
    const std::vector<std::string> with = OptionTable::goesWith(option.name);
    const std::vector<std::string> without = OptionTable::excludes(option.name);
    if (!with.empty())
        parts.push_back(std::string("with ") + (with.size() > 1 ? "one of " : "") + quoted(with));
    if (!without.empty())
        parts.push_back("not with " + quoted(without));
    return joined(parts, "; ");
}

// A Markdown table cell: '|' would end it.
std::string cell(const std::string& text)
{
    std::string out;
    for (char c : text)
        out += c == '|' ? std::string("\\|") : std::string(1, c);
    return out;
}

std::string markdownTable(bool detailed)
{
    std::string text = "| Option | Runs | Effect | Goes with / not with |\n|---|---|---|---|\n";
    text += "| `DIR` | play | the demo in DIR (its `config.json` and `assets/`), exactly as if started there | |\n";
    for (const Option& option : OptionTable::options())
    {
        const std::string& effect = detailed && !option.detail.empty() ? option.detail : option.summary;
        text += "| `" + cell(spelled(option)) + "`" + (option.alias.empty() ? "" : ", `" + option.alias + "`") + " | " +
                OptionTable::driverName(option.driver) + " | " + cell(effect) + " | " + cell(combinations(option)) +
                " |\n";
    }
    return text;
}

// Markdown's `code` and *emphasis* as roff's bold and italic; roff's own characters escaped.
std::string roff(const std::string& text)
{
    std::string out;
    bool code = false;
    bool emphasis = false;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        const char c = text[i];
        if (c == '`')
        {
            out += code ? "\\fR" : "\\fB";
            code = !code;
        }
        else if (c == '*' && !code)
        {
            out += emphasis ? "\\fR" : "\\fI";
            emphasis = !emphasis;
        }
        else if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else if (c == '\n')
            out += "\n";
        else
            out += c;
    }
    // A line that starts with a dot or an apostrophe would be read as a request.
    std::string safe;
    bool lineStart = true;
    for (char c : out)
    {
        if (lineStart && (c == '.' || c == '\''))
            safe += "\\&";
        safe += c;
        lineStart = c == '\n';
    }
    return safe;
}

// The first clause of the help text, for the completions' short descriptions.
std::string brief(const Option& option)
{
    std::string text = option.help;
    // "with --render: render N frames": what goes with what, the completions show by themselves.
    if (text.rfind("with ", 0) == 0 && text.find(": ") != std::string::npos)
        text = text.substr(text.find(": ") + 2);
    for (const char* end : {";", " (", ", by", ": "})
    {
        const std::string::size_type at = text.find(end);
        if (at != std::string::npos && at > 10)
            text = text.substr(0, at);
    }
    return text;
}

std::string shellWords(OptionTable::Values kind)
{
    std::vector<std::string> names;
    for (const Option& option : OptionTable::options())
        if (option.completes == kind)
            names.push_back(option.name);
    return joined(names, "|");
}

// The options followed by one value, for a shell's case patterns.
std::string valueOptions(const std::string& separator = "|")
{
    std::vector<std::string> names;
    for (const Option& option : OptionTable::options())
        if (option.values == 1)
            names.push_back(option.name);
    return joined(names, separator);
}

std::string allNames()
{
    std::vector<std::string> names;
    for (const Option& option : OptionTable::options())
    {
        names.push_back(option.name);
        if (!option.alias.empty())
            names.push_back(option.alias);
    }
    return joined(names, " ");
}

std::string frameRates()
{
    std::vector<std::string> rates;
    for (int rate : OptionTable::frameRates())
        rates.push_back(std::to_string(rate));
    return joined(rates, " ");
}

std::string videoExtensions(const std::string& separator = " ")
{
    std::vector<std::string> extensions;
    for (const OutputFormat::Container& row : OutputFormat::containers())
        extensions.push_back(row.extension);
    return joined(extensions, separator);
}

// The labels of the script of the demo in folder $1: the lines ":name" (the name ends at the next
// colon), without the two sections the player runs by itself.
const char* const LabelsCommand =
    "sed -n -e 's/\\r$//' -e 's/^[[:space:]]*:\\([^:]*\\).*$/\\1/p' \"${1:-.}/assets/demo.script\" 2>/dev/null | "
    "grep -v -x -e init -e render";

// zsh's _arguments description: its brackets and colons are its own.
std::string zshEscaped(const std::string& text)
{
    std::string out;
    for (char c : text)
    {
        if (c == '[' || c == ']' || c == ':' || c == '\\')
            out += '\\';
        if (c == '\'')
        {
            out += "'\\''";
            continue;
        }
        out += c;
    }
    return out;
}

std::string singleQuoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
} // namespace

std::string OptionDocuments::readmeTable()
{
    return markdownTable(false);
}

std::string OptionDocuments::referenceTable()
{
    return markdownTable(true);
}

std::string OptionDocuments::manPage()
{
    const std::string version = CommandLine::version();
    std::string page;
    page += ".\\\" Made by kestrune_manual from the program's option table; edit the table, not this file.\n";
    page += ".TH KESTRUNE 1 \"\" \"" + version + "\" \"User Commands\"\n";
    page += ".SH NAME\nkestrune \\- play, check and render scripted demos\n";
    page += ".SH SYNOPSIS\n.B kestrune\n[\\fIoptions\\fR] [\\fIDIR\\fR]\n";
    page += ".SH DESCRIPTION\n"
            "\\fBkestrune\\fR plays the demo in \\fIDIR\\fR, or in the current folder: its \\fBconfig.json\\fR "
            "and \\fBassets/\\fR, with the script \\fBassets/demo.script\\fR. Without options it plays in a window "
            "until Escape, the window's close button, or the end of the script.\n"
            ".PP\nEvery failure in the demo's files is one line naming the file and the problem; the demo plays on. "
            "Playing and rendering need an X display; without one, the program says so and repeats the command "
            "under \\fBxvfb\\-run\\fR.\n";
    page += ".SH OPTIONS\n"
            "An option that takes a value accepts it as the next word or after an equals sign "
            "(\\fB\\-\\-start=12\\fR).\n";
    for (const Option& option : OptionTable::options())
    {
        page += ".TP\n\\fB" + roff(option.name) + "\\fR";
        if (!option.argument.empty())
            page += " \\fI" + roff(option.argument) + "\\fR";
        if (!option.alias.empty())
            page += ", \\fB" + roff(option.alias) + "\\fR";
        page += "\n" + roff(option.detail.empty() ? option.summary : option.detail) + ".\n";
        const std::string with = combinations(option);
        page += "Runs in " + roff(OptionTable::driverName(option.driver)) + (with.empty() ? "" : "; " + roff(with)) +
                ".\n";
    }
    page += ".SH AUTHOR KEYS\nWith \\fB\\-\\-author\\fR, in the player's window:\n";
    for (const Transport::KeyHelp& key : Transport::keyHelp())
        page += ".TP\n\\fB" + roff(key.keys) + "\\fR\n" + roff(key.what) + "\n";
    page += ".SH EXIT STATUS\n"
            ".TP\n.B 0\nThe demo played to its end, the render or the join was written, "
            "\\fB\\-\\-check\\fR found no error, or \\fB\\-\\-send\\fR was answered with ok.\n"
            ".TP\n.B 1\n\\fB\\-\\-check\\fR found errors; a render or a join failed; no X display; "
            "\\fB\\-\\-send\\fR was answered with an error.\n"
            ".TP\n.B 2\nA usage error: an unknown option, a refused combination or value, a folder that is not a "
            "demo, a start point the main flow never reaches, parts that do not join, or no author\\-mode player "
            "for \\fB\\-\\-send\\fR.\n";
    page += ".SH FILES\n"
            ".TP\n.I config.json\nThe window's size, title and options of the demo; every key has a default.\n"
            ".TP\n.I assets/demo.script\nThe script: one command per line; \\fB:name\\fR lines are labels.\n"
            ".TP\n.I assets/*.json\nThe catalogs of textures, sprites, shaders, songs, particle systems and text "
            "styles.\n"
            ".TP\n.I .kestrune\\-author\nWhere an author\\-mode player announces its socket to "
            "\\fB\\-\\-send\\fR and editors.\n"
            ".TP\n.I OUT.part\\-K\\-of\\-N/part.json\nWhat a part of a render holds, read by "
            "\\fB\\-\\-join\\fR and \\fB\\-\\-jobs\\fR.\n";
    page += ".SH EXAMPLES\n"
            ".TP\n.B kestrune \\-\\-author \\-\\-start orbit my\\-demo\nPlay my\\-demo in author mode from its "
            "label :orbit.\n"
            ".TP\n.B kestrune \\-\\-check my\\-demo\nCheck the demo's files without playing.\n"
            ".TP\n.B kestrune \\-\\-render out.mp4 \\-\\-jobs 2\nRender the demo in this folder to a video in two "
            "processes.\n"
            ".TP\n.B kestrune \\-\\-render frames \\-\\-range 10s:20s \\-\\-fps 30\nThe frames from 10 to 20 "
            "seconds as PNG files, 30 a second.\n"
            ".TP\n.B kestrune \\-\\-send . '{\"state\": true}'\nAsk the author\\-mode player of this folder for "
            "its state.\n";
    page += ".SH SEE ALSO\n"
            "The README and the script reference (docs/script\\-reference.md), installed with the program's "
            "documentation.\n";
    return page;
}

std::string OptionDocuments::bashCompletion()
{
    std::string text = "# bash completion for kestrune; made by kestrune_manual from the program's option table.\n";
    text += "_kestrune_labels()\n{\n    " + std::string(LabelsCommand) + "\n}\n\n";
    text += "_kestrune()\n{\n"
            "    local cur=${COMP_WORDS[COMP_CWORD]} prev=\n"
            "    local at=$((COMP_CWORD - 1))\n"
            "    # --opt=value: bash splits the word at the equals sign.\n"
            "    if [[ $cur == = ]]; then\n"
            "        cur=\n"
            "    fi\n"
            "    if [[ ${COMP_WORDS[at]} == = ]]; then\n"
            "        at=$((at - 1))\n"
            "    fi\n"
            "    ((at >= 0)) && prev=${COMP_WORDS[at]}\n"
            "    # The demo's folder: the word that is neither an option nor an option's value.\n"
            "    local dir=. i=1 word\n"
            "    while ((i < COMP_CWORD)); do\n"
            "        word=${COMP_WORDS[i]}\n"
            "        if [[ ${COMP_WORDS[i + 1]} == = ]]; then\n"
            "            i=$((i + 3))\n"
            "            continue\n"
            "        fi\n"
            "        case $word in\n"
            "            " + valueOptions() + ") i=$((i + 2)) ;;\n"
            "            --send) i=$((i + 3)) ;;\n"
            "            -*) i=$((i + 1)) ;;\n"
            "            *) dir=$word; i=$((i + 1)) ;;\n"
            "        esac\n"
            "    done\n"
            "    local IFS=$'\\n'\n"
            "    case $prev in\n"
            "        " + shellWords(OptionTable::Values::Label) + ")\n"
            "            COMPREPLY=($(compgen -W \"$(_kestrune_labels \"$dir\")\" -- \"$cur\"))\n"
            "            return ;;\n"
            "        " + shellWords(OptionTable::Values::Fps) + ")\n"
            "            COMPREPLY=($(compgen -W \"$(printf '%s\\n' " + frameRates() + ")\" -- \"$cur\"))\n"
            "            return ;;\n"
            "        " + shellWords(OptionTable::Values::Output) + ")\n"
            "            # A folder of frames, or a video by its extension.\n"
            "            local ext\n"
            "            COMPREPLY=($(compgen -d -- \"$cur\"))\n"
            "            for ext in " + videoExtensions() + "; do\n"
            "                COMPREPLY+=($(compgen -f -X \"!*.$ext\" -- \"$cur\"))\n"
            "                [[ -n $cur && $cur != *.* ]] && COMPREPLY+=(\"$cur.$ext\")\n"
            "            done\n"
            "            return ;;\n"
            "        " + shellWords(OptionTable::Values::Folder) + ")\n"
            "            COMPREPLY=($(compgen -d -- \"$cur\"))\n"
            "            return ;;\n"
            "        " + shellWords(OptionTable::Values::Number) + ")\n"
            "            return ;;\n"
            "    esac\n"
            "    if [[ $cur == -* ]]; then\n"
            "        COMPREPLY=($(compgen -W \"$(printf '%s\\n' " + allNames() + ")\" -- \"$cur\"))\n"
            "        return\n"
            "    fi\n"
            "    COMPREPLY=($(compgen -d -- \"$cur\"))\n"
            "}\n"
            "complete -o filenames -F _kestrune kestrune\n";
    return text;
}

std::string OptionDocuments::zshCompletion()
{
    std::string text = "#compdef kestrune\n"
                       "# Made by kestrune_manual from the program's option table.\n\n";
    text += "_kestrune_label_list()\n{\n    " + std::string(LabelsCommand) + "\n}\n\n";
    text += "_kestrune_labels()\n{\n"
            "    # The demo's folder: the last word that is neither an option nor an option's value.\n"
            "    local dir=. i=2\n"
            "    while (( i < CURRENT )); do\n"
            "        case ${words[i]} in\n"
            "            " + valueOptions() + ") (( i += 2 )) ;;\n"
            "            --send) (( i += 3 )) ;;\n"
            "            -*) (( i += 1 )) ;;\n"
            "            *) dir=${words[i]}; (( i += 1 )) ;;\n"
            "        esac\n"
            "    done\n"
            "    local -a labels\n"
            "    labels=(${(f)\"$(_kestrune_label_list $dir)\"})\n"
            "    _describe -t labels 'label' labels\n"
            "}\n\n";
    text += "_kestrune_outputs()\n{\n"
            "    _alternative 'folders:folder of frames:_files -/' "
            "'videos:video:_files -g \"*.(" + videoExtensions("|") + ")\"'\n}\n\n";
    text += "_arguments -s \\\n";
    for (const Option& option : OptionTable::options())
    {
        const std::string description = zshEscaped(brief(option));
        std::string action;
        switch (option.completes)
        {
        case OptionTable::Values::Label: action = ":label:_kestrune_labels"; break;
        case OptionTable::Values::Output: action = ":output:_kestrune_outputs"; break;
        case OptionTable::Values::Folder: action = ":demo folder:_files -/:request: "; break;
        case OptionTable::Values::Fps: action = ":frame rate:(" + frameRates() + ")"; break;
        case OptionTable::Values::Number: action = ":" + zshEscaped(option.argument) + ": "; break;
        case OptionTable::Values::None: break;
        }
        const std::string form = option.values == 1 ? "=" : "";
        if (!option.alias.empty())
            text += "    '(" + option.name + " " + option.alias + ")'{" + option.name + "," + option.alias + "}'[" +
                    description + "]" + action + "' \\\n";
        else
            text += "    '" + option.name + form + "[" + description + "]" + action + "' \\\n";
    }
    text += "    '*:demo folder:_files -/'\n";
    return text;
}

std::string OptionDocuments::fishCompletion()
{
    std::string text = "# fish completion for kestrune; made by kestrune_manual from the program's option table.\n";
    text += "function __kestrune_labels\n"
            "    # The demo's folder: the last word that is neither an option nor an option's value.\n"
            "    set -l dir .\n"
            "    set -l words (commandline -opc)\n"
            "    set -l i 2\n"
            "    while test $i -le (count $words)\n"
            "        switch $words[$i]\n"
            "            case " + valueOptions(" ") + "\n"
            "                set i (math $i + 2)\n"
            "            case --send\n"
            "                set i (math $i + 3)\n"
            "            case '-*'\n"
            "                set i (math $i + 1)\n"
            "            case '*'\n"
            "                set dir $words[$i]\n"
            "                set i (math $i + 1)\n"
            "        end\n"
            "    end\n"
            "    sh -c " + singleQuoted(LabelsCommand) + " sh $dir\n"
            "end\n\n";
    text += "complete -c kestrune -f -a '(__fish_complete_directories)'\n";
    for (const Option& option : OptionTable::options())
    {
        text += "complete -c kestrune -l " + option.name.substr(2);
        if (!option.alias.empty())
            text += " -s " + option.alias.substr(1);
        switch (option.completes)
        {
        case OptionTable::Values::Label: text += " -x -a '(__kestrune_labels)'"; break;
        case OptionTable::Values::Output: text += " -r -F"; break;
        case OptionTable::Values::Folder: text += " -x -a '(__fish_complete_directories)'"; break;
        case OptionTable::Values::Fps: text += " -x -a '" + frameRates() + "'"; break;
        case OptionTable::Values::Number: text += " -x"; break;
        case OptionTable::Values::None: break;
        }
        text += " -d " + singleQuoted(brief(option)) + "\n";
    }
    return text;
}
