#version 120
// Bends the texture in waves: "amount" is the depth (0 = none), "phase" moves the waves.
uniform sampler2D currentTexture;
uniform float amount;
uniform float phase;

void main()
{
    vec2 uv = gl_TexCoord[0].xy;
    uv.x += sin(uv.y * 25.0 + phase) * 0.03 * amount;
    uv.y += cos(uv.x * 25.0 + phase) * 0.03 * amount;
    // Multiplying by gl_Color keeps object_set_alpha and object_tween_alpha working.
    gl_FragColor = texture2D(currentTexture, uv) * gl_Color;
}
