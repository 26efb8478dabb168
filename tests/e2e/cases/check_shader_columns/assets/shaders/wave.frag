#version 120
// Columns as an editor counts them: the compiler sees runs of spaces and comments squeezed.
uniform float amount;

void main()
{
    vec4 colour = vec4(amount) * glowz;
	float spread = amount   /* half */  * yyy;
    float   a = 1.0; /* a comment that
    runs on */   float b = zzz;
    gl_FragColor = colour * spread * a * b;
}
