#version 120
// The cases' post-processing pass copies the scene unchanged, so pixels can be checked exactly.
uniform sampler2D iChannel0;
uniform sampler2D iChannel1;
uniform float iTime;

void main()
{
    gl_FragColor = texture2D(iChannel0, gl_TexCoord[0].xy) * gl_Color;
}
