#include "author/TimelineStrip.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
// The window author mode opens: 1920 x 1080, the track from x = 32 to x = 1888.
const TimelineStrip::Track Full = TimelineStrip::trackFor(1920, 1080);
} // namespace

TEST(TimelineStrip, TheTrackOfTheAuthorsWindow)
{
    EXPECT_EQ(Full.left, 32);
    EXPECT_EQ(Full.width, 1856);
    EXPECT_EQ(Full.top, 1080 - TimelineStrip::Height);
    EXPECT_FALSE(TimelineStrip::contains(983.f, Full));
    EXPECT_TRUE(TimelineStrip::contains(984.f, Full));
    // A window narrower than its insets still has a track to divide by.
    EXPECT_EQ(TimelineStrip::trackFor(40, 100).width, 1);
}

TEST(TimelineStrip, PointerXToStep)
{
    TimelineStrip::Track small;
    small.left = 10;
    small.width = 100;
    const struct
    {
        const char* what;
        const TimelineStrip::Track& track;
        int x;
        long span;
        long step;
    } cases[] = {
        {"the left end is step 0", small, 10, 1000, 0},
        {"left of the track clamps to 0", small, 0, 1000, 0},
        {"far left clamps to 0", small, -500, 1000, 0},
        {"the right end is the span", small, 110, 1000, 1000},
        {"right of the track clamps to the span", small, 4000, 1000, 1000},
        {"each pixel is ten steps", small, 47, 1000, 370},
        {"fewer steps than pixels: a half rounds up", small, 11, 50, 1}, // 0.5
        {"fewer steps than pixels: exact", small, 12, 50, 1},
        {"fewer steps than pixels: 1.5 rounds up", small, 13, 50, 2},
        {"a one-step demo", small, 59, 1, 0},
        {"a one-step demo past the middle", small, 60, 1, 1},
        {"the real width, its middle", Full, 32 + 928, 1379, 690},  // 689.5 rounds up
        {"the real width, a quarter", Full, 32 + 464, 1379, 345},   // 344.75
        {"the real width, the last pixel", Full, 1887, 1379, 1378}, // 1378.26
        {"the real width, an hour", Full, 1888, 216000, 216000},
        {"the real width, one pixel of an hour", Full, 33, 216000, 116}, // 116.38
    };
    for (const auto& c : cases)
        EXPECT_EQ(TimelineStrip::stepAt(c.x, c.track, c.span), c.step) << c.what;
}

TEST(TimelineStrip, EveryStepDrawnIsTheStepClickedThere)
{
    // While a step has a pixel of its own, clicking where it is drawn lands on it.
    for (const long span : {1L, 7L, 600L, 1379L, 1856L})
        for (long step = 0; step <= span; ++step)
        {
            const int x = static_cast<int>(TimelineStrip::xOf(step, Full, span) + 0.5f);
            ASSERT_EQ(TimelineStrip::stepAt(x, Full, span), step) << "span " << span;
        }
    // With more steps than pixels, neighbouring pixels are at most one pixel's steps apart.
    const long span = 216000;
    for (int x = Full.left; x < Full.left + Full.width; ++x)
    {
        const long step = TimelineStrip::stepAt(x, Full, span);
        ASSERT_LE(std::abs(TimelineStrip::xOf(step, Full, span) - static_cast<float>(x)), 0.5f);
        ASSERT_GE(TimelineStrip::stepAt(x + 1, Full, span) - step, span / Full.width);
    }
}

TEST(TimelineStrip, SpanIsTheEndOrWhatIsKnownWithRoomAhead)
{
    const struct
    {
        const char* what;
        long known, end, span;
    } cases[] = {
        {"the end when it is known", 1379, 1379, 1379},
        {"the end even before it was played to", 0, 500, 500},
        {"a demo that ends at once still spans a step", 0, 0, 1},
        {"nothing known: 10 s", 0, -1, 600},
        {"at least 10 s ahead, in whole 10 s", 523, -1, 1200},
        {"exactly on a 10 s mark", 600, -1, 1200},
        {"a quarter ahead once that is more", 6000, -1, 7800},
        {"past the first hour", 216000, -1, 270000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TimelineStrip::spanFor(c.known, c.end), c.span) << c.what;
}

TEST(TimelineStrip, PreviousAndNextLabel)
{
    // In the script's order, which is not the order playing reaches them; one is never reached.
    const std::vector<LabelList::Entry> labels = {
        {"b", 10, 600}, {"a", 3, 120}, {"never", 20, -1}, {"c", 30, 1500}, {"twin", 31, 1500}};
    const struct
    {
        const char* what;
        long step, previous, next;
    } cases[] = {
        {"before the first", 0, -1, 120},
        {"on the first", 120, -1, 600},
        {"between", 300, 120, 600},
        {"on one in the middle", 600, 120, 1500},
        {"just after one", 601, 600, 1500},
        {"on two at the same step", 1500, 600, -1},
        {"after the last", 5000, 1500, -1},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(TimelineStrip::previousLabel(labels, c.step), c.previous) << c.what;
        EXPECT_EQ(TimelineStrip::nextLabel(labels, c.step), c.next) << c.what;
    }
    EXPECT_EQ(TimelineStrip::nextLabel({}, 0), -1);
    EXPECT_EQ(TimelineStrip::previousLabel({{"never", 1, -1}}, 100), -1);
}
