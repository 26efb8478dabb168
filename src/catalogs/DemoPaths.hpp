#pragma once

#include <string>

// Where a demo keeps its files, relative to its folder, and the catalog entries the player needs by
// name. The player, the checker and the author mode's save watcher all read them here.
struct DemoPaths
{
    // A demo's folder holds an assets/ folder or a config.json file: what the shell accepts as a
    // demo, and where the language server stops walking up from an open file. One with missing
    // pieces counts: its own start-up messages say what is missing.
    static bool isDemoFolder(const std::string& folder);

    static constexpr const char* Assets = "assets";
    static constexpr const char* Config = "config.json";
    static constexpr const char* Script = "assets/demo.script";

    static constexpr const char* Textures = "assets/textures.json";
    static constexpr const char* Music = "assets/music.json";
    static constexpr const char* Sprites = "assets/sprites.json";
    static constexpr const char* Particles = "assets/particles.json";
    static constexpr const char* Shaders = "assets/shaders.json";
    static constexpr const char* Texts = "assets/text.json";
    // Start-up's order: later catalogs look entries up in earlier ones.
    static constexpr const char* Catalogs[] = {Textures, Music, Sprites, Particles, Shaders, Texts};

    // Every fragment shader is paired with this vertex shader, the post-processing pass's too.
    static constexpr const char* Vertex = "assets/shaders/passthrough.vert";
    static constexpr const char* PostFragment = "assets/shaders/vignette.frag";

    // Entries the player looks up by name: the screen fade draws this sprite over the scene, and
    // the post-processing pass takes its grain from this texture. Without them the demo still plays.
    static constexpr const char* FadeSprite = "black";
    static constexpr const char* NoiseTexture = "noise";
};
