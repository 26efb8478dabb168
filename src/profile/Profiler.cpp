#include "profile/Profiler.hpp"

#include "profile/LineSource.hpp"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

Profiler* Profiler::active = nullptr;

namespace
{
constexpr std::size_t FrameMarkCapacity = 8192;
const std::int64_t NanosPerMs = 1000000;

const char* text(const GLubyte* chars)
{
    return chars ? reinterpret_cast<const char*>(chars) : "";
}

// A string as JSON, quotes included.
void writeString(std::FILE* out, const std::string& value)
{
    std::fputc('"', out);
    for (const char c : value)
    {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
        {
            std::fputc('\\', out);
            std::fputc(c, out);
        }
        else if (u < 0x20)
            std::fprintf(out, "\\u%04x", u);
        else
            std::fputc(c, out);
    }
    std::fputc('"', out);
}

// Nanoseconds as the format's microseconds, exactly.
void writeMicros(std::FILE* out, std::int64_t ns)
{
    const long long value = static_cast<long long>(ns);
    std::fprintf(out, "%lld.%03lld", value / 1000, value % 1000);
}
} // namespace

const char* Profiler::trackName(int track)
{
    static const char* const Names[TrackCount] = {"render", "step", "post", "display wait", "read-back and encoding",
                                                 "gpu"};
    return track >= 0 && track < TrackCount ? Names[track] : "";
}

std::int64_t Profiler::steadyNow()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Profiler::Profiler(std::size_t capacity, Clock now) : clock(now)
{
    ring.resize(std::max<std::size_t>(capacity, 1));
    frameMarks.resize(FrameMarkCapacity);
    names.reserve(1024);
    lines.reserve(4096);
}

void Profiler::useGl()
{
    gl = true;
    renderer = text(glGetString(GL_RENDERER));
    vendor = text(glGetString(GL_VENDOR));
    version = text(glGetString(GL_VERSION));
    int major = 0;
    int minor = 0;
    std::sscanf(version.c_str(), "%d.%d", &major, &minor);
    const char* extensions = text(glGetString(GL_EXTENSIONS));
    const bool timerQuery = major > 3 || (major == 3 && minor >= 3) || std::strstr(extensions, "GL_ARB_timer_query");
    // The CPU clock alone can be asked for, to see a driver without timer queries.
    const char* off = std::getenv("KESTRUNE_PROFILE_CPU_ONLY");
    gpuTimers = false;
    // Made once: the queries of a context are made on first use there.
    contexts.resize(MaxContexts);
    if (timerQuery && !(off && *off && std::strcmp(off, "0") != 0))
    {
        GLint bits = 0;
        glGetQueryiv(GL_TIME_ELAPSED, GL_QUERY_COUNTER_BITS, &bits);
        gpuTimers = glGetError() == GL_NO_ERROR && bits > 0;
    }
}

std::string Profiler::clockText() const
{
    if (!gl)
        return "cpu";
    return gpuTimers ? "gpu timer queries (GL_TIME_ELAPSED, read a frame later) and cpu"
                     : "cpu (no timer queries: passes finished and timed on the cpu)";
}

std::uint32_t Profiler::name(const std::string& textOfName, Kind kind, const std::string& args)
{
    const auto found = byText.find(textOfName);
    if (found != byText.end())
        return found->second;
    const std::uint32_t id = static_cast<std::uint32_t>(names.size());
    names.push_back({textOfName, args, kind});
    byText.emplace(textOfName, id);
    totals.grow();
    recent.grow();
    return id;
}

void Profiler::forgetKeys()
{
    keyed.clear();
    for (LineName& line : lines)
        line = LineName();
}

Profiler::ContextQueries* Profiler::queriesHere()
{
    void* context = glXGetCurrentContext();
    if (!context)
        return nullptr;
    for (std::size_t i = 0; i < contextCount; ++i)
        if (contexts[i].context == context)
            return &contexts[i];
    if (contextCount == contexts.size())
        return nullptr;
    ContextQueries& made = contexts[contextCount++];
    made.context = context;
    glGenQueries(static_cast<GLsizei>(QueriesPerContext), made.ids);
    return &made;
}

void Profiler::collect(ContextQueries& queries, bool finished)
{
    while (queries.first != queries.end)
    {
        const std::size_t slot = queries.first % QueriesPerContext;
        if (!finished)
        {
            // Asking about a pass of this frame would make the driver flush it now.
            if (queries.frames[slot] >= frameCount)
                break;
            GLint ready = 0;
            glGetQueryObjectiv(queries.ids[slot], GL_QUERY_RESULT_AVAILABLE, &ready);
            if (!ready)
                break;
        }
        GLint64 elapsed = 0;
        glGetQueryObjecti64v(queries.ids[slot], GL_QUERY_RESULT, &elapsed);
        gpuResult(queries.serials[slot], std::max<std::int64_t>(0, static_cast<std::int64_t>(elapsed)));
        ++queries.first;
    }
}

void Profiler::gpuResult(std::uint64_t serial, std::int64_t nanoseconds)
{
    if (serial >= recorded || recorded - serial > stored)
        return;
    Event& kept = ring[serial % ring.size()];
    kept.gpuDuration = nanoseconds;
    totals.gpu[kept.name] += nanoseconds;
    ++totals.gpuRuns[kept.name];
}

void Profiler::finishDrawing()
{
    drawingFinished = true;
    const std::int64_t start = clock();
    glFinish();
    const std::uint32_t id = fixedName("wait for the gpu", Kind::Section);
    record({start, std::max<std::int64_t>(0, clock() - start), start, -1, id, static_cast<std::uint32_t>(frameCount), Render});
    if (ContextQueries* queries = queriesHere())
        collect(*queries, true);
}

Profiler::Open Profiler::begin(std::uint32_t id, Track track, bool pass)
{
    // The frame's drawing is done before its wait for the display: what the GPU still had to do
    // is the frame's work, not the display's.
    if (track == Display && gpuTimers && !drawingFinished)
        finishDrawing();
    Open open{0, -1, id, static_cast<std::uint8_t>(track), pass && gl};
    // One elapsed-time query runs at a time per context: passes do not nest.
    if (open.pass && gpuTimers && !timing && (passesThisFrame++ + frameCount) % sampleEvery == 0)
    {
        if (ContextQueries* queries = queriesHere())
        {
            collect(*queries, false);
            if (queries->end - queries->first == QueriesPerContext)
                collect(*queries, true); // every query is in flight: wait for them
            glBeginQuery(GL_TIME_ELAPSED, queries->ids[queries->end % QueriesPerContext]);
            timing = queries;
            open.gpuStart = 0;
        }
    }
    open.start = clock();
    return open;
}

Profiler::Open Profiler::beginLine(int line, const void* key)
{
    const std::size_t at = static_cast<std::size_t>(std::max(line, 0));
    if (at >= lines.size())
        lines.resize(at + 1);
    LineName& known = lines[at];
    if (known.key != key || key == nullptr)
    {
        Name fresh;
        if (lineSource)
            lineSource->describeLine(line, fresh);
        else
            fresh.text = "line " + std::to_string(line + 1);
        fresh.kind = Kind::Line;
        known.key = key;
        known.id = name(fresh.text, Kind::Line, fresh.args);
    }
    return begin(known.id, lineTrack, lineTrack == Render);
}

void Profiler::end(const Open& open)
{
    Event event{open.start, 0, open.start, -1, open.name, static_cast<std::uint32_t>(frameCount), open.track};
    if (open.pass)
    {
        if (open.gpuStart == 0 && timing)
        {
            // Its result is read once the GPU has done the pass, and lands on this event.
            glEndQuery(GL_TIME_ELAPSED);
            ContextQueries& queries = *timing;
            const std::size_t slot = queries.end % QueriesPerContext;
            queries.serials[slot] = recorded;
            queries.frames[slot] = frameCount;
            ++queries.end;
            timing = nullptr;
        }
        // Without the GPU's clock, the pass is done when its scope ends: its cost is its own,
        // not the next wait's.
        if (!gpuTimers)
            glFinish();
    }
    event.duration = std::max<std::int64_t>(0, clock() - open.start);
    record(event);
}

void Profiler::record(const Event& event)
{
    ring[next] = event;
    next = (next + 1) % ring.size();
    ++recorded;
    if (stored < ring.size())
        ++stored;
    else
        ++dropped;
    if (event.track == Display)
        frameWait += event.duration;
    totals.add(event);
}

const Profiler::Event& Profiler::event(std::size_t i) const
{
    const std::size_t oldest = stored < ring.size() ? 0 : next;
    return ring[(oldest + i) % ring.size()];
}

void Profiler::beginFrame()
{
    frameStart = clock();
    frameWait = 0;
    drawingFinished = false;
    passesThisFrame = 0;
    inFrame = true;
}

std::int64_t Profiler::endFrame()
{
    if (!inFrame)
        return 0;
    inFrame = false;
    const std::int64_t duration = std::max<std::int64_t>(0, clock() - frameStart);
    frameMarks[frameCount % frameMarks.size()] = {frameStart, duration};
    frameTotal += duration;
    lastWork = std::max<std::int64_t>(0, duration - frameWait);
    sampleEvery = std::max<std::uint32_t>(1, (passesThisFrame + TimedPassesPerFrame - 1) / TimedPassesPerFrame);
    ++frameCount;
    return duration;
}

void Profiler::Totals::grow()
{
    cpu.push_back(0);
    gpu.push_back(0);
    runs.push_back(0);
    gpuRuns.push_back(0);
}

void Profiler::Totals::clear()
{
    std::fill(cpu.begin(), cpu.end(), 0);
    std::fill(gpu.begin(), gpu.end(), 0);
    std::fill(runs.begin(), runs.end(), 0);
    std::fill(gpuRuns.begin(), gpuRuns.end(), 0);
}

void Profiler::Totals::add(const Event& event)
{
    cpu[event.name] += event.duration;
    ++runs[event.name];
    if (event.gpuDuration >= 0)
    {
        gpu[event.name] += event.gpuDuration;
        ++gpuRuns[event.name];
    }
}

std::vector<Profiler::Cost> Profiler::rank(const Totals& sums, std::int64_t time, std::uint64_t count,
                                           std::size_t limit) const
{
    const std::vector<std::int64_t>& cpu = sums.cpu;
    std::vector<Cost> costs;
    if (count == 0)
        return costs;
    const double perFrame = 1.0 / static_cast<double>(count) / static_cast<double>(NanosPerMs);
    for (std::uint32_t id = 0; id < names.size(); ++id)
    {
        if (names[id].kind == Kind::Section || cpu[id] <= 0)
            continue;
        const bool timed = sums.gpuRuns[id] > 0;
        // Timed in some of its runs: their mean, for every run.
        const double gpu = timed ? static_cast<double>(sums.gpu[id]) / static_cast<double>(sums.gpuRuns[id]) *
                                       static_cast<double>(std::max(sums.runs[id], sums.gpuRuns[id]))
                                 : -1.0;
        // A pass's CPU time is its submit and its waits for passes before it: the GPU's clock
        // says what the pass itself costs.
        const double cost = timed ? gpu : static_cast<double>(cpu[id]);
        costs.push_back({id, cost * perFrame, static_cast<double>(cpu[id]) * perFrame, timed ? gpu * perFrame : -1.0,
                         time > 0 ? std::min(1.0, cost / static_cast<double>(time)) : 0.0});
    }
    // The costliest first; equal costs in the order the names were first met.
    std::stable_sort(costs.begin(), costs.end(), [](const Cost& a, const Cost& b) { return a.ms > b.ms; });
    if (costs.size() > limit)
        costs.resize(limit);
    return costs;
}

std::vector<Profiler::Cost> Profiler::costliest(std::size_t count) const
{
    return rank(totals, frameTotal, frameCount, count);
}

std::vector<Profiler::Cost> Profiler::costliestRecent(std::size_t count, double seconds)
{
    recent.clear();
    const std::int64_t since = clock() - static_cast<std::int64_t>(seconds * 1e9);
    // The frames of the window, newest first, as far back as the marks reach.
    std::uint64_t first = frameCount;
    std::int64_t time = 0;
    while (first > 0 && frameCount - first < frameMarks.size())
    {
        const FrameMark& mark = frameMarks[(first - 1) % frameMarks.size()];
        if (mark.start < since)
            break;
        time += mark.duration;
        --first;
    }
    for (std::size_t i = stored; i-- > 0;)
    {
        const Event& kept = event(i);
        if (kept.frame < first)
            break;
        if (kept.frame >= frameCount)
            continue;
        recent.add(kept);
    }
    return rank(recent, time, frameCount - first, count);
}

std::string Profiler::costText(const Name& named, const Cost& cost)
{
    char figures[128];
    if (cost.gpuMs >= 0.0)
        std::snprintf(figures, sizeof figures, ": %.2f ms per frame, %.1f%% of the frame (cpu %.2f ms, gpu %.2f ms)",
                      cost.ms, cost.share * 100.0, cost.cpuMs, cost.gpuMs);
    else
        std::snprintf(figures, sizeof figures, ": %.2f ms per frame, %.1f%% of the frame", cost.ms, cost.share * 100.0);
    return named.text + figures;
}

std::vector<std::string> Profiler::statsLines(std::size_t count) const
{
    std::vector<std::string> out;
    const std::vector<Cost> costs = costliest(count);
    for (std::size_t i = 0; i < costs.size(); ++i)
        out.push_back("kestrune: stats: costliest " + std::to_string(i + 1) + ": " + costText(names[costs[i].name], costs[i]));
    return out;
}

bool Profiler::writeTrace(const std::string& path, std::string& error) const
{
    // Per thread in the order the format wants: by start, and an enclosing scope before those
    // it holds (it starts no later and lasts longer).
    struct Row
    {
        std::int64_t start;
        std::int64_t duration;
        std::uint32_t name;
        std::uint8_t track;
    };
    std::vector<Row> rows;
    rows.reserve(stored * 2);
    for (std::size_t i = 0; i < stored; ++i)
    {
        const Event& kept = event(i);
        rows.push_back({kept.start, kept.duration, kept.name, kept.track});
        if (kept.gpuDuration >= 0)
            rows.push_back({kept.gpuStart, kept.gpuDuration, kept.name, Gpu});
    }
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        if (a.track != b.track)
            return a.track < b.track;
        if (a.start != b.start)
            return a.start < b.start;
        return a.duration > b.duration;
    });
    // The GPU runs the passes in the order they were submitted, each no sooner than its submit
    // began: a pass starts when the one before it ended. A nanosecond apart, so that a reader's
    // sums in floating point do not make one pass hold the next.
    std::int64_t gpuEnd = 0;
    for (Row& row : rows)
    {
        if (row.track != Gpu)
            continue;
        row.start = std::max(row.start, gpuEnd + 1);
        gpuEnd = row.start + row.duration;
    }
    // Time 0 is the first event kept.
    std::int64_t origin = 0;
    bool first = true;
    for (const Row& row : rows)
        if (first || row.start < origin)
        {
            origin = row.start;
            first = false;
        }

    const std::string temporary = path + ".part";
    std::FILE* out = std::fopen(temporary.c_str(), "w");
    if (!out)
    {
        error = "cannot write " + temporary;
        return false;
    }
    std::fputs("{\"traceEvents\":[\n", out);
    std::fputs("{\"name\":\"process_name\",\"ph\":\"M\",\"ts\":0,\"pid\":1,\"tid\":0,\"args\":{\"name\":\"kestrune\"}}", out);
    for (int track = 0; track < TrackCount; ++track)
    {
        std::fprintf(out, ",\n{\"name\":\"thread_name\",\"ph\":\"M\",\"ts\":0,\"pid\":1,\"tid\":%d,\"args\":{\"name\":", track + 1);
        writeString(out, trackName(track));
        std::fputs("}}", out);
        std::fprintf(out, ",\n{\"name\":\"thread_sort_index\",\"ph\":\"M\",\"ts\":0,\"pid\":1,\"tid\":%d,\"args\":{\"sort_index\":%d}}",
                     track + 1, track);
    }
    for (const Row& row : rows)
    {
        const Name& named = names[row.name];
        std::fputs(",\n{\"name\":", out);
        writeString(out, named.text);
        std::fputs(",\"cat\":", out);
        writeString(out, named.kind == Kind::Line ? "line" : named.kind == Kind::Pass ? "pass" : "section");
        std::fputs(",\"ph\":\"X\",\"ts\":", out);
        writeMicros(out, row.start - origin);
        std::fputs(",\"dur\":", out);
        writeMicros(out, row.duration);
        // The args are the line's own, the same in every frame, so that viewers group by them.
        std::fprintf(out, ",\"pid\":1,\"tid\":%d,\"args\":{%s}}", row.track + 1, named.args.c_str());
    }
    std::fputs("\n],\n\"displayTimeUnit\":\"ms\",\n\"metadata\":{\"clock\":", out);
    writeString(out, clockText());
    std::fprintf(out, ",\"gpu_timer_queries\":%s", gpuTimers ? "true" : "false");
    if (gpuTimers)
        std::fprintf(out,
                     ",\"gpu_placement\":\"durations from the timer queries; passes placed in the order they were "
                     "submitted\",\"gpu_sampling\":\"each pass timed in one frame of every n, in turns, so that "
                     "at most %u passes per frame are timed; costs per frame are the mean of the timed runs\"",
                     TimedPassesPerFrame);
    std::fputs(",\"gl_renderer\":", out);
    writeString(out, renderer);
    std::fputs(",\"gl_vendor\":", out);
    writeString(out, vendor);
    std::fputs(",\"gl_version\":", out);
    writeString(out, version);
    std::fprintf(out, ",\"gl_contexts\":%zu", contextCount);
    std::fprintf(out, ",\"frames\":%llu,\"events\":%zu,\"dropped_events\":%llu}\n}\n",
                 static_cast<unsigned long long>(frameCount), rows.size(), static_cast<unsigned long long>(dropped));
    const bool written = std::fflush(out) == 0 && !std::ferror(out);
    const bool closed = std::fclose(out) == 0;
    std::error_code failure;
    if (written && closed)
        std::filesystem::rename(temporary, path, failure);
    if (!written || !closed || failure)
    {
        std::filesystem::remove(temporary, failure);
        error = "cannot write " + path;
        return false;
    }
    return true;
}
