#include "motion/Tween.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace
{
const EasingType AllCurves[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 111, 112};

float unit(EasingType easing, float t)
{
    return ease(easing, t, 0.f, 1.f, 1.f);
}

// Adds dt and evaluates, as an owner does each step.
float step(Tween& tween, float dt)
{
    tween.elapsed += dt;
    return tween.evaluate();
}

// Runs a tween whose legs each end in one step until it stops; returns the legs run.
int legsUntilStopped(std::int32_t loops, bool yoyo, int limit)
{
    Tween tween;
    tween.start(0.f, 1.f, 0.1f, Easing::Linear, loops, yoyo, 0);
    int legs = 0;
    for (; tween.running && legs < limit; ++legs)
        step(tween, 0.1f);
    return legs;
}
} // namespace

TEST(Ease, CurvesHaveTheirShapeAndEnds)
{
    // Every curve, found by its name and by its number, at a quarter, half and three quarters of
    // its time, against the published curves (Penner's equations).
    struct Row
    {
        const char* name;
        EasingType number;
        float at[3];
    };
    const float times[] = {0.25f, 0.5f, 0.75f};
    const Row rows[] = {
        {"linear", 0, {0.25f, 0.5f, 0.75f}},
        {"in_sine", 1, {0.07612047f, 0.2928932f, 0.6173166f}},
        {"out_bounce", 2, {0.4726562f, 0.765625f, 0.9726562f}},
        {"in_bounce", 3, {0.02734375f, 0.234375f, 0.5273438f}},
        {"in_cubic", 4, {0.015625f, 0.125f, 0.421875f}},
        {"out_cubic", 5, {0.578125f, 0.875f, 0.984375f}},
        {"in_out_cubic", 6, {0.0625f, 0.5f, 0.9375f}},
        {"in_out_bounce", 7, {0.1171875f, 0.5f, 0.8828125f}},
        {"in_back", 8, {-0.06413656f, -0.0876975f, 0.1825903f}},
        {"out_back", 9, {0.8174097f, 1.087697f, 1.064137f}},
        {"in_out_back", 10, {-0.09968184f, 0.5f, 1.099682f}},
        {"in_circular", 11, {0.03175416f, 0.1339746f, 0.3385622f}},
        {"out_circular", 12, {0.6614378f, 0.8660254f, 0.9682458f}},
        {"in_out_circular", 13, {0.0669873f, 0.5f, 0.9330127f}},
        {"in_expo", 14, {0.005524272f, 0.03125f, 0.1767767f}},
        {"out_expo", 15, {0.8232233f, 0.96875f, 0.9944757f}},
        {"in_out_expo", 16, {0.015625f, 0.5f, 0.984375f}},
        {"out_sine", 111, {0.3826834f, 0.7071068f, 0.9238795f}},
        {"in_out_sine", 112, {0.1464466f, 0.5f, 0.8535534f}},
    };
    ASSERT_EQ(easingCurveCount(), static_cast<int>(std::size(rows)));
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.name);
        const EasingCurve* byName = nullptr;
        for (int i = 0; i < easingCurveCount(); ++i)
            if (std::strcmp(easingCurves()[i].name, row.name) == 0)
                byName = &easingCurves()[i];
        const EasingCurve* byNumber = findEasing(row.number);
        ASSERT_NE(byName, nullptr);
        ASSERT_NE(byNumber, nullptr);
        EXPECT_EQ(byName->number, row.number);
        EXPECT_STREQ(byNumber->name, row.name);
        for (int i = 0; i < 3; ++i)
        {
            EXPECT_NEAR(byName->curve(times[i], 0.f, 1.f, 1.f), row.at[i], 1e-6f) << "by name, t=" << times[i];
            EXPECT_NEAR(unit(row.number, times[i]), row.at[i], 1e-6f) << "by number, t=" << times[i];
        }
    }
    for (int tenth = 1; tenth <= 9; ++tenth)
    {
        const float t = static_cast<float>(tenth) / 10.f;
        EXPECT_NEAR(unit(Easing::InExpo, t), std::pow(2.0, tenth - 10.0), 1e-6) << "t=" << t;
        EXPECT_NEAR(unit(Easing::OutExpo, t), 1.0 - std::pow(2.0, -tenth), 1e-6) << "t=" << t;
    }
    for (EasingType easing : AllCurves)
    {
        EXPECT_NEAR(ease(easing, 0.f, 3.f, -5.f, 2.f), 3.f, 1e-5f) << "easing " << easing;
        EXPECT_NEAR(ease(easing, 2.f, 3.f, -5.f, 2.f), -2.f, 1e-5f) << "easing " << easing;
    }
    // The expo curves never reach their ends by themselves.
    EXPECT_EQ(ease(Easing::InExpo, 0.f, 7.25f, 3.f, 2.f), 7.25f);
    EXPECT_EQ(ease(Easing::OutExpo, 2.f, 7.25f, 3.f, 2.f), 10.25f);
    EXPECT_EQ(ease(Easing::InOutExpo, 0.f, 7.25f, 3.f, 2.f), 7.25f);
    EXPECT_EQ(ease(Easing::InOutExpo, 2.f, 7.25f, 3.f, 2.f), 10.25f);
    for (EasingType easing : {17, 18, 110, 113, -1})
        EXPECT_FLOAT_EQ(ease(easing, 0.25f, 0.f, 100.f, 1.f), 25.f) << "undefined easing " << easing;
}

TEST(Ease, RoundsEveryStepToFloatWhereTheCurvesDo)
{
    // Results of a separate step-by-step evaluation (float steps, double only where the curves
    // widen). Each differs from evaluating the formula in double; the expo and bounce cases
    // also from evaluating it all in float.
    struct Case
    {
        EasingType easing;
        float t, b, c, d, expected;
    };
    const Case cases[] = {
        {Easing::InSine, 0.51925087f, 0.f, 999.f, 0.699999988f, 604.82428f},
        {Easing::OutSine, 0.328348339f, 100.f, 999.f, 0.699999988f, 771.25824f},
        {Easing::InOutSine, 0.00354972435f, 0.f, 250.f, 2.f, 0.00194460154f},
        {Easing::InBack, 0.219555959f, 100.f, 250.f, 0.699999988f, 78.9909134f},
        {Easing::OutBack, 1.88195205f, 100.f, 999.f, 2.f, 1104.36719f},
        {Easing::InCircular, 0.527623892f, -37.5f, -80.25f, 2.f, -40.3429298f},
        {Easing::InExpo, 1.32637668f, -37.5f, 999.f, 2.f, 59.2523155f},
        {Easing::OutExpo, 0.0925610065f, 0.f, 250.f, 0.699999988f, 150.025772f},
        {Easing::OutBounce, 0.4871158f, -37.5f, -80.25f, 0.699999988f, -111.420052f},
        {Easing::InBounce, 0.260916322f, -37.5f, -80.25f, 1.f, -38.7185974f},
        {Easing::InOutBounce, 0.320046127f, 1234.5f, 250.f, 2.f, 1248.64917f},
        {Easing::InOutBounce, 3.23770356f, 100.f, -80.25f, 3.29999995f, 20.3589668f},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ease(c.easing, c.t, c.b, c.c, c.d), c.expected) << "easing " << c.easing << " t=" << c.t;
}

TEST(Tween, LegsEndExactlyOnTheirTargetAndDropTheOvershoot)
{
    Tween tween;
    EXPECT_FALSE(tween.running);
    tween.start(0.f, 100.f, 1.f, Easing::Linear);
    EXPECT_EQ(step(tween, 0.25f), 25.f);
    EXPECT_EQ(step(tween, 0.75f), 100.f);
    EXPECT_FALSE(tween.running);

    // A step past the turning point shows the target; the reverse leg starts from zero time.
    tween.start(0.f, 100.f, 1.f, Easing::OutBack, 1, true, Easing::Linear);
    EXPECT_EQ(step(tween, 1.3f), 100.f);
    EXPECT_TRUE(tween.running);
    EXPECT_EQ(step(tween, 0.25f), 75.f);
    EXPECT_EQ(step(tween, 0.75f), 0.f);
    EXPECT_FALSE(tween.running);

    // Zero duration: the curve's own result (maybe not a number) is replaced by the target.
    for (EasingType easing : AllCurves)
    {
        tween.start(5.f, 9.f, 0.f, easing);
        EXPECT_EQ(step(tween, 0.f), 9.f) << "easing " << easing;
        EXPECT_FALSE(tween.running);
    }
}

TEST(Tween, ReverseLegAndRepeatsUseTheStartedSettings)
{
    // yoyoEasing -1 reuses the forward curve, also in every repeat; 0 is linear.
    Tween tween;
    tween.start(10.f, 110.f, 1.f, Easing::InCubic, 2, true, -1);
    EXPECT_EQ(tween.startYoyoEasing, -1);
    for (int cycle = 1; cycle <= 2; ++cycle)
    {
        EXPECT_EQ(step(tween, 0.5f), 22.5f);
        EXPECT_EQ(step(tween, 0.5f), 110.f);
        EXPECT_EQ(step(tween, 0.5f), 97.5f);
        EXPECT_EQ(step(tween, 0.5f), 10.f);
        EXPECT_EQ(tween.loopsDone, cycle);
        EXPECT_EQ(tween.running, cycle < 2);
    }
    tween.start(0.f, 100.f, 1.f, Easing::InCubic, 1, true, 0);
    step(tween, 1.f);
    EXPECT_EQ(step(tween, 0.5f), 50.f);

    // A repeat starts again from the value captured by start, not from the one reached.
    tween.start(10.f, 20.f, 1.f, Easing::Linear, 2);
    EXPECT_EQ(step(tween, 1.f), 20.f);
    EXPECT_EQ(step(tween, 0.5f), 15.f);
}

TEST(Tween, LoopCountsSetTheNumberOfCycles)
{
    EXPECT_EQ(legsUntilStopped(3, false, 100), 3);
    EXPECT_EQ(legsUntilStopped(3, true, 100), 6);
    EXPECT_EQ(legsUntilStopped(0, false, 100), 1);
    EXPECT_EQ(legsUntilStopped(1, false, 100), 1);
    EXPECT_EQ(legsUntilStopped(-2, true, 100), 2);
    EXPECT_EQ(legsUntilStopped(-1, true, 5000), 5000); // never stops

    // An endless count saturates instead of overflowing.
    Tween tween;
    tween.start(0.f, 1.f, 0.f, Easing::Linear, -1);
    tween.loopsDone = INT32_MAX - 1;
    step(tween, 0.f);
    step(tween, 0.f);
    EXPECT_EQ(tween.loopsDone, INT32_MAX);
    EXPECT_TRUE(tween.running);
}
