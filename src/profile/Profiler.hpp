#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

class LineSource;

// Where a frame goes: timed scopes (the step's script lines, particle systems, text instances
// and tweens; the render section's lines; the post pass; the wait for the display; read-back and
// encoding) recorded into a ring of events allocated once, with running totals per name. The
// rooms below the player report to the one active profiler; with none, each hook is one branch.
// Passes drawn by the render section, the post pass and the overlays are timed on the GPU clock
// with the driver's timer queries where it has them: the results are read a frame later, so that
// the GPU keeps working while the CPU goes on, and the frame's drawing is finished once, before its
// wait for the display. Without timer queries each pass is finished before its scope ends, so that
// a heavy shader costs its own line on the CPU clock.
class Profiler
{
public:
    // The trace's threads: one per kind of work (the render first: viewers open the first).
    enum Track : std::uint8_t
    {
        Render,
        Step,
        Post,
        Display,
        Output,
        Gpu,
        TrackCount
    };
    static const char* trackName(int track);

    // Sections hold other scopes and waits are not the demo's work: only lines and passes rank.
    enum class Kind : std::uint8_t
    {
        Section,
        Line,
        Pass
    };

    // Nanoseconds on a monotonic clock; tests give one that counts instead.
    using Clock = std::int64_t (*)();
    static std::int64_t steadyNow();

    // The profiler that the hooks report to; null: profiling is off.
    static Profiler* active;

    // `capacity` events are kept (the oldest are dropped once the ring is full).
    explicit Profiler(std::size_t capacity, Clock clock = &steadyNow);
    Profiler(const Profiler&) = delete;
    Profiler& operator=(const Profiler&) = delete;

    // With a GL context current: passes are timed on the GPU clock when the driver has timer
    // queries, and finished at the end of their scope when it has not. Notes the driver's names
    // for the trace.
    void useGl();
    bool gpuTimed() const { return gpuTimers; }
    // What the trace's metadata and the panel say of the clocks.
    std::string clockText() const;
    const std::string& glRenderer() const { return renderer; }

    // Names, interned once: a steady frame finds them again without allocating.
    struct Name
    {
        std::string text;
        // A JSON object's members without braces, for the trace's "args" ("" for none).
        std::string args;
        Kind kind = Kind::Section;
    };
    std::uint32_t name(const std::string& text, Kind kind, const std::string& args = std::string());
    // The name of something the profiler knows by its address; `describe(Name&)` fills it the
    // first time only.
    template <typename Describe>
    std::uint32_t nameOf(const void* key, Describe describe)
    {
        const auto found = keyed.find(key);
        if (found != keyed.end())
            return found->second;
        Name fresh;
        describe(fresh);
        const std::uint32_t id = name(fresh.text, fresh.kind, fresh.args);
        keyed.emplace(key, id);
        return id;
    }
    // A name written in the program: found by its address.
    std::uint32_t fixedName(const char* text, Kind kind)
    {
        return nameOf(text, [&](Name& fresh) {
            fresh.text = text;
            fresh.kind = kind;
        });
    }
    const Name& nameAt(std::uint32_t id) const { return names[id]; }
    std::size_t nameCount() const { return names.size(); }
    // The names of script lines come from here (the cutscene that runs them).
    void describeLinesWith(LineSource* source) { lineSource = source; }
    // The thing at this address is another one now.
    void forgetKey(const void* key) { keyed.erase(key); }
    // A script was loaded, or catalogs read again: lines and addresses may stand for other things.
    void forgetKeys();

    // Scopes. A scope on a pass track may be timed on the GPU clock.
    struct Open
    {
        std::int64_t start;
        std::int64_t gpuStart;
        std::uint32_t name;
        std::uint8_t track;
        bool pass;
    };
    Open begin(std::uint32_t name, Track track, bool pass = false);
    void end(const Open& open);
    // A stored script line run on the current line track (a render section's lines are passes).
    Open beginLine(int line, const void* key);

    // The track script lines go to: set by the sections that run them.
    Track lineTrack = Step;

    // A frame of the driver's loop (its steps, render, post pass and display).
    void beginFrame();
    // The frame's length in nanoseconds on the profiler's clock.
    std::int64_t endFrame();
    std::uint64_t frames() const { return frameCount; }
    // The last frame's length without its waits for the display: what its work took.
    std::int64_t lastFrameWork() const { return lastWork; }

    // A name's cost: milliseconds per frame on the CPU and GPU clocks (GPU -1: not timed), and
    // its share of the frames' time.
    struct Cost
    {
        std::uint32_t name;
        double ms; // what it costs the frame: its GPU time where it has one
        double cpuMs;
        double gpuMs;
        double share;
    };
    // A pass's GPU time, read from its timer query after the event `serial` (counted from the
    // first event ever recorded) was recorded; nothing once the ring has dropped that event.
    // A name's GPU cost per frame is the mean of its timed runs times its runs.
    void gpuResult(std::uint64_t serial, std::int64_t nanoseconds);
    // The serial number the next recorded event gets.
    std::uint64_t nextSerial() const { return recorded; }

    // The `count` costliest lines and passes over the whole run: passes by their GPU time where
    // it was measured, everything else by its CPU time.
    std::vector<Cost> costliest(std::size_t count) const;
    // The same over the frames of the last `seconds` of the profiler's clock.
    std::vector<Cost> costliestRecent(std::size_t count, double seconds);

    // One line per cost, as --stats prints them after its figures:
    // "kestrune: stats: costliest 1: demo.script:7 draw_object main, heavy: 4.20 ms per frame, 52.1% of the frame".
    static std::string costText(const Name& name, const Cost& cost);
    std::vector<std::string> statsLines(std::size_t count) const;

    // The trace in the Trace Event Format: written beside, then renamed. False (with the reason
    // in `error`) when it cannot be written.
    bool writeTrace(const std::string& path, std::string& error) const;
    // Events recorded, and those the ring dropped.
    std::size_t eventCount() const { return stored; }
    std::uint64_t droppedEvents() const { return dropped; }

    struct Event
    {
        std::int64_t start;
        std::int64_t duration;
        std::int64_t gpuStart; // on the profiler's clock: the GPU runs a pass no sooner than it was submitted
        std::int64_t gpuDuration; // -1: not timed on the GPU
        std::uint32_t name;
        std::uint32_t frame;
        std::uint8_t track;
    };
    // The event `i` of those kept, oldest first.
    const Event& event(std::size_t i) const;

private:
    void record(const Event& event);
    // Per name: its time on each clock, and how often it ran and was timed on the GPU.
    struct Totals
    {
        std::vector<std::int64_t> cpu;
        std::vector<std::int64_t> gpu;
        std::vector<std::uint64_t> runs;
        std::vector<std::uint64_t> gpuRuns;
        void grow();
        void clear();
        void add(const Event& event);
    };
    std::vector<Cost> rank(const Totals& totals, std::int64_t frameTime, std::uint64_t frameCount,
                           std::size_t count) const;
    // GL: the timer queries of the current context (made on first use there), or null.
    struct ContextQueries;
    ContextQueries* queriesHere();
    // Reads the results of `queries` that are ready (all of them when the context was finished).
    void collect(ContextQueries& queries, bool finished);
    // Finishes the frame's drawing before its wait for the display, timed as the render's.
    void finishDrawing();

    Clock clock;
    std::vector<Event> ring;
    std::size_t next = 0;
    std::size_t stored = 0;
    std::uint64_t recorded = 0;
    std::uint64_t dropped = 0;

    std::vector<Name> names;
    std::unordered_map<std::string, std::uint32_t> byText;
    std::unordered_map<const void*, std::uint32_t> keyed;
    // Per stored script line: its name, and the address it was named for.
    struct LineName
    {
        const void* key = nullptr;
        std::uint32_t id = 0;
    };
    std::vector<LineName> lines;
    LineSource* lineSource = nullptr;

    Totals totals;
    Totals recent;
    std::uint64_t frameCount = 0;
    std::int64_t frameStart = 0;
    std::int64_t frameTotal = 0;
    bool inFrame = false;
    std::int64_t frameWait = 0;
    std::int64_t lastWork = 0;
    // Per frame: where it started and how long it took, for the recent figures.
    struct FrameMark
    {
        std::int64_t start;
        std::int64_t duration;
    };
    std::vector<FrameMark> frameMarks;

    bool gl = false;
    bool gpuTimers = false;
    bool drawingFinished = false;
    // Passes are timed on the GPU in one frame of every `sampleEvery`, in turns, so that a frame
    // holds a few queries however many passes it draws (some drivers bin each query into every
    // tile of the target).
    static constexpr std::uint32_t TimedPassesPerFrame = 16;
    std::uint32_t sampleEvery = 1;
    std::uint32_t passesThisFrame = 0;
    ContextQueries* timing = nullptr; // whose query runs now
    std::string renderer;
    std::string vendor;
    std::string version;
    // Queries in flight per context: a ring, oldest first; each knows its event and its frame.
    static constexpr std::size_t QueriesPerContext = 1024;
    struct ContextQueries
    {
        void* context = nullptr;
        unsigned ids[QueriesPerContext] = {};
        std::uint64_t serials[QueriesPerContext] = {};
        std::uint64_t frames[QueriesPerContext] = {};
        std::uint64_t first = 0; // the oldest in flight
        std::uint64_t end = 0; // one past the newest
    };
    static constexpr std::size_t MaxContexts = 8;
    std::vector<ContextQueries> contexts;
    std::size_t contextCount = 0;
};
