#include "render/RenderPart.hpp"

#include "catalogs/DemoPaths.hpp"
#include "render/Sha256.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

std::string RenderPart::folder(const std::string& out, int part, int parts)
{
    return out + ".part-" + std::to_string(part) + "-of-" + std::to_string(parts);
}

std::string RenderPart::hashesBeside(const std::string& out)
{
    return out + ".frames.sha256";
}

std::string RenderPart::demoHash()
{
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    std::error_code code;
    if (fs::is_regular_file(DemoPaths::Config, code))
        files.push_back(DemoPaths::Config);
    for (fs::recursive_directory_iterator it(DemoPaths::Assets, code), end; !code && it != end; it.increment(code))
        if (it->is_regular_file(code))
            files.push_back(it->path().generic_string());
    std::sort(files.begin(), files.end());

    Sha256 hash;
    hash.begin();
    std::vector<char> buffer(1 << 16);
    for (const std::string& name : files)
    {
        hash.add(name.c_str(), name.size() + 1);
        std::ifstream in(name, std::ios::binary);
        while (in)
        {
            in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            hash.add(buffer.data(), static_cast<std::size_t>(in.gcount()));
        }
        hash.add("", 1);
    }
    char hex[65];
    hash.finish(hex);
    return hex;
}

bool RenderPart::write(const std::string& path) const
{
    const nlohmann::json doc = {
        {"demo", demo},          {"output", output},       {"fps", fps},         {"size", size},
        {"start", start},        {"draw_all", drawAll},    {"manifest", manifest}, {"first", first},
        {"last", last},          {"ends_with_demo", endsWithDemo}, {"parts", parts}, {"part", part},
        {"part_first", partFirst}, {"part_last", partLast}, {"frames", frames},  {"music", music},
        {"muted", muted}, {"range", range}, {"samples", samples},        {"song_failed", songFailed}, {"capped", capped}};
    // Beside, then renamed: a part killed while writing it has none, and is seen to be unfinished.
    const std::string beside = path + ".part";
    std::ofstream out(beside);
    out << doc.dump(2) << "\n";
    out.close();
    std::error_code code;
    if (!out.fail())
        std::filesystem::rename(beside, path, code);
    return !out.fail() && !code;
}

bool RenderPart::read(const std::string& path, std::string& error)
{
    std::ifstream in(path);
    if (!in)
    {
        error = "cannot read " + path;
        return false;
    }
    try
    {
        const nlohmann::json doc = nlohmann::json::parse(in);
        demo = doc.at("demo").get<std::string>();
        output = doc.at("output").get<std::string>();
        fps = doc.at("fps").get<int>();
        size = doc.at("size").get<std::string>();
        start = doc.at("start").get<std::string>();
        drawAll = doc.at("draw_all").get<bool>();
        manifest = doc.at("manifest").get<bool>();
        first = doc.at("first").get<long>();
        last = doc.at("last").get<long>();
        endsWithDemo = doc.at("ends_with_demo").get<bool>();
        parts = doc.at("parts").get<int>();
        part = doc.at("part").get<int>();
        partFirst = doc.at("part_first").get<long>();
        partLast = doc.at("part_last").get<long>();
        frames = doc.at("frames").get<long>();
        music = doc.at("music").get<bool>();
        muted = doc.at("muted").get<bool>();
        songFailed = doc.at("song_failed").get<bool>();
        capped = doc.at("capped").get<bool>();
        range = doc.at("range").get<bool>();
        samples = doc.at("samples").get<long long>();
    }
    catch (const nlohmann::json::exception&)
    {
        error = path + " is not the manifest of a render part";
        return false;
    }
    return true;
}

std::string RenderPart::differenceFrom(const RenderPart& other) const
{
    if (demo != other.demo)
        return "they were rendered from different demos";
    if (output != other.output)
        return "one is " + output + ", another " + other.output;
    if (fps != other.fps)
        return "their --fps differs";
    if (size != other.size)
        return "their --size differs";
    if (start != other.start)
        return "their --start differs";
    if (drawAll != other.drawAll)
        return "one was rendered with --draw-all, another without";
    if (manifest != other.manifest)
        return "one was rendered with --manifest, another without";
    if (first != other.first || last != other.last || endsWithDemo != other.endsWithDemo || range != other.range)
        return "they select different frames (--frames, --seconds or --range)";
    if (parts != other.parts)
        return "one is a part of " + std::to_string(parts) + ", another of " + std::to_string(other.parts);
    return "";
}
