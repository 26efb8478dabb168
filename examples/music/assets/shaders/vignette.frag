#version 120
// Post-processing: darkens the edges of the scene and adds a moving film grain.
uniform sampler2D iChannel0; // the scene
uniform sampler2D iChannel1; // noise, repeated
uniform float iTime;

void main()
{
    vec2 uv = gl_TexCoord[0].xy;
    vec4 scene = texture2D(iChannel0, uv);

    // Distance from the centre with the 16:9 aspect taken out, so the vignette is round.
    vec2 centred = (uv - vec2(0.5)) * vec2(1.0, 0.5625) * 2.0;
    float vignette = smoothstep(1.05, 0.45, length(centred));

    // The grain jumps to another part of the noise texture about 24 times a second.
    float frame = floor(iTime * 24.0);
    vec2 offset = vec2(fract(frame * 0.6180339), fract(frame * 0.4142135));
    float grain = texture2D(iChannel1, uv * vec2(7.5, 4.21875) + offset).r - 0.5;

    vec3 colour = scene.rgb * mix(0.25, 1.0, vignette) + grain * 0.05;
    gl_FragColor = vec4(colour, scene.a) * gl_Color;
}
