#include "motion/Tween.hpp"

#include <cfloat>
#include <cmath>
#include <cstdint>

// Every curve is written one float operation per statement, in a fixed order, so that each
// intermediate is rounded to 32 bits exactly where the curves expect it and never contracted.
namespace
{
constexpr double HalfPi = 1.5707963267948966;
constexpr double Pi = 3.141592653589793;

constexpr float BackIn = 1.70158f;
constexpr float BackOut = 2.70158f;
constexpr float BackInOutIn = 2.5949094f;
constexpr float BackInOutOut = 3.5949094f;

// Halfway between FLT_MAX and 2^128: round-to-nearest sends larger magnitudes to infinity.
constexpr double FloatOverflowLimit = 0x1.ffffffp+127;

// Rounds a double to float the way the hardware does, without the undefined behaviour of
// converting a finite value beyond the float range.
float toFloat(double value)
{
    if (std::isfinite(value) && std::fabs(value) > static_cast<double>(FLT_MAX))
    {
        const float magnitude = std::fabs(value) < FloatOverflowLimit ? FLT_MAX : INFINITY;
        return value < 0.0 ? -magnitude : magnitude;
    }
    return static_cast<float>(value);
}

float cosOf(float a)
{
    return toFloat(std::cos(static_cast<double>(a)));
}

float sinOf(float a)
{
    return toFloat(std::sin(static_cast<double>(a)));
}

float sqrtOf(float a)
{
    return toFloat(std::sqrt(static_cast<double>(a)));
}

float pow2Of(float exponent)
{
    return toFloat(std::pow(2.0, static_cast<double>(exponent)));
}

float linear(float t, float b, float c, float d)
{
    const float scaled = c * t;
    const float part = scaled / d;
    return part + b;
}

float quarterTurn(float t, float d)
{
    const float u = t / d;
    return toFloat(static_cast<double>(u) * HalfPi);
}

float inSine(float t, float b, float c, float d)
{
    const float a = quarterTurn(t, d);
    const float cosine = cosOf(a);
    const float scaled = c * cosine;
    const float rise = c - scaled;
    return b + rise;
}

float outSine(float t, float b, float c, float d)
{
    const float a = quarterTurn(t, d);
    const float sine = sinOf(a);
    const float scaled = c * sine;
    return scaled + b;
}

float inOutSine(float t, float b, float c, float d)
{
    const float a = toFloat(static_cast<double>(t) * Pi / static_cast<double>(d));
    const float cosine = cosOf(a);
    const float drop = cosine - 1.f;
    const float halfChange = c * 0.5f;
    const float scaled = drop * halfChange;
    return b - scaled;
}

float inCubic(float t, float b, float c, float d)
{
    const float u = t / d;
    const float p1 = u * c;
    const float p2 = p1 * u;
    const float p3 = p2 * u;
    return p3 + b;
}

float outCubic(float t, float b, float c, float d)
{
    const float q = t / d;
    const float u = q - 1.f;
    const float p2 = u * u;
    const float p3 = p2 * u;
    const float shifted = p3 + 1.f;
    const float scaled = shifted * c;
    return scaled + b;
}

float inOutCubic(float t, float b, float c, float d)
{
    const float h = d * 0.5f;
    const float k = c * 0.5f;
    const float u = t / h;
    if (u < 1.f)
    {
        const float p1 = k * u;
        const float p2 = p1 * u;
        const float p3 = p2 * u;
        return p3 + b;
    }
    const float v = u - 2.f;
    const float p2 = v * v;
    const float p3 = p2 * v;
    const float shifted = p3 + 2.f;
    const float scaled = k * shifted;
    return scaled + b;
}

float inBack(float t, float b, float c, float d)
{
    const float u = t / d;
    const float p1 = u * c;
    const float p2 = p1 * u;
    const float slope = u * BackOut;
    const float factor = slope - BackIn;
    const float scaled = p2 * factor;
    return scaled + b;
}

float outBack(float t, float b, float c, float d)
{
    const float q = t / d;
    const float u = q - 1.f;
    const float p2 = u * u;
    const float slope = u * BackOut;
    const float factor = slope + BackIn;
    const float p3 = p2 * factor;
    const float shifted = p3 + 1.f;
    const float scaled = shifted * c;
    return scaled + b;
}

float inOutBack(float t, float b, float c, float d)
{
    const float h = d * 0.5f;
    const float k = c * 0.5f;
    const float u = t / h;
    if (u < 1.f)
    {
        const float p2 = u * u;
        const float slope = u * BackInOutOut;
        const float factor = slope - BackInOutIn;
        const float p3 = p2 * factor;
        const float scaled = k * p3;
        return scaled + b;
    }
    const float v = u - 2.f;
    const float p2 = v * v;
    const float slope = v * BackInOutOut;
    const float factor = slope + BackInOutIn;
    const float p3 = p2 * factor;
    const float shifted = p3 + 2.f;
    const float scaled = k * shifted;
    return scaled + b;
}

// sqrt(1 - u * u) in float steps.
float circle(float u)
{
    const float square = u * u;
    const float rest = 1.f - square;
    return sqrtOf(rest);
}

float inCircular(float t, float b, float c, float d)
{
    const float u = t / d;
    const float root = circle(u);
    const float drop = root - 1.f;
    const float scaled = drop * c;
    return b - scaled;
}

float outCircular(float t, float b, float c, float d)
{
    const float q = t / d;
    const float u = q - 1.f;
    const float root = circle(u);
    const float scaled = root * c;
    return scaled + b;
}

float inOutCircular(float t, float b, float c, float d)
{
    const float h = d * 0.5f;
    const float k = c * 0.5f;
    const float u = t / h;
    if (u < 1.f)
    {
        const float root = circle(u);
        const float drop = root - 1.f;
        const float scaled = drop * k;
        return b - scaled;
    }
    const float v = u - 2.f;
    const float root = circle(v);
    const float shifted = root + 1.f;
    const float scaled = shifted * k;
    return scaled + b;
}

float inExpo(float t, float b, float c, float d)
{
    // t = 0 must give b exactly, which the power curve alone never reaches.
    if (t == 0.f)
        return b;
    const float q = t / d;
    const float shifted = q - 1.f;
    const float exponent = shifted * 10.f;
    const float p = pow2Of(exponent);
    return toFloat(static_cast<double>(p) * static_cast<double>(c) + static_cast<double>(b));
}

float outExpo(float t, float b, float c, float d)
{
    if (t == d)
        return b + c;
    const float scaled = t * -10.f;
    const float exponent = scaled / d;
    const float p = pow2Of(exponent);
    return toFloat((1.0 - static_cast<double>(p)) * static_cast<double>(c) + static_cast<double>(b));
}

float inOutExpo(float t, float b, float c, float d)
{
    if (t == 0.f)
        return b;
    if (t == d)
        return b + c;
    const float h = d * 0.5f;
    const float k = c * 0.5f;
    const float u = t / h;
    const float shifted = u - 1.f;
    if (u < 1.f)
    {
        const float exponent = shifted * 10.f;
        const float p = pow2Of(exponent);
        return toFloat(static_cast<double>(p) * static_cast<double>(k) + static_cast<double>(b));
    }
    const float exponent = shifted * -10.f;
    const float p = pow2Of(exponent);
    return toFloat((2.0 - static_cast<double>(p)) * static_cast<double>(k) + static_cast<double>(b));
}

// One parabola of the bounce: u moved by offset and rounded back to float before squaring.
double bounceArc(double u, double offset, double top)
{
    const double v = static_cast<double>(toFloat(u - offset));
    return 7.5625 * v * v + top;
}

double bounce(float unit)
{
    const double u = static_cast<double>(unit);
    if (u < 1.0 / 2.75)
        return 7.5625 * u * u;
    if (u < 2.0 / 2.75)
        return bounceArc(u, 1.5 / 2.75, 0.75);
    if (u < 2.5 / 2.75)
        return bounceArc(u, 2.25 / 2.75, 0.9375);
    return bounceArc(u, 2.625 / 2.75, 0.984375);
}

// B(u) * c rounded to float, as the in and in-out bounce curves take it.
float scaledBounce(float u, float c)
{
    return toFloat(bounce(u) * static_cast<double>(c));
}

float outBounce(float t, float b, float c, float d)
{
    const float u = t / d;
    return toFloat(bounce(u) * static_cast<double>(c) + static_cast<double>(b));
}

float inBounce(float t, float b, float c, float d)
{
    const float remaining = d - t;
    const float u = remaining / d;
    const float v = scaledBounce(u, c);
    const float rise = c - v;
    return rise + b;
}

float inOutBounce(float t, float b, float c, float d)
{
    const float half = d * 0.5f;
    const float twice = t + t;
    if (t < half)
    {
        const float remaining = d - twice;
        const float u = remaining / d;
        const float v = scaledBounce(u, c);
        const float rise = c - v;
        return toFloat(static_cast<double>(rise) * 0.5 + static_cast<double>(b));
    }
    const float past = twice - d;
    const float u = past / d;
    const float v = scaledBounce(u, c);
    return toFloat(static_cast<double>(v) * 0.5 + static_cast<double>(c) * 0.5 + static_cast<double>(b));
}
} // namespace

float ease(EasingType easing, float t, float b, float c, float d)
{
    switch (easing)
    {
    case Easing::Linear: return linear(t, b, c, d);
    case Easing::InSine: return inSine(t, b, c, d);
    case Easing::OutBounce: return outBounce(t, b, c, d);
    case Easing::InBounce: return inBounce(t, b, c, d);
    case Easing::InCubic: return inCubic(t, b, c, d);
    case Easing::OutCubic: return outCubic(t, b, c, d);
    case Easing::InOutCubic: return inOutCubic(t, b, c, d);
    case Easing::InOutBounce: return inOutBounce(t, b, c, d);
    case Easing::InBack: return inBack(t, b, c, d);
    case Easing::OutBack: return outBack(t, b, c, d);
    case Easing::InOutBack: return inOutBack(t, b, c, d);
    case Easing::InCircular: return inCircular(t, b, c, d);
    case Easing::OutCircular: return outCircular(t, b, c, d);
    case Easing::InOutCircular: return inOutCircular(t, b, c, d);
    case Easing::InExpo: return inExpo(t, b, c, d);
    case Easing::OutExpo: return outExpo(t, b, c, d);
    case Easing::InOutExpo: return inOutExpo(t, b, c, d);
    case Easing::OutSine: return outSine(t, b, c, d);
    case Easing::InOutSine: return inOutSine(t, b, c, d);
    // A number no curve is defined for still moves the value, along a straight line.
    default: return linear(t, b, c, d);
    }
}

void Tween::start(float from, float to, float duration, EasingType easing, std::int32_t loops, bool yoyo,
                  std::int32_t yoyoEasing)
{
    beginCycle(from, to, duration, easing, yoyo, yoyoEasing);
    loopsDone = 0;
    this->loops = loops;
    startFrom = from;
    startTo = to;
    startDuration = duration;
    startEasing = easing;
    startYoyo = yoyo;
    startYoyoEasing = yoyoEasing;
}

void Tween::beginCycle(float from, float to, float duration, EasingType easing, bool yoyo, std::int32_t yoyoEasing)
{
    this->easing = easing;
    elapsed = 0.f;
    this->from = from;
    this->to = to;
    change = to - from;
    this->duration = duration;
    value = from;
    running = true;

    reversePending = yoyo;
    reverseFrom = to;
    reverseTo = from;
    reverseDuration = duration;
    reverseEasing = yoyoEasing == -1 ? easing : yoyoEasing;
}

float Tween::evaluate()
{
    value = ease(easing, elapsed, from, change, duration);
    if (elapsed < duration)
        return value;

    // The leg is over: show its exact end and drop the time beyond it.
    const float legEnd = to;
    value = legEnd;
    if (reversePending)
    {
        from = reverseFrom;
        to = reverseTo;
        change = to - from;
        easing = reverseEasing;
        duration = reverseDuration;
        elapsed = 0.f;
        reversePending = false;
        return legEnd;
    }

    running = false;
    // An endless tween keeps counting; the count saturates instead of overflowing.
    if (loopsDone < INT32_MAX)
        loopsDone += 1;
    if (loopsDone < loops || loops == -1)
        beginCycle(startFrom, startTo, startDuration, startEasing, startYoyo, startYoyoEasing);
    return legEnd;
}
