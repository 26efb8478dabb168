#pragma once

#include <cstdint>

// Selects an easing curve; the numbers are part of the script language (0..16, 111, 112).
using EasingType = std::int32_t;

namespace Easing
{
constexpr EasingType Linear = 0;
constexpr EasingType InSine = 1;
constexpr EasingType OutBounce = 2;
constexpr EasingType InBounce = 3;
constexpr EasingType InCubic = 4;
constexpr EasingType OutCubic = 5;
constexpr EasingType InOutCubic = 6;
constexpr EasingType InOutBounce = 7;
constexpr EasingType InBack = 8;
constexpr EasingType OutBack = 9;
constexpr EasingType InOutBack = 10;
constexpr EasingType InCircular = 11;
constexpr EasingType OutCircular = 12;
constexpr EasingType InOutCircular = 13;
constexpr EasingType InExpo = 14;
constexpr EasingType OutExpo = 15;
constexpr EasingType InOutExpo = 16;
constexpr EasingType OutSine = 111;
constexpr EasingType InOutSine = 112;
} // namespace Easing

// One easing curve: its name (lower-case snake words such as "in_out_sine"), its number and its
// function. `scriptConstant`: the script names it with a constant as well as by its number.
struct EasingCurve
{
    const char* name;
    EasingType number;
    float (*curve)(float t, float b, float c, float d);
    bool scriptConstant;
};

// Every defined curve, in number order.
const EasingCurve* easingCurves();
int easingCurveCount();
// The curve of a number, or null for a number no curve is defined for.
const EasingCurve* findEasing(EasingType easing);

// Eased value at elapsed time t of a curve from b by change c over duration d. Undefined
// easing values behave as linear.
float ease(EasingType easing, float t, float b, float c, float d);

// One float animation with an optional reverse ("yoyo") leg and repeats. The owner adds the
// step time to `elapsed` and calls evaluate() while `running`.
class Tween
{
public:
    // loops: total cycles, -1 without end (0 and 1 both run once); yoyoEasing -1 = same as easing.
    void start(float from, float to, float duration, EasingType easing, std::int32_t loops = 1, bool yoyo = false,
               std::int32_t yoyoEasing = 0);

    // Value at the current elapsed time; ends legs, starts the reverse leg or the next cycle.
    float evaluate();

    EasingType easing = 0;
    float elapsed = 0.f;
    float from = 0.f;
    float to = 0.f;
    float change = 0.f;
    float reverseTo = 0.f;
    float reverseFrom = 0.f;
    float reverseDuration = 0.f;
    EasingType reverseEasing = 0;
    float duration = 0.f;
    bool running = false;
    float value = 0.f;
    bool reversePending = false;
    std::int32_t loopsDone = 0;
    std::int32_t loops = 0;
    float startFrom = 0.f;
    float startTo = 0.f;
    float startDuration = 0.f;
    EasingType startEasing = 0;
    bool startYoyo = false;
    std::int32_t startYoyoEasing = 0;

private:
    // Sets up the forward leg and the pending reverse leg of one cycle (-1 yoyo easing = easing).
    void beginCycle(float from, float to, float duration, EasingType easing, bool yoyo, std::int32_t yoyoEasing);
};
