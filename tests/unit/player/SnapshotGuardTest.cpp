#include "player/Player.hpp"
#include "catalogs/MusicManager.hpp"
#include "effects/Random.hpp"

#include "ConsoleCapture.hpp"
#include "SeekMoments.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

// Every demo the project ships and every script of the fuzz corpora, landed on by seeks that start
// from snapshots: on a snapshot's step, between two, and after a reload of the script. Each landing
// must give the state, the pixels and the console lines that playing to that step gives, and so
// must the steps played after it. A field that an owner leaves out of its saved state shows here.
#ifdef KESTRUNE_TEST_GL
namespace fs = std::filesystem;
using testsupport::capture;
using namespace seekmoments;

namespace
{
// Steps played after a landing: what a snapshot left out shows in the frames that follow.
constexpr long PlayOn = 10;

struct GuardCase
{
    std::string name;
    fs::path folder;    // assets/ and config.json
    std::string script; // played as the folder's script; "" keeps its own
    std::vector<std::string> sources; // the corpus files of this script (identical ones share a case)
    std::vector<long> targets;        // in the order they are landed on
};

// gtest names a case by its name, not by its bytes.
void PrintTo(const GuardCase& c, std::ostream* out)
{
    *out << c.name;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string caseName(std::string text)
{
    for (char& c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return text;
}

// Back and forth: between snapshots (150, 61), on one (120), and again after a reload.
const std::vector<long> DemoTargets = {150, 120, 61};
// Fuzz scripts are many: fewer steps, still between (90, 75) and on (60) a snapshot.
const std::vector<long> ScriptTargets = {90, 60, 75};

std::vector<GuardCase> guardCases()
{
    const fs::path source(KESTRUNE_SOURCE_DIR);
    std::vector<GuardCase> cases;
    std::vector<fs::path> examples;
    for (const auto& entry : fs::directory_iterator(source / "examples"))
        if (fs::is_directory(entry.path() / "assets"))
            examples.push_back(entry.path());
    std::sort(examples.begin(), examples.end());
    for (const fs::path& example : examples)
        cases.push_back({"example_" + caseName(example.filename().string()), example, "", {}, DemoTargets});
    cases.push_back({"bundled_demo", source, "", {}, DemoTargets});

    // The corpora's scripts: the script fuzzers' files, and the checker's of the script kind (its
    // first byte picks the kind, 9 for a script).
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(source / "tests" / "fuzz" / "corpus"))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::map<std::string, std::size_t> byText;
    for (const fs::path& file : files)
    {
        std::string text = readFile(file);
        if (file.parent_path().filename() == "fuzz_check")
        {
            if (text.empty() || static_cast<unsigned char>(text[0]) % 10 != 9)
                continue;
            text.erase(0, 1);
        }
        else if (file.extension() != ".script")
            continue;
        const std::string relative = fs::relative(file, source / "tests" / "fuzz" / "corpus").string();
        auto found = byText.find(text);
        if (found != byText.end())
        {
            cases[found->second].sources.push_back(relative);
            continue;
        }
        byText.emplace(text, cases.size());
        cases.push_back({"corpus_" + caseName(relative), source, text, {relative}, ScriptTargets});
    }
    return cases;
}

// A copy of a demo folder (assets/ and config.json), made the working directory while it lives.
struct FolderCopy
{
    FolderCopy(const fs::path& folder, const std::string& name)
        : previous(fs::current_path()), dir(fs::temp_directory_path() / ("kestrune-guard-" + name + "-" +
                                                                           std::to_string(getpid())))
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::copy(folder / "assets", dir / "assets", fs::copy_options::recursive);
        if (fs::exists(folder / "config.json"))
            fs::copy_file(folder / "config.json", dir / "config.json");
        fs::current_path(dir);
    }
    ~FolderCopy()
    {
        fs::current_path(previous);
        fs::remove_all(dir);
    }
    FolderCopy(const FolderCopy&) = delete;
    FolderCopy& operator=(const FolderCopy&) = delete;

    fs::path previous;
    fs::path dir;
};

// What a moment shows: the state as text (with the music's clock and the random sequence's place,
// which stateOf leaves to a drawn number) and the scene's pixels.
struct Seen
{
    std::string state;
    sf::Image scene;
};

Seen seen(const Player& app)
{
    std::ostringstream extra;
    extra.precision(9);
    const MusicManager& music = MusicManager::instance();
    const SongClock& clock = music.songClock();
    extra << "song " << clock.step << ' ' << clock.songStartStep << ' ' << clock.state << ' ' << clock.position
          << ' ' << music.heldStatus() << ' ' << music.heldSeconds() << '\n';
    extra << "random " << Random::position() << '\n';
    const Moment moment = momentOf(app, false);
    return {withoutAddresses(moment.state) + extra.str(), moment.scene};
}

// The first line where two states differ, for a failure that says what drifted.
std::string firstDifference(const std::string& expected, const std::string& actual)
{
    std::istringstream a(expected), b(actual);
    std::string lineA, lineB;
    for (int line = 1;; ++line)
    {
        const bool moreA = static_cast<bool>(std::getline(a, lineA));
        const bool moreB = static_cast<bool>(std::getline(b, lineB));
        if (!moreA && !moreB)
            return "";
        if (!moreA || !moreB || lineA != lineB)
            return "state line " + std::to_string(line) + ": played \"" + (moreA ? lineA : "<none>") +
                   "\", landed \"" + (moreB ? lineB : "<none>") + "\"";
    }
}

std::size_t differentPixels(const sf::Image& a, const sf::Image& b)
{
    if (a.getSize() != b.getSize())
        return std::size_t(a.getSize().x) * a.getSize().y + 1;
    std::size_t count = 0;
    const std::size_t pixels = std::size_t(a.getSize().x) * a.getSize().y;
    for (std::size_t i = 0; i < pixels; ++i)
        count += !std::equal(a.getPixelsPtr() + 4 * i, a.getPixelsPtr() + 4 * i + 4, b.getPixelsPtr() + 4 * i);
    return count;
}

void expectSeen(const Seen& played, const Seen& landed, const char* when)
{
    const std::string difference = firstDifference(played.state, landed.state);
    EXPECT_EQ(difference, "") << when;
    EXPECT_EQ(differentPixels(played.scene, landed.scene), 0u) << when << ": pixels of the scene differ";
}

class SnapshotGuard : public testing::TestWithParam<GuardCase>
{};
} // namespace

TEST_P(SnapshotGuard, EveryLandingFromASnapshotIsWhatPlayingGives)
{
    const GuardCase& c = GetParam();
    for (const std::string& source : c.sources)
        RecordProperty("source", source);
    const FolderCopy demo(c.folder, c.name);
    if (!c.script.empty())
        std::ofstream("assets/demo.script", std::ios::binary) << c.script;

    Player app;
    capture([&] {
        app.loadConfig();
        app.load();
    });

    // Playing, with snapshots taken as it goes: what each step printed, and what each target and
    // the step PlayOn after it show.
    app.keepSnapshots(std::size_t(2) << 30);
    std::vector<std::string> printed;
    std::map<long, Seen> played;
    auto play = [&](const std::vector<long>& at) {
        app.rewind();
        app.forgetPrinted();
        printed.clear();
        played.clear();
        const long last = *std::max_element(at.begin(), at.end()) + PlayOn;
        printed.resize(static_cast<std::size_t>(last) + 1);
        for (long step = 1; step <= last; ++step)
        {
            const testsupport::Output output = capture([&] {
                app.step();
                app.renderOwed();
            });
            printed[static_cast<std::size_t>(step)] = output.out + "\n--\n" + output.err;
            for (long target : at)
                if (step == target || step == target + PlayOn)
                    played.emplace(step, seen(app));
        }
    };
    play(c.targets);
    // A demo that ends lands on its end: only the steps it reaches are landed on.
    std::vector<long> targets;
    for (long target : c.targets)
        if (app.endStep() < 0 || target <= app.endStep())
            targets.push_back(target);
    if (targets.empty())
    {
        // It ends before its first snapshot, which no seek can then start from: its end is landed
        // on from the start, all the same.
        ASSERT_LT(app.endStep(), SnapshotStore::FirstSpacing);
        targets.push_back(std::max(app.endStep(), 1L));
        play(targets);
    }
    else
        ASSERT_GT(app.snapshotStore().count(), 0u);

    auto landings = [&](const char* when) {
        for (long target : targets)
        {
            SCOPED_TRACE(std::string(when) + ", landing on step " + std::to_string(target));
            bool arrived = false;
            const testsupport::Output seek = capture([&] { arrived = app.seekTo(target); });
            EXPECT_TRUE(arrived);
            // Its steps were printed when the demo was played.
            EXPECT_EQ(seek.out + seek.err, "");
            expectSeen(played.at(target), seen(app), "at the landing");
            std::string after;
            for (long step = target + 1; step <= target + PlayOn; ++step)
            {
                const testsupport::Output output = capture([&] {
                    app.step();
                    app.renderOwed();
                });
                EXPECT_EQ(output.out + "\n--\n" + output.err, printed[static_cast<std::size_t>(step)])
                    << "console of step " << step;
            }
            expectSeen(played.at(target + PlayOn), seen(app), "steps after the landing");
        }
    };
    landings("played once");
    // The script saved as it is: the snapshots stay, and the seeks start from them again.
    const std::size_t kept = app.snapshotStore().count();
    capture([&] { app.reload({"assets/demo.script"}); });
    EXPECT_EQ(app.snapshotStore().count(), kept);
    landings("after a reload");
    app.keepSnapshots(0);
}

INSTANTIATE_TEST_SUITE_P(Demos, SnapshotGuard, testing::ValuesIn(guardCases()),
                         [](const testing::TestParamInfo<GuardCase>& info) { return info.param.name; });
#endif
