#version 120
// Mixes the texture towards a grainy colour: "strength" 0 = untouched, 1 = fully tinted.
// inputTexture is the catalog texture named by "texture" in shaders.json (here the noise).
uniform sampler2D currentTexture;
uniform sampler2D inputTexture;
uniform float strength;
uniform float red;
uniform float green;
uniform float blue;

void main()
{
    vec4 texel = texture2D(currentTexture, gl_TexCoord[0].xy);
    float grain = texture2D(inputTexture, gl_TexCoord[0].xy * 4.0).r;
    vec3 tint = vec3(red, green, blue) * (0.7 + 0.6 * grain);
    gl_FragColor = vec4(mix(texel.rgb, tint * dot(texel.rgb, vec3(0.4)), strength), texel.a) * gl_Color;
}
