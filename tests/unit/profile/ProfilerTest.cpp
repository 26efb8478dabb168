#include "profile/LineSource.hpp"
#include "profile/ProfileScope.hpp"
#include "profile/Profiler.hpp"

#include "CountingAllocator.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{
// A clock that moves one microsecond each time it is read, plus what a test adds: the times
// are those of the code's path, not of the machine.
std::int64_t counted = 0;
std::int64_t countingClock()
{
    counted += 1000;
    return counted;
}

class Lines : public LineSource
{
public:
    void describeLine(int line, Profiler::Name& out) override
    {
        ++asked;
        out.text = "demo.script:" + std::to_string(line + 1) + " line";
        out.args = "\"line\":" + std::to_string(line + 1);
    }
    int asked = 0;
};

// Checks a trace by the format's rules; the first fault, or "".
std::string traceFault(const nlohmann::json& trace)
{
    if (!trace.is_object() || !trace.contains("traceEvents") || !trace["traceEvents"].is_array())
        return "no traceEvents array";
    if (!trace.contains("metadata") || !trace["metadata"].is_object())
        return "no metadata object";
    std::map<int, std::vector<std::pair<double, double>>> open; // per thread: the enclosing scopes
    std::map<int, double> last;
    for (const nlohmann::json& event : trace["traceEvents"])
    {
        for (const char* key : {"name", "ph", "ts", "pid", "tid"})
            if (!event.contains(key))
                return std::string("an event without ") + key + ": " + event.dump();
        const std::string ph = event["ph"];
        if (ph == "M")
            continue;
        if (ph != "X")
            return "an event of phase " + ph;
        if (!event.contains("dur"))
            return "a complete event without dur: " + event.dump();
        const int tid = event["tid"];
        const double ts = event["ts"];
        const double end = ts + event["dur"].get<double>();
        if (last.count(tid) && ts < last[tid])
            return "time goes back on thread " + std::to_string(tid) + ": " + event.dump();
        last[tid] = ts;
        auto& stack = open[tid];
        while (!stack.empty() && stack.back().second <= ts)
            stack.pop_back();
        if (!stack.empty() && end > stack.back().second + 1e-9)
            return "an event overlaps its parent's end on thread " + std::to_string(tid) + ": " + event.dump();
        stack.emplace_back(ts, end);
    }
    return "";
}

nlohmann::json readTrace(const std::string& path)
{
    std::ifstream in(path);
    return nlohmann::json::parse(in);
}

std::string tracePath(const char* name)
{
    return (std::filesystem::temp_directory_path() / (std::string("kestrune-") + name + "-" +
                                                      std::to_string(getpid()) + ".json"))
        .string();
}

// What the stored lines are known by (their addresses).
const char lineKeys[64] = {};

// One frame as the player makes it: a step running lines 0..lines-1 (line `slow` costs `extra`
// microseconds more), a render section, a post pass and a wait for the display.
void frame(Profiler& profiler, int lines, int slow, std::int64_t extra)
{
    profiler.beginFrame();
    {
        ProfileScope step("step", Profiler::Step);
        for (int line = 0; line < lines; ++line)
        {
            const Profiler::Open open = profiler.beginLine(line, &lineKeys[line]);
            if (line == slow)
                counted += extra * 1000;
            profiler.end(open);
        }
    }
    {
        ProfileScope render("render", Profiler::Render);
    }
    {
        ProfileScope post("post pass", Profiler::Post, Profiler::Kind::Pass, true);
    }
    {
        ProfileScope wait("display wait", Profiler::Display);
        counted += 5000000;
    }
    profiler.endFrame();
}

struct Active
{
    explicit Active(Profiler& profiler) { Profiler::active = &profiler; }
    ~Active() { Profiler::active = nullptr; }
};
} // namespace

TEST(Profiler, TheTraceFollowsTheFormatsRules)
{
    Profiler profiler(1 << 12, &countingClock);
    Active on(profiler);
    Lines lines;
    profiler.describeLinesWith(&lines);
    for (int i = 0; i < 30; ++i)
        frame(profiler, 5, 2, 40);
    const std::string path = tracePath("trace");
    std::string error;
    ASSERT_TRUE(profiler.writeTrace(path, error)) << error;
    const nlohmann::json trace = readTrace(path);
    std::filesystem::remove(path);
    EXPECT_EQ(traceFault(trace), "");
    EXPECT_EQ(trace["metadata"]["clock"], "cpu");
    EXPECT_EQ(trace["metadata"]["frames"], 30);
    // Every kind of work is a thread with a name; every line named once, by its source.
    std::map<int, std::string> threads;
    std::map<std::string, int> counts;
    for (const nlohmann::json& event : trace["traceEvents"])
    {
        if (event["name"] == "thread_name")
            threads[event["tid"]] = event["args"]["name"];
        else if (event["ph"] == "X")
            ++counts[event["name"]];
    }
    EXPECT_EQ(threads.size(), static_cast<std::size_t>(Profiler::TrackCount));
    EXPECT_EQ(threads[Profiler::Step + 1], "step");
    EXPECT_EQ(threads[Profiler::Display + 1], "display wait");
    EXPECT_EQ(counts["demo.script:3 line"], 30);
    EXPECT_EQ(counts["step"], 30);
    EXPECT_EQ(lines.asked, 5);
    // No file is left beside the trace.
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}

TEST(Profiler, TheValidatorFindsEachFault)
{
    const auto event = [](const char* name, double ts, double dur, int tid) {
        return nlohmann::json{{"name", name}, {"ph", "X"}, {"ts", ts}, {"dur", dur}, {"pid", 1}, {"tid", tid}};
    };
    const struct
    {
        const char* what;
        nlohmann::json events;
        const char* fault; // the start of the fault found, "" for none
    } cases[] = {
        {"nested and in order", {event("a", 0, 10, 1), event("b", 1, 2, 1), event("c", 5, 5, 1), event("d", 0, 3, 2)}, ""},
        {"a child past its parent's end", {event("a", 0, 10, 1), event("b", 5, 6, 1)}, "an event overlaps"},
        {"time going back", {event("a", 5, 1, 1), event("b", 1, 1, 1)}, "time goes back"},
        {"no dur", {{{"name", "a"}, {"ph", "X"}, {"ts", 0}, {"pid", 1}, {"tid", 1}}}, "a complete event without dur"},
        {"no tid", {{{"name", "a"}, {"ph", "X"}, {"ts", 0}, {"dur", 1}, {"pid", 1}}}, "an event without tid"},
    };
    for (const auto& c : cases)
    {
        const nlohmann::json trace{{"traceEvents", c.events}, {"metadata", nlohmann::json::object()}};
        EXPECT_EQ(traceFault(trace).rfind(c.fault, 0), 0u) << c.what << ": " << traceFault(trace);
    }
}

TEST(Profiler, TheCostliestLineComesFirst)
{
    Profiler profiler(1 << 12, &countingClock);
    Active on(profiler);
    Lines lines;
    profiler.describeLinesWith(&lines);
    for (int i = 0; i < 10; ++i)
        frame(profiler, 4, 1, 300);
    const std::vector<Profiler::Cost> costs = profiler.costliest(5);
    ASSERT_EQ(costs.size(), 5u); // four lines and the post pass; sections do not rank
    EXPECT_EQ(profiler.nameAt(costs[0].name).text, "demo.script:2 line");
    // Each scope reads the clock twice: a line costs 1 us, the slow one 301 us, per frame.
    EXPECT_NEAR(costs[0].cpuMs, 0.301, 1e-9);
    EXPECT_NEAR(costs[1].cpuMs, 0.001, 1e-9);
    EXPECT_LT(costs[0].gpuMs, 0.0);
    EXPECT_GT(costs[0].share, 0.0);
    EXPECT_LT(costs[0].share, 1.0);
    const std::vector<std::string> stats = profiler.statsLines(5);
    ASSERT_EQ(stats.size(), 5u);
    EXPECT_EQ(stats[0].rfind("kestrune: stats: costliest 1: demo.script:2 line: 0.30 ms per frame, ", 0), 0u) << stats[0];
}

// Runs stored line `line`, `cpuMicros` longer than a clock read; the serial of its event.
static std::uint64_t timedLine(Profiler& profiler, int line, std::int64_t cpuMicros = 0)
{
    const Profiler::Open open = profiler.beginLine(line, &lineKeys[line]);
    counted += cpuMicros * 1000;
    const std::uint64_t serial = profiler.nextSerial();
    profiler.end(open);
    return serial;
}

TEST(Profiler, AGpuTimeReadLaterRanksItsPassAndNothingElse)
{
    Profiler profiler(64, &countingClock);
    Active on(profiler);
    Lines lines;
    profiler.describeLinesWith(&lines);
    // Line 0 is cheap to submit and slow on the GPU; line 1 waits on the CPU for what came before
    // it and is quick on the GPU. Their times arrive after the frame.
    for (int i = 0; i < 4; ++i)
    {
        profiler.beginFrame();
        const std::uint64_t serial = timedLine(profiler, 0);
        const std::uint64_t otherSerial = timedLine(profiler, 1, 50); // 50 us on the CPU
        profiler.endFrame();
        profiler.gpuResult(serial, 3000000);
        profiler.gpuResult(otherSerial, 10000);
    }
    std::vector<Profiler::Cost> costs = profiler.costliest(2);
    ASSERT_EQ(costs.size(), 2u);
    EXPECT_EQ(profiler.nameAt(costs[0].name).text, "demo.script:1 line");
    EXPECT_NEAR(costs[0].ms, 3.0, 1e-9);
    EXPECT_NEAR(costs[0].gpuMs, 3.0, 1e-9);
    EXPECT_NEAR(costs[0].cpuMs, 0.001, 1e-9);
    EXPECT_NEAR(costs[1].ms, 0.010, 1e-9); // its GPU time, not its longer CPU time
    EXPECT_NEAR(costs[1].cpuMs, 0.051, 1e-9);
    EXPECT_EQ(Profiler::costText(profiler.nameAt(costs[0].name), costs[0]).rfind(
                  "demo.script:1 line: 3.00 ms per frame, 100.0% of the frame (cpu 0.00 ms, gpu 3.00 ms)", 0),
              0u);
    // Timed in two frames of eight, a pass costs the mean of its timed runs in every frame.
    Profiler sampled(256, &countingClock);
    Active onSampled(sampled);
    sampled.describeLinesWith(&lines);
    for (int i = 0; i < 8; ++i)
    {
        sampled.beginFrame();
        const std::uint64_t serial = timedLine(sampled, 0);
        sampled.endFrame();
        if (i % 4 == 0)
            sampled.gpuResult(serial, 1000000 + 500000 * i);
    }
    ASSERT_EQ(sampled.costliest(1).size(), 1u);
    EXPECT_NEAR(sampled.costliest(1)[0].gpuMs, 2.0, 1e-9);
    Profiler::active = &profiler;
    // A result for an event the ring dropped, or for one not recorded yet, changes nothing.
    const std::uint64_t old = profiler.nextSerial() - 1;
    for (int i = 0; i < 50; ++i)
        frame(profiler, 2, 5, 0);
    const double before = profiler.costliest(1)[0].ms;
    profiler.gpuResult(old, 900000000);
    profiler.gpuResult(profiler.nextSerial(), 900000000);
    EXPECT_EQ(profiler.costliest(1)[0].ms, before);
    for (std::size_t i = 0; i < profiler.eventCount(); ++i)
        EXPECT_NE(profiler.event(i).gpuDuration, 900000000) << "event " << i;
}

TEST(Profiler, TheLastSecondOnlyCountsItsFrames)
{
    Profiler profiler(1 << 14, &countingClock);
    Active on(profiler);
    // Line 3 is slow at first, then line 1 for the last second and a half of frames.
    for (int i = 0; i < 100; ++i)
        frame(profiler, 4, 3, 20000);
    for (int i = 0; i < 100; ++i)
        frame(profiler, 4, 1, 20000);
    const std::vector<Profiler::Cost> recent = profiler.costliestRecent(2, 1.0);
    ASSERT_FALSE(recent.empty());
    EXPECT_EQ(profiler.nameAt(recent[0].name).text, "line 2");
    EXPECT_NEAR(recent[0].cpuMs, 20.001, 1e-9);
    const std::vector<Profiler::Cost> whole = profiler.costliest(2);
    ASSERT_EQ(whole.size(), 2u);
    EXPECT_NEAR(whole[0].cpuMs, whole[1].cpuMs, 1e-9); // each was slow in half the frames
}

TEST(Profiler, AFullRingDropsTheOldestAndStaysValid)
{
    Profiler profiler(64, &countingClock);
    Active on(profiler);
    for (int i = 0; i < 50; ++i)
        frame(profiler, 6, 0, 0);
    EXPECT_EQ(profiler.eventCount(), 64u);
    EXPECT_EQ(profiler.droppedEvents(), 50u * 10u - 64u);
    const std::string path = tracePath("ring");
    std::string error;
    ASSERT_TRUE(profiler.writeTrace(path, error)) << error;
    const nlohmann::json trace = readTrace(path);
    std::filesystem::remove(path);
    EXPECT_EQ(traceFault(trace), "");
}

TEST(Profiler, AnUnwritableTraceIsReportedAndLeavesNothing)
{
    Profiler profiler(64, &countingClock);
    std::string error;
    EXPECT_FALSE(profiler.writeTrace("/nonexistent-folder/trace.json", error));
    EXPECT_NE(error.find("/nonexistent-folder/trace.json"), std::string::npos) << error;
}

TEST(Profiler, SteadyFramesDoNotAllocate)
{
    Profiler profiler(1 << 12, &countingClock);
    Active on(profiler);
    Lines lines;
    profiler.describeLinesWith(&lines);
    // The first frames meet every name; the ring wraps during the counted ones.
    for (int i = 0; i < 5; ++i)
        frame(profiler, 20, 3, 10);
    allocations = 0;
    countingAllocations = true;
    for (int i = 0; i < 500; ++i)
        frame(profiler, 20, 3, 10);
    countingAllocations = false;
    EXPECT_EQ(allocations, 0);
    EXPECT_GT(profiler.droppedEvents(), 0u);
}

TEST(Profiler, OffIsNothing)
{
    ASSERT_EQ(Profiler::active, nullptr);
    const std::int64_t before = counted;
    {
        ProfileScope scope("step", Profiler::Step);
    }
    EXPECT_EQ(counted, before);
}
