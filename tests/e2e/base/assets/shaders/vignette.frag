#version 120
// The cases' post-processing pass copies the scene unchanged, so pixels can be checked exactly.
// The noise channel and the time are referenced where they never change the result, so the
// program finds every uniform it sets.
uniform sampler2D iChannel0;
uniform sampler2D iChannel1;
uniform float iTime;

void main()
{
    vec4 colour = texture2D(iChannel0, gl_TexCoord[0].xy);
    if (iTime < -1.0)
        colour = texture2D(iChannel1, gl_TexCoord[0].xy);
    gl_FragColor = colour * gl_Color;
}
