#version 120
// Follows the music: the spectrum as bars along the bottom, the waveform as a line across the
// top, a ring whose size is the bass band and which jumps on every beat, colours from the mid and
// treble bands, and a pulse of light once a beat from the tempo grid.
uniform sampler2D currentTexture;
uniform sampler2D iSpectrum; // 512 x 2: row 0 the spectrum, row 1 the waveform
uniform float iBass;
uniform float iMid;
uniform float iTreble;
uniform float iLevel;
uniform float iBeat;  // 1 on a beat, falling to 0
uniform float iBeats; // beats of the tempo grid since the song started

void main()
{
    vec2 uv = gl_TexCoord[0].xy;
    vec3 colour = texture2D(currentTexture, uv).rgb * (0.7 + 0.8 * iLevel);

    // The first quarter of the bins (0 to 5.5 kHz) across the screen, 64 bars.
    float column = floor(uv.x * 64.0) / 64.0;
    float magnitude = texture2D(iSpectrum, vec2(column * 0.25 + 0.002, 0.25)).r;
    float height = 1.0 - uv.y;
    float bar = step(height, magnitude * 0.45) * step(0.15, fract(uv.x * 64.0));
    colour += bar * mix(vec3(0.2, 0.5, 1.0), vec3(1.0, 0.4, 0.7), height / 0.45) * (0.5 + iTreble);

    float wave = texture2D(iSpectrum, vec2(uv.x, 0.75)).r - 0.5;
    float line = 1.0 - smoothstep(0.0, 0.004, abs(uv.y - 0.18 - wave * 0.25));
    colour += line * vec3(0.5, 1.0, 0.8);

    vec2 centre = (uv - vec2(0.5, 0.45)) * vec2(16.0 / 9.0, 1.0);
    float radius = 0.1 + 0.12 * iBass + 0.05 * iBeat;
    float ring = 1.0 - smoothstep(0.0, 0.012 + 0.02 * iMid, abs(length(centre) - radius));
    colour += ring * mix(vec3(1.0, 0.55, 0.2), vec3(1.0, 1.0, 0.6), iBeat);

    // A short glow at the start of every beat of the grid.
    colour += vec3(0.12, 0.06, 0.16) * pow(1.0 - fract(max(iBeats, 0.0)), 6.0);
    gl_FragColor = vec4(colour, 1.0) * gl_Color;
}
