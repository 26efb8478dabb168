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

namespace
{
// In number order, so that a number finds its row without a search.
constexpr EasingCurve Curves[] = {
    {"linear", Easing::Linear, linear, true},
    {"in_sine", Easing::InSine, inSine, true},
    {"out_bounce", Easing::OutBounce, outBounce, false},
    {"in_bounce", Easing::InBounce, inBounce, false},
    {"in_cubic", Easing::InCubic, inCubic, false},
    {"out_cubic", Easing::OutCubic, outCubic, false},
    {"in_out_cubic", Easing::InOutCubic, inOutCubic, false},
    {"in_out_bounce", Easing::InOutBounce, inOutBounce, false},
    {"in_back", Easing::InBack, inBack, true},
    {"out_back", Easing::OutBack, outBack, true},
    {"in_out_back", Easing::InOutBack, inOutBack, true},
    {"in_circular", Easing::InCircular, inCircular, false},
    {"out_circular", Easing::OutCircular, outCircular, false},
    {"in_out_circular", Easing::InOutCircular, inOutCircular, false},
    {"in_expo", Easing::InExpo, inExpo, true},
    {"out_expo", Easing::OutExpo, outExpo, true},
    {"in_out_expo", Easing::InOutExpo, inOutExpo, true},
    {"out_sine", Easing::OutSine, outSine, true},
    {"in_out_sine", Easing::InOutSine, inOutSine, true},
};
constexpr int CurveCount = static_cast<int>(sizeof Curves / sizeof Curves[0]);
// The numbers 0 to Contiguous - 1 are the rows of the same index; the rest follow in order.
constexpr int Contiguous = 17;

constexpr bool inNumberOrder()
{
    for (int i = 0; i < CurveCount; ++i)
        if ((i < Contiguous && Curves[i].number != i) || (i > 0 && Curves[i].number <= Curves[i - 1].number))
            return false;
    return true;
}
static_assert(inNumberOrder(), "the easing table is in number order, 0..16 without a gap");
} // namespace

const EasingCurve* easingCurves()
{
    return Curves;
}

int easingCurveCount()
{
    return CurveCount;
}

const EasingCurve* findEasing(EasingType easing)
{
    if (easing >= 0 && easing < Contiguous)
        return &Curves[easing];
    for (int i = Contiguous; i < CurveCount; ++i)
        if (Curves[i].number == easing)
            return &Curves[i];
    return nullptr;
}

float ease(EasingType easing, float t, float b, float c, float d)
{
    // A number no curve is defined for still moves the value, along a straight line.
    const EasingCurve* row = findEasing(easing);
    return row ? row->curve(t, b, c, d) : linear(t, b, c, d);
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
