#version 120
// Scene-object shader: brightens the texture towards a warm glow by "amount" and ripples it
// sideways by "wave".
uniform sampler2D currentTexture;
uniform float amount;
uniform float wave;

void main()
{
    vec2 uv = gl_TexCoord[0].xy;
    uv.x += sin(uv.y * 40.0) * 0.01 * wave;
    vec4 texel = texture2D(currentTexture, uv);
    vec3 glow = mix(texel.rgb, vec3(1.0, 0.85, 0.5), clamp(amount, 0.0, 1.0) * 0.6);
    gl_FragColor = vec4(glow, texel.a) * gl_Color;
}
