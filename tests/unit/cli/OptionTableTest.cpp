#include "cli/CommandLine.hpp"
#include "cli/OptionDocuments.hpp"
#include "cli/OptionTable.hpp"
#include "render/OfflineRenderer.hpp"
#include "render/RenderJobs.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace
{
bool parsed(const std::vector<std::string>& args, CommandLine& line)
{
    std::vector<const char*> argv{"kestrune"};
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    std::string error;
    const bool ok = line.parse(static_cast<int>(argv.size()), argv.data(), error);
    EXPECT_EQ(error, "");
    return ok;
}

std::string settingsText(const RenderSettings& s)
{
    std::ostringstream out;
    out << "out=" << s.out << " start=" << s.start << " frames=" << s.frames << " seconds=" << s.seconds
        << " fps=" << s.fps << " range=" << s.rangeFirst << ":" << s.rangeLast << " part=" << s.part << "/" << s.parts
        << " size=" << s.size << " manifest=" << s.manifest << " drawAll=" << s.drawAll;
    return out.str();
}

std::string joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : " ") + word;
    return text;
}
} // namespace

// What a render's child process is given reads back, through the parser, as the settings it was
// made from: the parent and its parts agree on every option.
TEST(OptionTable, ChildCommandLinesReadBackAsTheirSettings)
{
    struct Row
    {
        std::vector<std::string> args;
        std::string child; // the second part's command line of a --jobs 2 render
    };
    const Row rows[] = {
        {{"--render", "out"}, "--render out --part 2/2"},
        {{"--render", "out.mp4", "--start", "orbit", "--frames", "90", "--fps", "30", "--size", "640x360"},
         "--start orbit --render out.mp4 --frames 90 --fps 30 --size 640x360 --part 2/2"},
        {{"--render", "f", "--range", "10s:20s", "--manifest", "--draw-all"},
         "--render f --range 601:1200 --part 2/2 --manifest --draw-all"},
        {{"--render", "f", "--range", "100:"}, "--render f --range 100: --part 2/2"},
        {{"--render", "f", "--seconds", "1.5", "--fps", "30"}, "--render f --frames 45 --fps 30 --part 2/2"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(joined(row.args));
        CommandLine line;
        ASSERT_TRUE(parsed(row.args, line));
        const RenderSettings settings = OptionTable::renderSettings(line);
        RenderJobs jobs(settings, 2, OptionTable::renderArguments);
        const std::vector<std::string> child = jobs.partArguments(2);
        EXPECT_EQ(joined(child), row.child);

        CommandLine again;
        ASSERT_TRUE(parsed(child, again));
        RenderSettings expected = settings;
        expected.part = 2;
        expected.parts = 2;
        if (expected.seconds > 0)
        {
            expected.frames = 45;
            expected.seconds = -1.0;
        }
        EXPECT_EQ(settingsText(OptionTable::renderSettings(again)), settingsText(expected));
    }
}

// Each option is in --help and in every document, once the generators have read the table.
TEST(OptionTable, EveryOptionIsInEveryDocument)
{
    const std::string documents[] = {CommandLine::usage(), OptionDocuments::readmeTable(),
                                     OptionDocuments::manPage(), OptionDocuments::bashCompletion(),
                                     OptionDocuments::zshCompletion(), OptionDocuments::fishCompletion()};
    for (const OptionTable::Option& option : OptionTable::options())
    {
        SCOPED_TRACE(option.name);
        std::string inRoff;
        for (char c : option.name)
            inRoff += c == '-' ? std::string("\\-") : std::string(1, c);
        EXPECT_NE(documents[0].find("  " + option.name), std::string::npos);
        EXPECT_NE(documents[1].find("| `" + option.name), std::string::npos);
        EXPECT_NE(documents[2].find("\\fB" + inRoff + "\\fR"), std::string::npos);
        EXPECT_NE(documents[3].find(option.name), std::string::npos);
        EXPECT_TRUE(documents[4].find("'" + option.name) != std::string::npos ||
                    documents[4].find("{" + option.name + ",") != std::string::npos);
        EXPECT_NE(documents[5].find("-l " + option.name.substr(2) + " "), std::string::npos);
    }
}

// The combinations the rules name, both ways for a refusal.
TEST(OptionTable, RulesSayWhatGoesTogether)
{
    EXPECT_EQ(joined(OptionTable::goesWith("--fps")), "--render");
    EXPECT_EQ(joined(OptionTable::goesWith("--json")), "--list-commands --timeline");
    EXPECT_EQ(joined(OptionTable::goesWith("--snapshot-memory")), "--author");
    EXPECT_EQ(joined(OptionTable::excludes("--check")), "--lsp --timeline --join --render --start --author");
    EXPECT_EQ(joined(OptionTable::excludes("--part")), "--join --jobs");
    EXPECT_EQ(joined(OptionTable::goesWith("--start")), "");
    // Every option a rule names is in the table (or is the folder).
    for (const OptionTable::Rule& rule : OptionTable::rules())
        for (const std::vector<std::string>* names : {&rule.options, &rule.others})
            for (const std::string& name : *names)
                EXPECT_TRUE(OptionTable::find(name) || name == "DIR" || name == "any other option") << name;
}
